#include "base/settingsfile.h"
#include "testsupport.h"

#include <QTemporaryDir>
#include <QtTest>

class TestSettingsFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void reading_data()
    {
        QTest::addColumn<QByteArray>("content"); // null: no file
        QTest::addColumn<QString>("devName");
        QTest::addColumn<int>("baudRate");
        QTest::addColumn<QString>("secPass");
        QTest::newRow("no file") << QByteArray() << "" << 115200 << "30";
        QTest::newRow("all keys") << QByteArray("[Settings]\ndevName=COM3\nbaudRate=9600\nsecPass=1234\n")
                                  << "COM3" << 9600 << "1234";
        QTest::newRow("rate not a number") << QByteArray("[Settings]\nbaudRate=fast\n") << ""
                                           << 0 << "30";
        QTest::newRow("a full path") << QByteArray("[Settings]\ndevName=/tmp/run/ttyVELKOR\n")
                                     << "/tmp/run/ttyVELKOR" << 115200 << "30";
        QTest::newRow("other group only") << QByteArray("[Touch]\nkeyboard=true\n") << ""
                                          << 115200 << "30";
    }
    void reading()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, devName);
        QFETCH(int, baudRate);
        QFETCH(QString, secPass);
        QTemporaryDir dir;
        const SettingsFile file = SettingsFile::inAppDir(dir.path() + QLatin1Char('/'));
        if (!content.isNull())
            QVERIFY(testsupport::writeBytes(file.path(), content));
        const AppSettings settings = file.load(QStringLiteral("30"));
        QCOMPARE(settings.devName, devName);
        QCOMPARE(settings.baudRate, baudRate);
        QCOMPARE(settings.secPass, secPass);
    }

    // All three keys are written, and read back as they were.
    void writingAndReadingBack()
    {
        QTemporaryDir dir;
        const SettingsFile file = SettingsFile::inAppDir(dir.path() + QLatin1Char('/'));
        file.save({QStringLiteral("ttyUSB0"), 4800, QStringLiteral("0030")});
        const QByteArray written = testsupport::readBytes(file.path());
        QVERIFY(written.contains("[Settings]"));
        QVERIFY(written.contains("devName=ttyUSB0"));
        QVERIFY(written.contains("baudRate=4800"));
        QVERIFY(written.contains("secPass=0030"));
        const AppSettings back = file.load(QStringLiteral("30"));
        QCOMPARE(back.devName, QStringLiteral("ttyUSB0"));
        QCOMPARE(back.baudRate, 4800);
        QCOMPARE(back.secPass, QStringLiteral("0030"));
    }
};

QTEST_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
