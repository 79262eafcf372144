// Link speed against the emulator paced at 115200 bit/s: the ratio of the measured time to
// the wire time of the bytes exchanged, and the CPU time the link spends while it waits 5 s
// for a delayed reply.
#include "link/frvelkor.h"
#include "ptyemulator.h"
#include "wiretime.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// The round trip of one byte through a bare pseudo-terminal with an echo thread: the floor
// of every turnaround in the measurements above, which a real serial port does not have.
void measurePtyRoundTrip()
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        return;
    const int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
    termios settings{};
    tcgetattr(slave, &settings);
    cfmakeraw(&settings);
    tcsetattr(slave, TCSANOW, &settings);
    constexpr int kTrips = 2000;
    std::thread echo([master] {
        char byte = 0;
        for (int i = 0; i < kTrips; ++i) {
            pollfd fd{master, POLLIN, 0};
            poll(&fd, 1, 1000);
            if (read(master, &byte, 1) == 1 && write(master, &byte, 1) != 1)
                return;
        }
    });
    QElapsedTimer clock;
    clock.start();
    char byte = 'x';
    for (int i = 0; i < kTrips; ++i) {
        if (write(slave, &byte, 1) != 1)
            break;
        pollfd fd{slave, POLLIN, 0};
        poll(&fd, 1, 1000);
        if (read(slave, &byte, 1) != 1)
            break;
    }
    const double micros = double(clock.nsecsElapsed()) / 1e3 / kTrips;
    echo.join();
    close(slave);
    close(master);
    std::printf("bare pseudo-terminal round trip: %.0f us (an exchange has three turnarounds)\n",
                micros);
}

void measureRatio(const char* label, const QByteArray& command, int exchanges)
{
    emu::FaultPlan plan;
    plan.pace = true;
    emu::PtyEmulator emulator(plan, wiretime::Baud);
    if (!emulator.open()) {
        std::fprintf(stderr, "emulator: %s\n", emulator.error().c_str());
        return;
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
            return;
        }
        bytes += wiretime::exchangeBytes(int(command.size()), int(reply.data.size()));
    }
    const double measured = double(clock.nsecsElapsed()) / 1e9;
    const double wire = double(bytes) * wiretime::ByteSeconds;
    std::printf("%-28s %4d exchanges, %7lld bytes: %.3f s measured, %.3f s on the wire, "
                "ratio %.3f\n",
                label, exchanges, static_cast<long long>(bytes), measured, wire, measured / wire);
}

void measureIdleCpu()
{
    emu::FaultPlan plan;
    plan.replyDelayMs = 5000;
    emu::PtyEmulator emulator(plan, wiretime::Baud);
    if (!emulator.open())
        return;
    emulator.start();
    FrVelkor link;
    link.frInit(QString::fromStdString(emulator.portPath()), wiretime::Baud);
    const double cpuBefore = threadCpuSeconds();
    QElapsedTimer clock;
    clock.start();
    const FrVelkor::Reply reply = link.frCommand(QByteArray::fromHex("131e000000"), 10000);
    const double wall = double(clock.nsecsElapsed()) / 1e9;
    const double cpu = threadCpuSeconds() - cpuBefore;
    std::printf("delayed reply (code %d): %.3f s waited, %.4f s CPU, %.3f %% of the wait\n",
                reply.code, wall, cpu, 100 * cpu / wall);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    measureRatio("beep 13h (3-byte reply)", QByteArray::fromHex("131e000000"), 300);
    measureRatio("status 11h (48-byte reply)", QByteArray::fromHex("111e000000"), 200);
    measureRatio("255-byte reply", QByteArray::fromHex("eeff"), 100);
    measureIdleCpu();
    measurePtyRoundTrip();
    return 0;
}
