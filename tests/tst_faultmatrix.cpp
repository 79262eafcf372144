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

emu::FaultPlan replacing(unsigned position, uint8_t value, emu::FaultPlan plan = {})
{
    plan.byteFaults[position] = {emu::ByteFault::Replace, value};
    return plan;
}

} // namespace

Q_DECLARE_METATYPE(emu::FaultPlan)

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

    // Once the frame has gone out, a failure says the device may have executed the command,
    // unless the device answered ENQ with NAK on a quiet line since the last frame; and only
    // that proof lets the frame go out again.
    void mayHaveExecutedUnlessProvenNot_data()
    {
        QTest::addColumn<emu::FaultPlan>("plan");
        QTest::addColumn<bool>("overlongAfter");
        QTest::addColumn<int>("code");
        QTest::addColumn<unsigned>("executions");
        QTest::addColumn<bool>("maybe");
        emu::FaultPlan deadAfterFrame;
        deadAfterFrame.silentFrom = 2; // byte 1 is the NAK to ENQ, byte 2 the frame's ACK
        emu::FaultPlan deadFromStart;
        deadFromStart.silentFrom = 1;
        emu::FaultPlan refusedOnce;
        refusedOnce.refuseFrames = {1};
        emu::FaultPlan refusedAlways;
        for (unsigned frame = 1; frame <= FrVelkor::Attempts; ++frame)
            refusedAlways.refuseFrames.insert(frame);
        QTest::newRow("frame's ACK lost, then a dead line")
            << deadAfterFrame << false << int(FrVelkor::ExchangeError) << 1u << true;
        QTest::newRow("dead line before the frame")
            << deadFromStart << false << int(FrVelkor::ExchangeError) << 0u << false;
        QTest::newRow("frame refused with noise, then a quiet NAK")
            << replacing(2, 0xA5, refusedOnce) << false << int(FrVelkor::Ok) << 1u << false;
        QTest::newRow("frame refused with a damaged NAK, then a quiet NAK")
            << replacing(2, FrVelkor::ENQ, refusedOnce) << false << int(FrVelkor::Ok) << 1u
            << false;
        QTest::newRow("every frame refused, then a quiet NAK to the last ENQ")
            << refusedAlways << false << int(FrVelkor::NotAcknowledged) << 0u << false;
        // Bytes 1 to 20 are the NAKs of ten attempts; byte 21 answers the last ENQ.
        QTest::newRow("every frame refused, then noise to the last ENQ")
            << replacing(21, 0xA5, refusedAlways) << false << int(FrVelkor::NotAcknowledged)
            << 0u << true;
        QTest::newRow("over-long array after a failed exchange")
            << deadAfterFrame << true << int(FrVelkor::BadLength) << 1u << false;
    }
    void mayHaveExecutedUnlessProvenNot()
    {
        QFETCH(emu::FaultPlan, plan);
        QFETCH(bool, overlongAfter);
        QFETCH(int, code);
        QFETCH(unsigned, executions);
        QFETCH(bool, maybe);
        const QByteArray command = QByteArray::fromHex("131e000000");
        InProcessDevice device(plan);
        FrVelkor link;
        link.setDevice(&device);
        link.setWaits(kWaits);
        FrVelkor::Reply reply = link.frCommand(command, kReplyTimeoutMs);
        if (overlongAfter) {
            QVERIFY(reply.maybeExecuted);
            reply = link.frCommand(QByteArray(FrVelkor::MaxPayload + 1, '\x13'), kReplyTimeoutMs);
        }
        QCOMPARE(reply.code, code);
        QCOMPARE(device.executions(0x13), executions);
        QCOMPARE(reply.maybeExecuted, maybe);
    }
};

QTEST_GUILESS_MAIN(TestFaultMatrix)
#include "tst_faultmatrix.moc"
