// The test-script runner against the emulator: the grammar, the statements, the messages
// and the exact command arrays the device receives.
#include "base/cp1251.h"
#include "procedurerig.h"
#include "procedures/testfp.h"

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using testsupport::ProcedureRig;

namespace {

const QString kBox = QStringLiteral("Выполнить тест из файла|");
const QString kFc = QStringLiteral("fc");

QString repeat(const QString& text, int times)
{
    QString result;
    for (int i = 0; i < times; ++i)
        result += text;
    return result;
}

} // namespace

class TestTestFp : public QObject
{
    Q_OBJECT

    // Writes the script (Windows-1251) and runs it.
    TestFp::Outcome run(ProcedureRig& rig, const QString& script)
    {
        QFile file(m_dir.filePath(QStringLiteral("testfp.txt")));
        if (file.open(QIODevice::WriteOnly))
            file.write(Cp1251::encode(script));
        file.close();
        TestFp runner(rig.shipped.catalogue, rig.shipped.codec, rig.link);
        const TestFp::Outcome outcome = runner.execTestFp(&file);
        [&] { QVERIFY2(!file.isOpen(), "the script file stays open"); }();
        return outcome;
    }

    QTemporaryDir m_dir;

private Q_SLOTS:
    // The runner's trace would drown the test's own output.
    void initTestCase() { QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false")); }

    void splitsLines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QStringList>("items");
        QTest::newRow("empty line") << "" << true << QStringList{""};
        QTest::newRow("trailing comma") << "a," << true << QStringList{"a", ""};
        QTest::newRow("blanks kept") << "a, b" << true << QStringList{"a", " b"};
        QTest::newRow("quoted comma") << "17,'A,B'" << true << QStringList{"17", "A,B"};
        QTest::newRow("other quote inside") << "\"it's\",x" << true << QStringList{"it's", "x"};
        QTest::newRow("empty quoted") << "'',x" << true << QStringList{"", "x"};
        QTest::newRow("text after quote") << "'a'b" << false << QStringList{};
        QTest::newRow("unclosed quote") << "'abc" << false << QStringList{};
        QTest::newRow("quote not first is plain") << "a'b,c" << true << QStringList{"a'b", "c"};
        QTest::newRow("32 items") << "FC" + repeat(",1", 31) << true
                                  << (QStringList{"FC"} + QStringList(31, "1"));
        QTest::newRow("33 items") << "FC" + repeat(",1", 32) << false << QStringList{};
    }
    void splitsLines()
    {
        QFETCH(QString, line);
        QFETCH(bool, valid);
        QFETCH(QStringList, items);
        QStringList got;
        QCOMPARE(TestFp::splitLine(line, &got), valid);
        if (valid)
            QCOMPARE(got, items);
    }

    void runsScripts_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QStringList>("sent");
        QTest::addColumn<QString>("box");

        const QStringList none;
        const QString loopError = kBox + "Неправильные параметры loop, строка ";
        const QString endloopError = kBox + "Неправильные параметры endloop, строка ";
        const QString waitError = kBox + "Неправильные параметры wait, строка ";
        const QString noCommand = kBox + "Нет команды, строка ";
        const QString lineError = kBox + "Ошибка в строке ";
        const int completed = TestFp::Completed;
        const int failed = TestFp::ScriptError;

