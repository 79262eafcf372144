// Link speed against the emulator paced at 115200 bit/s: the ratio of the measured time to
// the wire time of the bytes exchanged, and the CPU time the link spends while it waits 5 s
// for a delayed reply.
#include "link/frvelkor.h"
#include "ptyemulator.h"
#include "ptyroundtrip.h"
#include "spread.h"
#include "threadcpu.h"
#include "wiretime.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

namespace {

// The ratio of one repetition, or -1 when an exchange failed.
double ratioOnce(const char* label, const QByteArray& command, int exchanges)
{
    emu::FaultPlan plan;
    plan.pace = true;
    emu::PtyEmulator emulator(plan, wiretime::Baud);
    if (!emulator.open()) {
        std::fprintf(stderr, "emulator: %s\n", emulator.error().c_str());
        return -1;
    }
    emulator.start();
    FrVelkor link;
    link.frInit(QString::fromStdString(emulator.portPath()), wiretime::Baud);
    qint64 bytes = 0;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < exchanges; ++i) {
        const FrVelkor::Reply reply = link.frCommand(command, 10000);
        if (reply.code != 0) {
            std::printf("%s: exchange %d failed with %d\n", label, i, reply.code);
            return -1;
        }
        bytes += wiretime::exchangeBytes(int(command.size()), int(reply.data.size()));
    }
    return double(clock.nsecsElapsed()) / 1e9 / (double(bytes) * wiretime::ByteSeconds);
}

void measureRatio(const char* label, const QByteArray& command, int exchanges)
{
    const Spread ratio = repeated([&] { return ratioOnce(label, command, exchanges); });
    std::printf("%-28s %4d exchanges a run, time / wire time: ratio %s\n", label, exchanges,
                qPrintable(ratio.text(3)));
}

// The share of one core the link's thread uses while it waits 5 s for a reply, in percent.
double idleCpuPercent()
{
    emu::FaultPlan plan;
    plan.replyDelayMs = 5000;
    emu::PtyEmulator emulator(plan, wiretime::Baud);
    if (!emulator.open())
        return -1;
    emulator.start();
    FrVelkor link;
    link.frInit(QString::fromStdString(emulator.portPath()), wiretime::Baud);
    const double cpuBefore = threadCpuSeconds();
    QElapsedTimer clock;
    clock.start();
    const FrVelkor::Reply reply = link.frCommand(QByteArray::fromHex("131e000000"), 10000);
    const double wall = double(clock.nsecsElapsed()) / 1e9;
    if (reply.code != 0)
        return -1;
    return 100 * (threadCpuSeconds() - cpuBefore) / wall;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    measureRatio("beep 13h (3-byte reply)", QByteArray::fromHex("131e000000"), 300);
    measureRatio("status 11h (48-byte reply)", QByteArray::fromHex("111e000000"), 200);
    measureRatio("255-byte reply", QByteArray::fromHex("eeff"), 100);
    std::printf("delayed reply, 5 s waited: CPU %s %% of the wait\n",
                qPrintable(repeated(idleCpuPercent).text(3)));
    std::printf("bare pseudo-terminal round trip: %s us (an exchange has three turnarounds)\n",
                qPrintable(repeated(ptyRoundTripMicros).text(0)));
    return 0;
}
