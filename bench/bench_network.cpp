// The link through a real ser2net (RFC 2217 and raw TCP) in front of the emulator paced at
// 115200 bit/s: the time of status requests through it divided by their time on the
// pseudo-terminal direct, with the user guide's configuration (chardelay off) and with
// ser2net's default (its gathering of the line's bytes on).
#include "link/frvelkor.h"
#include "ser2net.h"
#include "spread.h"
#include "statusexchanges.h"
#include "wiretime.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

constexpr int kExchanges = 100;

// One repetition: the time through the server (its RFC 2217 or raw TCP port) over the time
// direct; -1 on failure.
double ratioOnce(bool charDelay, bool rfc2217)
{
    const auto emulator = pacedEmulator();
    if (!emulator)
        return -1;
    const QString device = QString::fromStdString(emulator->portPath());
    const double direct = statusExchangeSeconds(device, kExchanges);
    QTemporaryDir dir;
    testsupport::Ser2net server(device, dir.path(), charDelay);
    if (!server.up() || direct <= 0)
        return -1;
    const double through = statusExchangeSeconds(rfc2217 ? server.rfc2217() : server.raw(), kExchanges);
    return through > 0 ? through / direct : -1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    for (const bool rfc2217 : {true, false}) {
        for (const bool charDelay : {false, true}) {
            std::vector<double> ratios;
            for (int i = 0; i < Spread::Repetitions; ++i)
                ratios.push_back(ratioOnce(charDelay, rfc2217));
            std::printf("status 11h through ser2net, %s, %s, %d exchanges a run, time / time "
                        "direct: %s\n",
                        rfc2217 ? "RFC 2217" : "raw TCP",
                        charDelay ? "ser2net's default chardelay" : "chardelay off (user guide)",
                        kExchanges, qPrintable(spreadOf(ratios).text(2)));
        }
    }
    return 0;
}
