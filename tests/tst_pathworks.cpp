#include "base/pathworks.h"
#include "testsupport.h"

#include <QStandardPaths>
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

    // The program's own directory is used only when it is writable and no system directory.
    void systemDirectories_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("system");
        QTest::newRow("/usr/bin") << "/usr/bin" << true;
        QTest::newRow("/usr/local/bin") << "/usr/local/bin" << true;
        QTest::newRow("/bin") << "/bin" << true;
        QTest::newRow("/sbin") << "/sbin" << true;
        QTest::newRow("/lib64/x") << "/lib64/x" << true;
        QTest::newRow("/opt/velkor/bin") << "/opt/velkor/bin" << true;
        QTest::newRow("/usr itself") << "/usr" << true;
        QTest::newRow("a name that starts like one") << "/usrdata/bin" << false;
        QTest::newRow("/home") << "/home/u/velkor" << false;
        QTest::newRow("/tmp") << "/tmp/velkor/bin" << false;
        QTest::newRow("up from /tmp into /usr") << "/tmp/../usr/bin" << true;
    }
    void systemDirectories()
    {
        QFETCH(QString, path);
        QFETCH(bool, system);
        QCOMPARE(MPathWorks::isSystemDirectory(path), system);
    }

    // Run as root from /usr/bin the program could write there: it must not.
    void dataDirectoryOfASystemDirectoryIsTheUsers()
    {
        QStandardPaths::setTestModeEnabled(true);
        const QString user = MPathWorks::userDataDirectory();
        QVERIFY(QFileInfo(user).isDir());
        QCOMPARE(MPathWorks::dataDirectory(QStringLiteral("/usr/bin")), user);
        QTemporaryDir dir;
        QCOMPARE(MPathWorks::dataDirectory(dir.path()), QDir(dir.path()).absolutePath());
    }

    // A program directory that may be written but whose log directory may not (a file named
    // Log is in its way): the log goes to the user's directory, and the caller is told.
    void logFallsBackToTheUsersDirectory()
    {
        QStandardPaths::setTestModeEnabled(true);
        QTemporaryDir dir;
        const QString program = dir.filePath(QStringLiteral("app"));
        QVERIFY(QDir().mkpath(program));
        const QString programPath = program + QStringLiteral("/velkor-cli");
        QString fallback;
        QCOMPARE(MPathWorks::logFilePathIn(program, program, programPath, &fallback),
                 dir.filePath(QStringLiteral("Log/velkor-cli.log")));
        QVERIFY(fallback.isEmpty());
        QVERIFY(testsupport::writeBytes(dir.filePath(QStringLiteral("Log")), "in the way"));
        const QString logPath = MPathWorks::logFilePathIn(program, program, programPath, &fallback);
        QCOMPARE(logPath,
                 MPathWorks::userDataDirectory() + QStringLiteral("/Log/velkor-cli.log"));
        QCOMPARE(fallback, QStringLiteral("The log directory %1 cannot be written; the log is %2")
                               .arg(dir.filePath(QStringLiteral("Log")), logPath));
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
