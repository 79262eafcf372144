// Broken description, settings, script and dump files: the program loads them or refuses
// them with its message, and never crashes or hangs on them.
#include "base/mlogsystem.h"
#include "base/msgbox.h"
#include "base/settingsfile.h"
#include "catalogue/descriptionloader.h"
#include "procedurerig.h"
#include "procedures/dumpfile.h"
#include "procedures/programobjects.h"
#include "procedures/testfp.h"
#include "testsupport.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

using testsupport::readBytes;
using testsupport::writeBytes;

namespace {

QByteArray garbage(int size, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray bytes(size, '\0');
    for (char& byte : bytes)
        byte = char(random.bounded(256));
    return bytes;
}

const QByteArray kBom("\xEF\xBB\xBF");

QByteArray commands(int count, int items)
{
    QByteArray text = kBom + "[GROUP]\r\nNAME=Группа\r\n";
    QByteArray line = "CMD=$cmd=10,#4prlsa";
    for (int i = 2; i < items; ++i)
        line += ",#1v" + QByteArray::number(i);
    for (int c = 0; c < count; ++c)
        text += "[COMMAND]\r\nNAME=Команда " + QByteArray::number(c) + "\r\n" + line +
                "\r\nRPL=$cmd,#error\r\n";
    return text;
}

QByteArray utf16(const QString& text)
{
    QByteArray bytes("\xFF\xFE");
    for (const QChar c : text)
        bytes.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
    return bytes;
}

} // namespace

class TestHostileFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // One description file replaced; the tables load (0) or the start-up ends with its
    // exit code and a message box naming the file.
    void descriptionFiles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("commandsAtLeast"); // -1: not checked
        const QByteArray megabyteLine = kBom + "// " + QByteArray(1 << 20, 'x') + "\r\n";
        QTest::newRow("Command.ini garbage") << "Command.ini" << garbage(1 << 16, 1) << 0 << 0;
        QTest::newRow("Command.ini empty") << "Command.ini" << QByteArray() << 0 << 0;
        QTest::newRow("Command.ini 300 commands") << "Command.ini" << commands(300, 3) << 0 << 256;
        QTest::newRow("Command.ini 600 items") << "Command.ini" << commands(1, 600) << 0 << 1;
        QTest::newRow("Command.ini UTF-16")
            << "Command.ini" << utf16(QStringLiteral("[GROUP]\r\nNAME=Г\r\n")) << 0 << 0;
        QTest::newRow("Command.ini megabyte line") << "Command.ini" << megabyteLine << 0 << 0;
        QTest::newRow("Symbol.ini garbage") << "Symbol.ini" << garbage(1 << 16, 2) << 1 << -1;
        QTest::newRow("Symbol.ini megabyte line") << "Symbol.ini" << megabyteLine << 0 << -1;
        QTest::newRow("Symbol.ini overlong name")
            << "Symbol.ini" << kBom + "#4" + QByteArray(300, 'n') + "=1\r\n"
            << 1 << -1;
        QTest::newRow("Symbol.ini overlong size") << "Symbol.ini" << kBom + "#99999999999name=1\r\n"
                                                  << 1 << -1;
        QTest::newRow("Default.ini garbage") << "Default.ini" << garbage(1 << 16, 3) << 1 << -1;
        QTest::newRow("Default.ini empty") << "Default.ini" << QByteArray() << 0 << -1;
        QTest::newRow("View.ini garbage") << "View.ini" << garbage(1 << 16, 4) << 0 << -1;
        QTest::newRow("View.ini megabyte line") << "View.ini" << megabyteLine << 0 << -1;
        QTest::newRow("Error.txt garbage") << "Error.txt" << garbage(1 << 16, 5) << 0 << -1;
        QTest::newRow("ErrorDrv.txt empty") << "ErrorDrv.txt" << QByteArray() << 0 << -1;
    }
    void descriptionFiles()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, content);
        QFETCH(int, code);
        QFETCH(int, commandsAtLeast);
        QTemporaryDir dir;
        {
            ProgramObjects prepared; // the six files in place first, then one replaced
            MLogSystem log;
            const MsgBoxHandler previous =
                setMsgBoxHandler([&](MsgIcon, const QString&, const QString&) {});
            DescriptionLoader::load(prepared, dir.path(), log);
            setMsgBoxHandler(previous);
            log.waitForIdle();
        }
        QVERIFY(writeBytes(dir.filePath(file), content));
        ProgramObjects objects;
        MLogSystem log;
        QStringList boxes;
        const MsgBoxHandler previous =
            setMsgBoxHandler([&](MsgIcon, const QString& title, const QString& text) {
                boxes << title + QLatin1Char('|') + text;
            });
        const int loaded = DescriptionLoader::load(objects, dir.path(), log);
        setMsgBoxHandler(previous);
        log.waitForIdle();
        QCOMPARE(loaded, code);
        QCOMPARE(boxes.size(), code == 0 ? 0 : 1);
        if (code != 0)
            QVERIFY2(boxes.front().contains(file), qPrintable(boxes.front()));
        // The user's file was not replaced by the shipped copy.
        QCOMPARE(readBytes(dir.filePath(file)), content);
        if (commandsAtLeast >= 0) {
            QVERIFY(objects.catalogue.commandCount() >= commandsAtLeast);
            QVERIFY(objects.catalogue.commandCount() <= Catalogue::MaxCommands);
            // Every command parses or is refused; none is read past its items.
            for (int i = 0; i < objects.catalogue.commandCount(); ++i) {
                objects.catalogue.setCurrentCommand(i);
                objects.codec.parseCommand();
                QVERIFY(objects.codec.commandItems().count <= ItemTable::Capacity);
            }
        }
        if (code == 0) {
            // The error texts answer for every code, whatever the files hold.
            for (int error = 0; error < 256; error += 17)
                objects.errors.devErrorText(error);
            objects.errors.driverErrorText(501);
        }
    }

    // config.ini of garbage: the settings fall back to their defaults.
    void settingsGarbage()
    {
        QTemporaryDir dir;
        QVERIFY(writeBytes(dir.filePath(QStringLiteral("config.ini")), garbage(1 << 14, 6)));
        const AppSettings settings =
            SettingsFile::inAppDir(dir.path() + QLatin1Char('/')).load(QStringLiteral("30"));
        QVERIFY(settings.baudRate == AppSettings::DefaultBaudRate || settings.baudRate == 0);
        QVERIFY(!SettingsFile::inAppDir(dir.path() + QLatin1Char('/')).touchKeyboard());
    }

    // Test scripts of garbage, of one megabyte line, or empty: the runner ends with a
    // script error box or completes, and sends nothing it could not read.
    void scripts_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("outcome");
        QTest::newRow("garbage") << garbage(1 << 14, 7) << int(TestFp::ScriptError);
        QTest::newRow("megabyte line") << QByteArray(1 << 20, 'a') << int(TestFp::ScriptError);
        QTest::newRow("empty") << QByteArray() << int(TestFp::Completed);
        QTest::newRow("only comments") << QByteArray("//,a\r\n//,b\r\n") << int(TestFp::Completed);
        QTest::newRow("loop never closed")
            << QByteArray("loop,1,3\r\n10,30\r\n") << int(TestFp::Completed);
        QTest::newRow("value of 300 bytes")
            << "17,30,2," + QByteArray(300, 'x') << int(TestFp::ParameterError);
    }
    void scripts()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, outcome);
        testsupport::ProcedureRig rig;
        QTemporaryDir dir;
        QFile script(dir.filePath(QStringLiteral("testfp.txt")));
        QVERIFY(writeBytes(script.fileName(), content));
        TestFp runner(rig.shipped.catalogue, rig.shipped.codec, rig.link);
        QCOMPARE(int(runner.execTestFp(&script)), outcome);
        QVERIFY(!script.isOpen());
    }

    // Dump files: an empty one reads as no data, one over the limit is refused unread.
    void dumpFiles()
    {
        QTemporaryDir dir;
        const QString empty = dir.filePath(QStringLiteral("empty.bin"));
        QVERIFY(writeBytes(empty, {}));
        QByteArray data("x");
        QVERIFY(DumpFile::read(empty, &data));
        QVERIFY(data.isEmpty());
        QFile huge(dir.filePath(QStringLiteral("huge.bin")));
        QVERIFY(huge.open(QIODevice::WriteOnly));
        QVERIFY(huge.resize(DumpFile::MaxBytes + 1)); // sparse: no disk is written
        huge.close();
        data = "kept";
        QVERIFY(!DumpFile::read(huge.fileName(), &data));
        QCOMPARE(data, QByteArray("kept"));
        QVERIFY(!DumpFile::read(dir.filePath(QStringLiteral("missing.bin")), &data));
    }
};

QTEST_MAIN(TestHostileFiles)
#include "tst_hostilefiles.moc"
