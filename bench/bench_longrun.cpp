// A long test script through the real window with the full per-byte log on: 100,000
// status requests against the emulator paced at 115200 bit/s. Prints the time over the wire
// time and the process's peak memory, which the pane's cap keeps bounded (the pane file and
// the program log keep everything).
//   bench_longrun [COMMANDS]   (100000 when absent)
#include "pacedwindow.h"
#include "ui/procedures/specialprocedures.h"
#include "wiretime.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace {

long peakKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int commands = argc > 1 ? std::max(1, atoi(argv[1])) : 100000;
    const auto paced = pacedWindow(true);
    testsupport::WindowRig& rig = *paced;
    rig.clickToggle();
    testsupport::writeBytes(rig.appDir + QStringLiteral("/testfp.txt"),
                            "loop,1," + QByteArray::number(commands) +
                                "\r\n10,30\r\nendloop,1\r\n");
    const long before = peakKilobytes();
    QElapsedTimer clock;
    clock.start();
    rig.startup().procedures()->dopProc.cmdDopProc(DopProc::TestScript);
    rig.win().logPane().flush();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    // The short status request: 5 bytes, its reply 16.
    const double wire = commands * wiretime::exchangeBytes(5, 16) * wiretime::ByteSeconds;
    std::printf("long run: %d commands with the full log in %.1f s (%.2f ms each), time / wire "
                "time: ratio %.2f, status executed %u times\n",
                commands, seconds, seconds * 1000 / commands, seconds / wire,
                rig.executions(0x10));
    std::printf("  peak memory %ld MB (%ld MB before the run), pane entries %d\n",
                peakKilobytes() / 1024, before / 1024, rig.ui().tedLog->blockCount() - 1);
    return 0;
}
