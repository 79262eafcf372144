// The link through a real ser2net (RFC 2217 and raw TCP) in front of the emulator paced at
// 115200 bit/s: the time of status requests through it divided by their time on the
// pseudo-terminal direct, with the user guide's configuration (chardelay off) and with
// ser2net's default (its gathering of the line's bytes on). Then velkor-cli against servers
// that misbehave (tests/hostile_server.py): its peak resident size under a flood beside an
// idle run's, and a run over a server that refuses COM Port Control beside a direct run.
#include "clirun.h"
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

// Seconds of one velkor-cli run of a status request on `port`; -1 when it failed.
double cliRunSeconds(const QString& port, const QString& dir)
{
    QElapsedTimer clock;
    clock.start();
    const testsupport::CliRun run = testsupport::runCli({"run", "10", "--port", port, "--dir", dir});
    return run.code == 0 ? double(clock.nsecsElapsed()) / 1e9 : -1;
}

void hostileFigures()
{
    QTemporaryDir dir;
    int idleKb = 0;
    const auto emulator = pacedEmulator();
    const QString device = QString::fromStdString(emulator->portPath());
    testsupport::runWatched({"probe", "--port", device, "--dir", dir.path()}, &idleKb);
    for (const bool rfc2217 : {false, true}) {
        const auto flood = testsupport::hostileServer(QStringLiteral("flood"), QString());
        int floodKb = 0;
        QElapsedTimer clock;
        clock.start();
        testsupport::runWatched({"probe", "--port", rfc2217 ? flood->rfc2217() : flood->raw(),
                                 "--dir", dir.path()},
                                &floodKb);
        std::printf("velkor-cli probe under a flood over %s: peak resident %.1f MB (an idle "
                    "run's %.1f MB), %.2f s\n",
                    rfc2217 ? "RFC 2217" : "raw TCP", floodKb / 1024.0, idleKb / 1024.0,
                    double(clock.nsecsElapsed()) / 1e9);
    }
    const auto refusing = testsupport::hostileServer(QStringLiteral("refuse"), device);
    std::vector<double> refused;
    std::vector<double> direct;
    for (int i = 0; i < Spread::Repetitions; ++i) {
        refused.push_back(cliRunSeconds(refusing->rfc2217(), dir.path()));
        direct.push_back(cliRunSeconds(device, dir.path()));
    }
    std::printf("velkor-cli run 10 over an RFC 2217 server refusing COM-PORT-OPTION / direct: "
                "%s / %s s\n",
                qPrintable(spreadOf(refused).text(3)), qPrintable(spreadOf(direct).text(3)));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    hostileFigures();
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
