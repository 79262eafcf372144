// The link's promise proved by enumeration, on virtual time with the protocol's waits: faults
// on the bytes the device sends (lost, held past every wait, replaced by ACK, NAK, STX, ENQ
// or a plain byte), singly at every position, in pairs and in triples. The device never
// executes the command twice, a failure says that the device may have executed the command
// exactly when it did, and an accepted reply is the device's, unless two damaged bytes cancel
// in the frame's XOR checksum, which no rule of the host can see ("checksum-blind").
#include "inprocessdevice.h"
#include "link/frvelkor.h"

#include <QtTest>

#include <cstdio>
#include <random>

using testsupport::InProcessDevice;

namespace {

// A caller's reply timeout shorter than the window's 10 s, so that a held reply's STX can
// outlast it too.
constexpr int kReplyTimeoutMs = 2000;
constexpr int kHoldMs = 2500;

using Faults = std::map<unsigned, emu::ByteFault>; // by the position of the byte faulted

struct Outcome
{
    FrVelkor::Reply reply;
    unsigned executions = 0;
    unsigned sentBytes = 0;
};

Outcome run(const QByteArray& command, bool stale, const Faults& faults)
{
    emu::FaultPlan plan;
    plan.pendingAtStart = stale;
    plan.holdMs = kHoldMs;
    plan.byteFaults = faults;
    InProcessDevice device(plan);
    FrVelkor link;
    link.setDevice(&device);
    link.setClock(&device.clock);
    Outcome outcome;
    outcome.reply = link.frCommand(command, kReplyTimeoutMs);
    outcome.executions = device.executions(quint8(command.at(0)));
    outcome.sentBytes = device.side.sentBytes();
    return outcome;
}

const std::vector<emu::ByteFault>& faultKinds()
{
    static const std::vector<emu::ByteFault> kinds = [] {
        std::vector<emu::ByteFault> all{{emu::ByteFault::Lose, 0}, {emu::ByteFault::Hold, 0}};
        for (const uint8_t value : emu::ReplacementBytes)
            all.push_back({emu::ByteFault::Replace, value});
        return all;
    }();
    return kinds;
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

QString describe(const Faults& faults)
{
    QStringList parts;
    for (const auto& [position, fault] : faults)
        parts << QStringLiteral("byte %1 %2").arg(position).arg(faultName(fault));
    return parts.join(QStringLiteral(", "));
}

// The cases of a family and what they came to.
class Family
{
public:
    Family(const QByteArray& command, bool stale) : m_command(command), m_stale(stale)
    {
        m_clean = run(command, stale, {});
        if (stale) {
            // What the device holds from before (emu::FaultPlan::pendingAtStart).
            const emu::Bytes reply = emu::DeviceModel().execute({0x10, 30, 0, 0, 0});
            m_staleReply =
                QByteArray(reinterpret_cast<const char*>(reply.data()), qsizetype(reply.size()));
        }
    }

    // Every case of `count` faults the exchange reaches: the first fault at any byte of the
    // clean exchange, each further one at any later byte sent with the faults before it.
    void every(int count, const Faults& before = {})
    {
        const unsigned sent = sentWith(before);
        for (unsigned position = next(before); position <= sent; ++position)
            for (const emu::ByteFault& fault : faultKinds()) {
                Faults faults = before;
                faults[position] = fault;
                if (count == 1)
                    add(faults);
                else
                    every(count - 1, faults);
            }
    }

    // `cases` cases of `count` faults drawn with `seed`, each fault at a byte the exchange
    // reaches with the faults before it.
    void drawn(int count, int cases, unsigned seed)
    {
        std::mt19937 random(seed);
        std::uniform_int_distribution<size_t> kind(0, faultKinds().size() - 1);
        while (m_cases < cases) {
            Faults faults;
            while (int(faults.size()) < count && next(faults) <= sentWith(faults)) {
                std::uniform_int_distribution<unsigned> position(next(faults), sentWith(faults));
                faults[position(random)] = faultKinds()[kind(random)];
            }
            if (int(faults.size()) == count)
                add(faults);
        }
    }

    // "FAMILY: N cases, S succeeded, W checksum-blind, D executed twice, M misreported"
    QString line(const QString& family) const
    {
        return QStringLiteral("%1: %2 cases, %3 succeeded, %4 checksum-blind, %5 executed twice, "
                              "%6 misreported")
            .arg(family)
            .arg(m_cases)
            .arg(m_succeeded)
            .arg(m_checksumBlind)
            .arg(m_executedTwice)
            .arg(m_misreported);
    }
    bool allSucceeded() const { return m_succeeded == m_cases; }
    // The cases that broke a rule, one line each.
    const QStringList& broken() const { return m_broken; }

private:
    static unsigned next(const Faults& faults)
    {
        return faults.empty() ? 1 : faults.rbegin()->first + 1;
    }

    // The bytes the device sends with `faults`; the drawn families ask for the same
    // beginnings again and again.
    unsigned sentWith(const Faults& faults)
    {
        const auto [known, fresh] = m_sent.try_emplace(describe(faults), 0);
        if (fresh)
            known->second = run(m_command, m_stale, faults).sentBytes;
        return known->second;
    }

    void add(const Faults& faults)
    {
        const Outcome got = run(m_command, m_stale, faults);
        ++m_cases;
        const auto broken = [&](const QString& what) {
            m_broken << describe(faults) + ": " + what;
        };
        if (got.executions > 1) {
            ++m_executedTwice;
            broken(QStringLiteral("executed %1 times").arg(got.executions));
        }
        if (got.reply.code == FrVelkor::Ok) {
            ++m_succeeded;
            if (got.reply.data == m_clean.reply.data)
                return;
            // A frame the device never sent passed the checksum; a reply it did send, but
            // not to this command (the stale one), is a fault of the link.
            if (got.reply.data == m_staleReply)
                broken(QStringLiteral("accepted the stale reply"));
            else
                ++m_checksumBlind;
            return;
        }
        if (got.reply.maybeExecuted != (got.executions > 0)) {
            ++m_misreported;
            broken(QStringLiteral("failed with %1, executed %2, said %3")
                       .arg(int(got.reply.code))
                       .arg(got.executions)
                       .arg(got.reply.maybeExecuted));
        }
    }

    QByteArray m_command;
    bool m_stale;
    Outcome m_clean;
    QByteArray m_staleReply;
    std::map<QString, unsigned> m_sent;
    long m_cases = 0;
    long m_succeeded = 0;
    long m_checksumBlind = 0;
    long m_executedTwice = 0;
    long m_misreported = 0;
    QStringList m_broken;
};

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

    // Each family prints its line; tools/check shows them.
    void enumeration_data()
    {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<bool>("stale");
        QTest::addColumn<int>("faults");
        QTest::addColumn<int>("drawn"); // 0: every case
        const QByteArray shortReply = QByteArray::fromHex("131e000000");
        const QByteArray longestReply = QByteArray::fromHex("eeff");
        QTest::newRow("single faults, short reply") << shortReply << false << 1 << 0;
        QTest::newRow("single faults, 255-byte reply") << longestReply << false << 1 << 0;
        QTest::newRow("single faults, stale reply pending") << shortReply << true << 1 << 0;
        QTest::newRow("fault pairs, short reply") << shortReply << false << 2 << 0;
        QTest::newRow("fault pairs, stale reply pending") << shortReply << true << 2 << 0;
        QTest::newRow("fault pairs drawn, 255-byte reply") << longestReply << false << 2 << 20000;
        QTest::newRow("fault triples drawn, short reply") << shortReply << false << 3 << 20000;
    }
    void enumeration()
    {
        QFETCH(QByteArray, command);
        QFETCH(bool, stale);
        QFETCH(int, faults);
        QFETCH(int, drawn);
        Family family(command, stale);
        if (drawn > 0)
            family.drawn(faults, drawn, 42u + unsigned(faults));
        else
            family.every(faults);
        std::printf("%s\n", qPrintable(family.line(QString::fromLatin1(QTest::currentDataTag()))));
        std::fflush(stdout);
        QVERIFY2(family.broken().isEmpty(), qPrintable(family.broken().join(QLatin1Char('\n'))));
        // One fault never costs the reply: the device repeats it on ENQ.
        if (faults == 1)
            QVERIFY(family.allSucceeded());
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
        link.setClock(&device.clock);
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