        QTest::newRow("FC alone") << "FC" << completed << QStringList{kFc} << "";
        QTest::newRow("fc in lower case") << "fc\r\n" << completed << QStringList{kFc} << "";
        QTest::newRow("loop of 3") << "loop,1,3\nFC\nendloop,1" << completed
                                   << QStringList(3, kFc) << "";
        QTest::newRow("nested loops") << "loop,1,2\nloop,2,2\nFC\nendloop,2\nendloop,1"
                                      << completed << QStringList(4, kFc) << "";
        QTest::newRow("open loop dropped at the end") << "loop,1,2\nFC" << completed
                                                      << QStringList{kFc} << "";
        QTest::newRow("loop count 0") << "loop,1,0" << failed << none << loopError + "1";
        QTest::newRow("loop number 0") << "loop,0,2" << failed << none << loopError + "1";
        QTest::newRow("loop number 10") << "loop,10,2" << failed << none << loopError + "1";
        QTest::newRow("loop count missing") << "loop,1" << failed << none << loopError + "1";
        QTest::newRow("loop not a number") << "loop,a,2" << failed << none << loopError + "1";
        QTest::newRow("loop opened twice") << "FC\nloop,1,2\nloop,1,2" << failed
                                           << QStringList{kFc} << loopError + "3";
        // The second pass reopens loop 2 while it is still open: the message names the
        // line in the file, not the number of lines read.
        QTest::newRow("second pass names its file line")
            << "loop,1,2\nloop,2,1\nendloop,1" << failed << none << loopError + "2";
        QTest::newRow("endloop of a closed loop") << "FC\nendloop,2" << failed
                                                  << QStringList{kFc} << endloopError + "2";
        QTest::newRow("endloop without number") << "endloop" << failed << none
                                                << endloopError + "1";
        QTest::newRow("endloop after the loop ended")
            << "loop,1,1\nendloop,1\nendloop,1" << failed << none << endloopError + "3";
        QTest::newRow("wait not a number") << "wait,x" << failed << none << waitError + "1";
        QTest::newRow("wait without time") << "wait" << failed << none << waitError + "1";
        QTest::newRow("wait 0 and negative") << "wait,0\nwait,-5\nFC" << completed
                                             << QStringList{kFc} << "";
        QTest::newRow("empty line") << "FC\n\nFC" << failed << QStringList{kFc}
                                    << noCommand + "2";
        QTest::newRow("comment without comma") << "// word" << failed << none << noCommand + "1";
        QTest::newRow("comment with comma") << "//, word\n//\nFC" << completed
                                            << QStringList{kFc} << "";
        QTest::newRow("blanks around a line") << "   FC  \n\t//,x" << completed
                                              << QStringList{kFc} << "";
        QTest::newRow("unknown code") << "77" << failed << none << noCommand + "1";
        QTest::newRow("not hexadecimal") << "zz" << failed << none << noCommand + "1";
        QTest::newRow("text after a quote") << "'FC'x" << failed << none << lineError + "1";
        QTest::newRow("33 items") << "FC" + repeat(",1", 32) << failed << none
                                  << lineError + "1";
        QTest::newRow("values beyond the parameters") << "FC,1,2" << completed
                                                      << QStringList{kFc} << "";
        QTest::newRow("password as a value") << "10,30" << completed
                                             << QStringList{"101e000000"} << "";
        QTest::newRow("quoted comma reaches a text")
            << "17,30,2,'A,B'" << completed
            << QStringList{"171e00000002" + QString("412c42") + repeat("00", 37)} << "";
        QTest::newRow("text in Windows-1251")
            << "17,30,2,Яд" << completed
            << QStringList{"171e00000002" + QString("dfe4") + repeat("00", 38)} << "";
        QTest::newRow("enumeration by value, dates as typed")
            << "66,0,1,05/03/24,31/03/24" << int(TestFp::DeviceError)
            << QStringList{"660000000001050318" + QString("1f0318")} << "";
        QTest::newRow("enumeration that is not a number")
            << "66,0,x,05/03/24,31/03/24" << int(TestFp::DeviceError)
            << QStringList{"660000000000050318" + QString("1f0318")} << "";
        QTest::newRow("device error ends the run") << "10,31\nFC" << int(TestFp::DeviceError)
                                                   << QStringList{"101f000000"} << "";
        QTest::newRow("too few values") << "10\nFC" << int(TestFp::ParameterError) << none << "";
        QTest::newRow("a value of 256 bytes") << "17,30,2," + repeat("a", 256) << int(TestFp::ParameterError)
                                             << none << "";
        QTest::newRow("a date that is not one") << "66,0,1,5 March,31/03/24" << int(TestFp::ParameterError)
                                    << none << "";
    }
    void runsScripts()
    {
        QFETCH(QString, script);
        QFETCH(int, outcome);
        QFETCH(QStringList, sent);
        QFETCH(QString, box);
        ProcedureRig rig;
        QCOMPARE(int(run(rig, script)), outcome);
        QCOMPARE(rig.received(), sent);
        QCOMPARE(rig.boxes, box.isEmpty() ? QStringList() : QStringList{box});
    }

    void reportsEachCommand()
    {
        ProcedureRig rig;
        QCOMPARE(run(rig, QStringLiteral("FC\n10,31\nFC")), TestFp::DeviceError);
        const QStringList reports = rig.reports();
        QCOMPARE(reports.value(0),
                 QStringLiteral("status|Параметры устройства| - без ошибок."));
        QVERIFY2(reports.value(1).startsWith(QStringLiteral("error|Ошибка|")),
                 qPrintable(reports.value(1)));
        QCOMPARE(reports.size(), 2);
        // Each command's frames: sent, then received.
        QCOMPARE(rig.line.pane.lines.value(0), QStringLiteral("snd|fc"));
        QVERIFY(rig.line.pane.lines.value(1).startsWith(QStringLiteral("rcv|fc00")));
    }

    void reportsParameterAndLinkFailures_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<bool>("linked");
        QTest::addColumn<QString>("report");
        QTest::newRow("too few values")
            << "10" << true << "error|Короткий запрос|Ошибка в параметре \"Пароль оператора\"";
        QTest::newRow("no link") << "FC" << false << "error|Выполнение команды|Нет связи";
    }
    void reportsParameterAndLinkFailures()
    {
        QFETCH(QString, script);
        QFETCH(bool, linked);
        QFETCH(QString, report);
        ProcedureRig rig;
        rig.linked = linked;
        run(rig, script);
        QCOMPARE(rig.reports(), QStringList{report});
        QVERIFY(rig.received().isEmpty());
    }

    void missingFileAndSecondRun()
    {
        ProcedureRig rig;
        QFile absent(m_dir.filePath(QStringLiteral("absent.txt")));
        TestFp runner(rig.shipped.catalogue, rig.shipped.codec, rig.link);
        QCOMPARE(runner.execTestFp(&absent), TestFp::ScriptError);
        QCOMPARE(rig.boxes, QStringList{kBox + "Нет файла absent.txt в каталоге " + m_dir.path()});

        rig.boxes.clear();
        QCOMPARE(run(rig, QStringLiteral("loop,1,0")), TestFp::ScriptError);
        QCOMPARE(run(rig, QStringLiteral("loop,1,0")), TestFp::ScriptError);
        QCOMPARE(rig.boxes.size(), 2);
        QCOMPARE(run(rig, QStringLiteral("FC")), TestFp::Completed);
        QCOMPARE(rig.received(), QStringList{kFc});
    }

    // The example of the documentation runs as it stands.
    void documentedExampleRuns()
    {
        ProcedureRig rig;
        QFile example(QStringLiteral(VELKOR_EXAMPLES_DIR "/testfp.txt"));
        TestFp runner(rig.shipped.catalogue, rig.shipped.codec, rig.link);
        QCOMPARE(runner.execTestFp(&example), TestFp::Completed);
        const QString line = "171e00000002" +
                             QString::fromLatin1(QByteArray("Line, printed three times").toHex()) +
                             repeat("00", 40 - 25);
        QCOMPARE(rig.received(), (QStringList{"101e000000", line, line, line, kFc}));
        QVERIFY(rig.boxes.isEmpty());
    }

    void waitKeepsEventsFlowing()
    {
        ProcedureRig rig;
        bool served = false;
        QTimer::singleShot(50, this, [&served] { served = true; });
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(run(rig, QStringLiteral("wait,300\nFC")), TestFp::Completed);
        QVERIFY(clock.elapsed() >= 300);
        QVERIFY(served);
        QCOMPARE(rig.received(), QStringList{kFc});
    }
};

QTEST_GUILESS_MAIN(TestTestFp)
#include "tst_testfp.moc"
