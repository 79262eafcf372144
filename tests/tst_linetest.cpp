// The line test on virtual time against the emulated registrar: for each kind of line the
// report's causes, its verdict and its advice, and a stop that keeps what was done.
#include "linktestsupport.h"
#include "procedures/linetest.h"
#include "procedures/procedurehost.h"
#include "procedures/procedurelink.h"

#include <QtTest>

namespace {

// A connected host without a window.
class Host : public ProcedureHost
{
public:
    explicit Host(LogPane& pane) : m_pane(pane) {}
    bool connected() const override { return true; }
    int mpGettimeout() const override { return 10000; }
    quint32 password() const override { return 30; }
    LogPane& logPane() override { return m_pane; }
    void exchangeStarted() override {}
    void exchangeFinished() override {}
    bool exchangeRunning() const override { return false; }
    void showOverlay() override {}
    void hideOverlay() override {}

private:
    LogPane& m_pane;
};

} // namespace

class TestLineTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void report_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("stopAfter"); // exchanges before "Прервать"; 0: none
        QTest::addColumn<QString>("causes");
        QTest::addColumn<QStringList>("last"); // the advice, if any, and the verdict
        const QString noise = QStringLiteral("Совет: байты искажаются — понизьте скорость обмена.");
        const QString silence =
            QStringLiteral("Совет: ФР не отвечает — проверьте разъёмы и попробуйте кабель короче.");
        const QString repeats = QStringLiteral("Линия с помехами: 10 % обменов с повтором");
        QTest::newRow("clean") << "" << 0 << "" << QStringList{"Линия исправна"};
        QTest::newRow("frames refused")
            << "refuse" << 0 << "frame_nak 2"
            << QStringList{noise, "Линия с помехами: 20 % обменов с повтором"};
        QTest::newRow("frame unanswered")
            << "ignore" << 0 << "frame_unanswered 1" << QStringList{silence, repeats};
        QTest::newRow("reply byte lost")
            << "lose" << 0 << "late_byte 1"
            << QStringList{"Совет: байты ответа теряются — попробуйте другой адаптер USB-COM.",
                           repeats};
        QTest::newRow("silent") << "silent" << 0 << "no_enq_answer 100"
                                << QStringList{silence,
                                               "Линия неисправна: 100 % обменов не выполнено"};
        QTest::newRow("stopped") << "" << 3 << "" << QStringList{"Линия исправна"};
    }
    void report()
    {
        QFETCH(QString, fault);
        QFETCH(int, stopAfter);
        QFETCH(QString, causes);
        QFETCH(QStringList, last);
        emu::FaultPlan plan;
        plan.refuseFrames =
            fault == QLatin1String("refuse") ? std::set<unsigned>{1, 5} : std::set<unsigned>{};
        if (fault == QLatin1String("ignore"))
            plan.ignoreFrames = {3};
        if (fault == QLatin1String("lose")) // NAK, ACK, STX, LEN, 10h, its error byte
            plan.byteFaults[6] = {emu::ByteFault::Lose, 0};
        plan.silent = fault == QLatin1String("silent");
        testsupport::VirtualLine line(plan);
        Host host(line.pane);
        ProcedureLink link(host, line.link, line.errors);
        const LineReport report = LineTest(link, QStringLiteral("ttyS0"), 115200, 10)
                                      .run([stopAfter](const LineReport& r) {
                                          return int(r.exchanges().size()) != stopAfter;
                                      });
        QCOMPARE(report.exchanges().size(), stopAfter ? stopAfter : 10);
        QStringList counted;
        for (int c = 0; c < LineReport::CauseCount; ++c)
            if (const int n = report.count(LineReport::Cause(c)))
                counted << LineReport::causeKey(LineReport::Cause(c)) +
                               QStringLiteral(" %1").arg(n);
        QCOMPARE(counted.join(QStringLiteral(", ")), causes);
        const QStringList lines = report.lines();
        QCOMPARE(lines.mid(lines.size() - last.size()), last);
        QCOMPARE(lines.contains(QStringLiteral("Проверка прервана.")), stopAfter > 0);
        QVERIFY(line.pane.lines.isEmpty()); // no frame in the pane
    }
};

QTEST_GUILESS_MAIN(TestLineTest)
#include "tst_linetest.moc"
