// A fault soak of the link: exchanges against the emulator while it corrupts replies, drops
// bytes, answers ENQs with garbage, loses replies (they stay pending), stalls now and then,
// and loses, replaces or holds any byte it sends. Every command is unique and its reply known in advance, so the soak counts the
// replies accepted that differ from what the device sent and the commands the device
// executed more than once; both must be 0.
//   bench_soak [EXCHANGES [FAULT]]   10000 exchanges and every fault when absent; FAULT is
//   one of corrupt, drop, garbage, lose, stall, byte-lose, byte-replace, byte-hold to soak
//   that fault alone
#include "link/frvelkor.h"
#include "ptyemulator.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <map>

namespace {

// EEh with reply length `length` and a sequence number the device ignores.
QByteArray command(int sequence, int length)
{
    QByteArray bytes = QByteArray::fromHex("ee");
    bytes.append(char(length));
    for (int i = 0; i < 3; ++i)
        bytes.append(char(quint8(sequence >> (8 * i))));
    return bytes;
}

// What the emulated device answers to EEh of that length.
QByteArray expectedReply(int length)
{
    QByteArray bytes = QByteArray::fromHex("ee00");
    for (int i = 2; i < length; ++i)
        bytes.append(char(i));
    return bytes;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    const int exchanges = argc > 1 ? std::max(1, atoi(argv[1])) : 10000;

    const QByteArray only = argc > 2 ? QByteArray(argv[2]) : QByteArray();
    const auto rate = [&only](const char* fault, double value) {
        return only.isEmpty() || only == fault ? value : 0.0;
    };
    emu::FaultPlan plan;
    plan.corruptRate = rate("corrupt", 0.05);
    plan.dropByteRate = rate("drop", 0.01);
    plan.garbageRate = rate("garbage", 0.02);
    plan.loseRate = rate("lose", 0.02);
    plan.stallRate = rate("stall", 0.002);
    plan.stallMs = 1500;
    // Any byte the device sends: answers to ENQ and the ACK of a frame too.
    plan.byteLoseRate = rate("byte-lose", 0.001);
    plan.byteReplaceRate = rate("byte-replace", 0.001);
    plan.byteHoldRate = rate("byte-hold", 0.0002);
    plan.holdMs = 1500;
    plan.seed = 20261208;
    emu::PtyEmulator emulator(plan, 115200);
    if (!emulator.open()) {
        std::fprintf(stderr, "emulator: %s\n", emulator.error().c_str());
        return 1;
    }
    emulator.start();
    FrVelkor link;
    link.frInit(QString::fromStdString(emulator.portPath()), 115200);

    int successes = 0;
    int wrongReplies = 0;
    int repeated = 0;
    std::map<int, int> driverErrors;
    qint64 worstMs = 0;
    QElapsedTimer total;
    total.start();
    for (int i = 0; i < exchanges; ++i) {
        const int length = 2 + i % 24;
        const QByteArray sent = command(i, length);
        QElapsedTimer clock;
        clock.start();
        const FrVelkor::Reply reply = link.frCommand(sent, 2000);
        worstMs = std::max(worstMs, clock.elapsed());
        if (reply.code == FrVelkor::Ok) {
            ++successes;
            if (reply.data != expectedReply(length))
                ++wrongReplies;
        } else {
            ++driverErrors[reply.code];
        }
        const int executed = emulator.withModel([&sent](emu::DeviceModel& m) {
            const emu::Bytes wanted(sent.begin(), sent.end());
            const int count = int(std::count(m.commands().begin(), m.commands().end(), wanted));
            m.clearCommands();
            return count;
        });
        if (executed > 1)
            ++repeated;
        if (clock.elapsed() > 3000)
            std::fprintf(stderr, "exchange %d: code %d after %lld ms\n", i, reply.code,
                         static_cast<long long>(clock.elapsed()));
        if ((i + 1) % 100 == 0)
            std::fprintf(stderr, "%d exchanges, %.0f s, %d succeeded, %d differing, %d repeated\n",
                         i + 1, double(total.elapsed()) / 1e3, successes, wrongReplies, repeated);
    }
    std::printf("fault soak: %d exchanges in %.1f s, %d succeeded\n", exchanges,
                double(total.elapsed()) / 1e3, successes);
    for (const auto& [code, count] : driverErrors)
        std::printf("  driver error %d: %d\n", code, count);
    std::printf("  replies accepted that differ from the device's: %d (must be 0)\n", wrongReplies);
    std::printf("  commands executed more than once: %d (must be 0)\n", repeated);
    std::printf("  worst exchange: %lld ms\n", static_cast<long long>(worstMs));
    return wrongReplies == 0 && repeated == 0 ? 0 : 1;
}
