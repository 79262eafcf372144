// Every pair of faults on the bytes the device sends, on a short exchange, with the link's
// real waits: the device must never execute the command twice, and a failure must say
// whether the device may have executed the command exactly when it did. Replies accepted
// that the device did not send are counted and printed: two damaged bytes can cancel in the
// frame's XOR checksum, which no rule of the host can see.
//   bench_faultmatrix [--jobs N]   N processes at a time (16 when absent): the cases wait,
//                                  they hardly compute
//   bench_faultmatrix --shard I/N  the cases I, I+N, I+2N ... alone, one result line
#include "inprocessdevice.h"
#include "link/frvelkor.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <cstdio>
#include <vector>

using testsupport::InProcessDevice;

namespace {

// The device's bytes of a clean exchange are 8; recovery after a fault sends more.
constexpr unsigned kNormalBytes = 8;
constexpr unsigned kLastPosition = 24;
// A caller's reply timeout shorter than the window's 10 s, so that a held reply's STX can
// outlast it too; the link's own waits are the protocol's.
constexpr int kReplyTimeoutMs = 2000;
constexpr int kHoldMs = 2500;

const QByteArray kCommand = QByteArray::fromHex("131e000000");
const QByteArray kReply = QByteArray::fromHex("130001");

struct Tally
{
    long cases = 0;
    long successes = 0;
    long failedExecuted = 0;
    long failedNotExecuted = 0;
    long wrongMaybe = 0; // a failure that said the opposite of what the device did
    long doubleExecutions = 0;
    long wrongReplies = 0;
    long worstMs = 0;

    void add(const Tally& o)
    {
        cases += o.cases;
        successes += o.successes;
        failedExecuted += o.failedExecuted;
        failedNotExecuted += o.failedNotExecuted;
        wrongMaybe += o.wrongMaybe;
        doubleExecutions += o.doubleExecutions;
        wrongReplies += o.wrongReplies;
        worstMs = std::max(worstMs, o.worstMs);
    }
};

std::vector<emu::ByteFault> faultKinds()
{
    std::vector<emu::ByteFault> kinds{{emu::ByteFault::Lose, 0}, {emu::ByteFault::Hold, 0}};
    for (const uint8_t value : emu::ReplacementBytes)
        kinds.push_back({emu::ByteFault::Replace, value});
    return kinds;
}

Tally runShard(int shard, int shards)
{
    const std::vector<emu::ByteFault> kinds = faultKinds();
    Tally tally;
    long index = 0;
    for (unsigned first = 1; first <= kNormalBytes; ++first)
        for (unsigned second = first + 1; second <= kLastPosition; ++second)
            for (const emu::ByteFault& a : kinds)
                for (const emu::ByteFault& b : kinds) {
                    if (index++ % shards != shard)
                        continue;
                    emu::FaultPlan plan;
                    plan.holdMs = kHoldMs;
                    plan.byteFaults[first] = a;
                    plan.byteFaults[second] = b;
                    InProcessDevice device(plan);
                    FrVelkor link;
                    link.setDevice(&device);
                    QElapsedTimer clock;
                    clock.start();
                    const FrVelkor::Reply reply = link.frCommand(kCommand, kReplyTimeoutMs);
                    const long ms = long(clock.elapsed());
                    // A second fault the exchange never reached is a single fault again.
                    if (device.side.sentBytes() < second)
                        continue;
                    const unsigned executions = device.executions(0x13);
                    ++tally.cases;
                    tally.worstMs = std::max(tally.worstMs, ms);
                    if (executions > 1)
                        ++tally.doubleExecutions;
                    if (reply.code == FrVelkor::Ok) {
                        ++tally.successes;
                        if (reply.data != kReply) {
                            ++tally.wrongReplies;
                            std::fprintf(stderr,
                                         "accepted %s: byte %u kind %d/%02x, byte %u kind %d/%02x\n",
                                         reply.data.toHex(' ').constData(), first, a.kind, a.value,
                                         second, b.kind, b.value);
                        }
                        continue;
                    }
                    ++(executions > 0 ? tally.failedExecuted : tally.failedNotExecuted);
                    if (reply.maybeExecuted != (executions > 0)) {
                        ++tally.wrongMaybe;
                        std::fprintf(stderr, "wrong: byte %u kind %d/%02x, byte %u kind %d/%02x\n",
                                     first, a.kind, a.value, second, b.kind, b.value);
                    }
                }
    return tally;
}

void print(const char* label, const Tally& t)
{
    std::printf("%s %ld %ld %ld %ld %ld %ld %ld %ld\n", label, t.cases, t.successes,
                t.failedExecuted, t.failedNotExecuted, t.wrongMaybe, t.doubleExecutions,
                t.wrongReplies, t.worstMs);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    const QStringList arguments = app.arguments();
    const int shardAt = int(arguments.indexOf(QStringLiteral("--shard")));
    if (shardAt > 0 && shardAt + 1 < arguments.size()) {
        const QStringList parts = arguments.at(shardAt + 1).split(QLatin1Char('/'));
        print("tally", runShard(parts.value(0).toInt(), std::max(1, parts.value(1).toInt())));
        return 0;
    }
    const int jobsAt = int(arguments.indexOf(QStringLiteral("--jobs")));
    const int jobs = jobsAt > 0 ? std::max(1, arguments.value(jobsAt + 1).toInt()) : 16;

    QElapsedTimer total;
    total.start();
    std::vector<std::unique_ptr<QProcess>> children;
    for (int i = 0; i < jobs; ++i) {
        children.push_back(std::make_unique<QProcess>());
        children.back()->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        children.back()->start(app.applicationFilePath(),
                               {QStringLiteral("--shard"), QStringLiteral("%1/%2").arg(i).arg(jobs)});
    }
    Tally sum;
    for (auto& child : children) {
        child->waitForFinished(-1);
        const QList<QByteArray> fields = child->readAllStandardOutput().trimmed().split(' ');
        if (fields.size() != 9 || fields.front() != "tally") {
            std::fprintf(stderr, "a shard failed\n");
            return 1;
        }
        Tally part;
        long* counts[] = {&part.cases,          &part.successes,  &part.failedExecuted,
                         &part.failedNotExecuted, &part.wrongMaybe, &part.doubleExecutions,
                         &part.wrongReplies,   &part.worstMs};
        for (int i = 0; i < 8; ++i)
            *counts[i] = fields.at(i + 1).toLong();
        sum.add(part);
    }
    std::printf("fault pairs on the short exchange (bytes 1-%u and a second fault up to byte %u, "
                "7 kinds each), %.0f s with %d processes:\n",
                kNormalBytes, kLastPosition, double(total.elapsed()) / 1e3, jobs);
    std::printf("  cases: %ld\n  successes: %ld\n", sum.cases, sum.successes);
    std::printf("  failures, device executed the command: %ld\n", sum.failedExecuted);
    std::printf("  failures, device did not execute it: %ld\n", sum.failedNotExecuted);
    std::printf("  failures that said the opposite of what the device did: %ld (must be 0)\n",
                sum.wrongMaybe);
    std::printf("  double executions: %ld (must be 0)\n", sum.doubleExecutions);
    std::printf("  wrong replies accepted: %ld (frames whose two damaged bytes cancel in the XOR "
                "checksum)\n",
                sum.wrongReplies);
    std::printf("  worst exchange: %ld ms\n", sum.worstMs);
    return sum.wrongMaybe == 0 && sum.doubleExecutions == 0 ? 0 : 1;
}
