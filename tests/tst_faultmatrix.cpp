// Every single fault at every position of the bytes the device sends, for three exchanges:
// the device executes the command once, and the exchange succeeds with exactly the device's
// reply. (bench_faultmatrix runs every pair, where failures happen and must say whether the
// device may have executed the command.)
#include "inprocessdevice.h"
#include "link/frvelkor.h"

#include <QtTest>

using testsupport::InProcessDevice;

namespace {

// Short waits: the device is in this thread, so what it sends at once is there at once,
// and only the order of the waits and of the held bytes matters.
constexpr FrVelkor::Waits kWaits{10, 10, 8, 2, 2};
constexpr int kReplyTimeoutMs = 25;
constexpr int kHoldMs = 60;

struct Outcome
{
    FrVelkor::Reply reply;
    unsigned executions = 0;
    unsigned sentBytes = 0;
};

Outcome run(const QByteArray& command, emu::FaultPlan plan)
{
    plan.holdMs = kHoldMs;
    InProcessDevice device(plan);
    FrVelkor link;
    link.setDevice(&device);
    link.setWaits(kWaits);
    Outcome outcome;
    outcome.reply = link.frCommand(command, kReplyTimeoutMs);
    outcome.executions = device.executions(quint8(command.at(0)));
    outcome.sentBytes = device.side.sentBytes();
    return outcome;
}

QString faultName(const emu::ByteFault& fault)
{
    switch (fault.kind) {
    case emu::ByteFault::Lose:
        return QStringLiteral("lost");
    case emu::ByteFault::Hold:
        return QStringLiteral("held");
    case emu::ByteFault::Replace:
        break;
    }
    return QStringLiteral("replaced by %1").arg(fault.value, 2, 16, QLatin1Char('0'));
}

} // namespace

class TestFaultMatrix : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Thousands of exchanges: their debug lines would bury the result.
    void initTestCase()
    {
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
            if (type != QtDebugMsg)
                fprintf(stderr, "%s\n", qPrintable(text));
        });
    }
    void everySingleFault_data()
    {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<bool>("stale");
        QTest::newRow("short reply") << QByteArray::fromHex("131e000000") << false;
        QTest::newRow("255-byte reply") << QByteArray::fromHex("eeff") << false;
        QTest::newRow("stale reply pending") << QByteArray::fromHex("131e000000") << true;
    }
    void everySingleFault()
    {
        QFETCH(QByteArray, command);
        QFETCH(bool, stale);
        emu::FaultPlan clean;
        clean.pendingAtStart = stale;
        const Outcome expected = run(command, clean);
        QCOMPARE(expected.reply.code, int(FrVelkor::Ok));
        QCOMPARE(expected.executions, 1u);

        QList<emu::ByteFault> faults{{emu::ByteFault::Lose, 0}, {emu::ByteFault::Hold, 0}};
        for (const uint8_t value : emu::ReplacementBytes)
            faults.append({emu::ByteFault::Replace, value});
        QStringList broken;
        for (unsigned position = 1; position <= expected.sentBytes; ++position) {
            for (const emu::ByteFault& fault : std::as_const(faults)) {
                emu::FaultPlan plan = clean;
                plan.byteFaults[position] = fault;
                const Outcome got = run(command, plan);
                const QString name =
                    QStringLiteral("byte %1 %2: ").arg(position).arg(faultName(fault));
                if (got.executions > 1)
                    broken << name + QStringLiteral("executed %1 times").arg(got.executions);
                if (got.reply.code == FrVelkor::Ok && got.reply.data != expected.reply.data)
                    broken << name + QStringLiteral("accepted ") + got.reply.data.toHex(' ');
                // One fault never costs the reply: the device repeats it on ENQ.
                if (got.reply.code != FrVelkor::Ok)
                    broken << name + QStringLiteral("failed with %1, executed %2, said %3")
                                         .arg(got.reply.code)
                                         .arg(got.executions)
                                         .arg(got.reply.maybeExecuted);
            }
        }
        QVERIFY2(broken.isEmpty(), qPrintable(broken.join(QLatin1Char('\n'))));
    }
};

QTEST_GUILESS_MAIN(TestFaultMatrix)
#include "tst_faultmatrix.moc"
