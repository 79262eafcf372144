// velkor-cli monitor between the link and the emulator paced at 115200 bit/s: the time of
// the same exchanges through the monitor divided by their time direct, with its printing free
// and with its output a FIFO nobody reads (the printer blocked); then the delay the
// monitor adds to each byte it passes on, from round trips of single bytes through it to a
// bare echo, against the same round trips without it.
#include "link/frvelkor.h"
#include "ptyemulator.h"
#include "ptyroundtrip.h"
#include "spread.h"
#include "statusexchanges.h"
#include "wiretime.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

constexpr int kExchanges = 100;
constexpr int kTrips = 2000;

// The monitor program on a device port, its other end at a link in `dir`; null when it did
// not come up. With `output` its lines go there instead of nowhere.
std::unique_ptr<QProcess> startMonitor(const QString& devicePort, const QString& link,
                                       const QString& output = QProcess::nullDevice())
{
    auto monitor = std::make_unique<QProcess>();
    monitor->setStandardOutputFile(output);
    monitor->setStandardErrorFile(QProcess::nullDevice());
    monitor->start(QStringLiteral(VELKOR_CLI),
                   {"monitor", "--port", devicePort, "--host-link", link});
    for (int i = 0; i < 500 && !QFileInfo(link).isSymLink(); ++i)
        QThread::msleep(10);
    if (!QFileInfo(link).isSymLink())
        return nullptr;
    return monitor;
}

void stopMonitor(QProcess& monitor)
{
    monitor.terminate();
    monitor.waitForFinished(5000);
}

double throughMonitorRatio(const QString& dir, bool printerBlocked)
{
    const auto emulator = pacedEmulator();
    if (!emulator)
        return -1;
    const QString devicePort = QString::fromStdString(emulator->portPath());
    const double direct = statusExchangeSeconds(devicePort, kExchanges);
    const QString link = dir + QStringLiteral("/ttyMON");
    // A FIFO with a one-page buffer that is never read: the printer blocks after a few lines.
    const QString fifo = dir + QStringLiteral("/out.fifo");
    int reader = -1;
    if (printerBlocked) {
        QFile::remove(fifo);
        ::mkfifo(QFile::encodeName(fifo).constData(), 0600);
        reader = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
        ::fcntl(reader, F_SETPIPE_SZ, 4096);
    }
    const auto monitor =
        printerBlocked ? startMonitor(devicePort, link, fifo) : startMonitor(devicePort, link);
    if (!monitor)
        return -1;
    const double through = statusExchangeSeconds(link, kExchanges);
    stopMonitor(*monitor);
    if (reader >= 0)
        ::close(reader);
    return through / direct;
}

// The delay the monitor adds to a byte, median and worst: a round trip through it passes
// it twice.
void measureAddedDelay(const QString& dir)
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
        return;
    const QByteArray slaveName = ::ptsname(master);
    const int slave = openRaw(slaveName.constData());
    const Spread direct = spreadOf(tripMicros(slave, master, kTrips));
    ::close(slave);
    const QString link = dir + QStringLiteral("/ttyECHO");
    const auto monitor = startMonitor(QString::fromLocal8Bit(slaveName), link);
    if (!monitor)
        return;
    const int port = openRaw(QFile::encodeName(link).constData());
    std::vector<double> added;
    for (const double trip : tripMicros(port, master, kTrips))
        added.push_back((trip - direct.median) / 2);
    ::close(port);
    stopMonitor(*monitor);
    ::close(master);
    const Spread delay = spreadOf(added);
    // The bare line's own worst trip shows how much of the worst is the machine's.
    std::printf("monitor's added delay per byte: median %.0f us, worst %.0f us (%d bytes each "
                "way; bare round trip %.0f us, its worst %.0f us)\n",
                delay.median, delay.max, kTrips, direct.median, direct.max);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QTemporaryDir dir;
    for (const bool blocked : {false, true})
        std::printf("status 11h through the monitor%s, %d exchanges a run, time / time direct: "
                    "%s\n",
                    blocked ? " (its output blocked)" : "", kExchanges,
                    qPrintable(repeated([&dir, blocked] {
                                   return throughMonitorRatio(dir.path(), blocked);
                               }).text(3)));
    measureAddedDelay(dir.path());
    std::printf("bare pseudo-terminal round trip: %s us\n",
                qPrintable(repeated(ptyRoundTripMicros).text(0)));
    return 0;
}
