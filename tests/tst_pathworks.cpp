#include "app/pathworks.h"
#include "testsupport.h"

#include <QStorageInfo>
#include <QTemporaryDir>
#include <QtTest>

class TestPathWorks : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void rootDirectory_data()
    {
        QTest::addColumn<QString>("exeDir");
        QTest::addColumn<QString>("root");
        QTest::newRow("Release goes up") << "/opt/velkor/Release"
                                         << "/opt/velkor";
        QTest::newRow("debug goes up") << "/opt/velkor/debug"
                                       << "/opt/velkor";
        QTest::newRow("DEBUG in capitals goes up") << "/opt/velkor/DEBUG"
                                                   << "/opt/velkor";
        QTest::newRow("bin stays") << "/opt/velkor/bin"
                                   << "/opt/velkor/bin";
        QTest::newRow("a name that only contains release stays") << "/opt/velkor/prerelease"
                                                                 << "/opt/velkor/prerelease";
    }
    void rootDirectory()
    {
        QFETCH(QString, exeDir);
        QFETCH(QString, root);
        QCOMPARE(MPathWorks::rootDirOf(exeDir), root);
    }

    void baseName_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("base");
        QTest::newRow("plain") << "/opt/velkor/velkor-testdriver"
                               << "velkor-testdriver";
        QTest::newRow("two dots") << "/opt/velkor/driver.fr.exe"
                                  << "driver";
        QTest::newRow("relative") << "./velkor-testdriver"
                                  << "velkor-testdriver";
    }
    void baseName()
    {
        QFETCH(QString, path);
        QFETCH(QString, base);
        QCOMPARE(MPathWorks::baseNameOf(path), base);
    }

    // Beside the program the log keeps its place above the root; in the user's data
    // directory it goes inside it.
    void logFileInTheDataDirectory_data()
    {
        QTest::addColumn<QString>("dataDir");
        QTest::addColumn<QString>("log");
        QTest::newRow("beside the program") << "/opt/velkor/bin" << "/opt/velkor/Log/velkor-cli.log";
        QTest::newRow("the user's directory")
            << "/home/u/.local/share/velkor-testdriver"
            << "/home/u/.local/share/velkor-testdriver/Log/velkor-cli.log";
    }
    void logFileInTheDataDirectory()
    {
        QFETCH(QString, dataDir);
        QFETCH(QString, log);
        QCOMPARE(MPathWorks::logFilePathIn(dataDir, QStringLiteral("/opt/velkor/bin"),
                                           QStringLiteral("/opt/velkor/bin/velkor-cli")),
                 log);
    }

    void subdirectoryIsCreatedOnlyWhenMissing()
    {
        QTemporaryDir dir;
        const QDir base(dir.path());
        QVERIFY(base.mkpath(QStringLiteral("Log")));
        QVERIFY(testsupport::writeBytes(dir.filePath(QStringLiteral("Log/old.log")), "kept"));
        const QDir log = MPathWorks::subDirOf(base, QStringLiteral("Log"));
        QCOMPARE(log.absolutePath(), dir.filePath(QStringLiteral("Log")));
        QCOMPARE(testsupport::readBytes(dir.filePath(QStringLiteral("Log/old.log"))),
                 QByteArray("kept"));
        const QDir data = MPathWorks::subDirOf(base, QStringLiteral("Data"));
        QVERIFY(data.exists());
        QCOMPARE(data.absolutePath(), dir.filePath(QStringLiteral("Data")));
    }

    void removeDirectoryTree()
    {
        QTemporaryDir dir;
        const QString top = dir.filePath(QStringLiteral("top"));
        QVERIFY(QDir().mkpath(top + QStringLiteral("/a/b")));
        QVERIFY(testsupport::writeBytes(top + QStringLiteral("/a/b/file"), "x"));
        QVERIFY(testsupport::writeBytes(top + QStringLiteral("/.hidden"), "x"));
        QVERIFY(MFilesWorks::removeDirTree(top));
        QVERIFY(!QFileInfo::exists(top));
        QVERIFY(QFileInfo::exists(dir.path()));
    }

    void freeSpaceIsTheVolumesFreeBytes()
    {
        const quint64 free = MFilesWorks::freeDiskSpace(QDir::tempPath());
        QVERIFY(free > 0);
        const quint64 reported = quint64(QStorageInfo(QDir::tempPath()).bytesFree());
        QVERIFY(free > reported / 2 && free < reported * 2);
    }
};

QTEST_GUILESS_MAIN(TestPathWorks)
#include "tst_pathworks.moc"
