// A whole dump of the first fiscal memory unit read by the device data window from the
// emulator paced at 115200 bit/s, with the full per-byte log off and on: the ratio of the
// measured time to the wire time. Then the dump viewer opening a 50 MB file.
#include "bareclient.h"
#include "pacedwindow.h"
#include "ptyroundtrip.h"
#include "spread.h"
#include "ui/procedures/datakkmwin.h"
#include "ui/procedures/dumpwin.h"
#include "ui/procedures/specialprocedures.h"
#include "ui/shell/modaldialog.h"
#include "ui_datakkmwin.h"
#include "ui_dumpwin.h"
#include "wiretime.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTableView>

#include <cstdio>

namespace {

// The whole reading through the window, and the same commands through the link alone and
// through a bare client, each as time / wire time.
struct Reading
{
    double window = 0;
    double link = 0;
    double bare = 0;
    QString status;
};

Reading readOnce(bool fullLog)
{
    const auto paced = pacedWindow(fullLog);
    testsupport::WindowRig& rig = *paced;
    rig.clickToggle();
    rig.select(QStringLiteral("Данные ККМ"));
    DataKkmWin* window = rig.startup().procedures()->dopProc.dataWindow();
    const int blocks = int(rig.emulator().withModel(
        [](emu::DeviceModel& m) { return m.unitImage(1).size() / emu::DeviceModel::BlockSize; }));
    // The dump request (code, password, unit; reply code, error, two bytes), the blocks
    // (code, password; reply code, error, unit, number, 32 bytes).
    const double wire = (wiretime::exchangeBytes(6, 4) +
                         blocks * wiretime::exchangeBytes(5, 5 + emu::DeviceModel::BlockSize)) *
                        wiretime::ByteSeconds;
    const QByteArray request = QByteArray::fromHex("011e00000001");
    const QByteArray block = QByteArray::fromHex("021e000000");
    QElapsedTimer timer;
    // The same commands through the link alone, with its per-byte trace.
    FrVelkor* link = rig.startup().link();
    timer.start();
    link->frCommand(request, 10000);
    for (int i = 0; i < blocks; ++i)
        link->frCommand(block, 10000);
    Reading reading;
    reading.link = double(timer.nsecsElapsed()) / 1e9 / wire;
    // And through the bare client on the same port, the link's closed meanwhile.
    link->closeComPort();
    const int port = openRaw(qPrintable(rig.portPath));
    timer.restart();
    bool bareOk = bareclient::exchange(port, request);
    for (int i = 0; i < blocks && bareOk; ++i)
        bareOk = bareclient::exchange(port, block);
    reading.bare = bareOk ? double(timer.nsecsElapsed()) / 1e9 / wire : -1;
    ::close(port);
    link->openComPort();
    timer.restart();
    window->on_pbReadData_clicked();
    reading.window = double(timer.nsecsElapsed()) / 1e9 / wire;
    reading.status = window->ui()->labStatus->text();
    return reading;
}

void measureReading(bool fullLog)
{
    std::vector<double> windowRatios, linkRatios, bareRatios;
    QStringList statuses;
    for (int i = 0; i < Spread::Repetitions; ++i) {
        const Reading reading = readOnce(fullLog);
        windowRatios.push_back(reading.window);
        linkRatios.push_back(reading.link);
        bareRatios.push_back(reading.bare);
        statuses << reading.status;
    }
    statuses.removeDuplicates();
    std::printf("dump reading, full log %s, time / wire time: ratio %s (the link alone %s, a bare "
                "client %s; %s)\n",
                fullLog ? "on" : "off", qPrintable(spreadOf(windowRatios).text(3)),
                qPrintable(spreadOf(linkRatios).text(3)), qPrintable(spreadOf(bareRatios).text(3)),
                qPrintable(statuses.join(", ")));
}

struct Opening
{
    double openMs = 0;
    double stepMs = 0;
    qlonglong rows = 0;
};

Opening openOnce(const QString& path)
{
    testsupport::WindowRig rig;
    QByteArray data;
    DumpWin viewer(rig.appDir, rig.win().logPane());
    viewer.setViewDump(&data, QStringLiteral("Накопитель ФП1"));
    viewer.show();
    QCoreApplication::processEvents();
    const FileAnswerer previous = setFileAnswerer([&path](const FileQuestion&) { return path; });
    Opening opening;
    QElapsedTimer timer;
    timer.start();
    viewer.on_pbOpen_clicked();
    viewer.repaint();
    opening.openMs = double(timer.nsecsElapsed()) / 1e6;
    setFileAnswerer(previous);
    // Scrolling: 200 steps of a page each over the whole table, every one painted.
    QScrollBar* bar = viewer.ui()->tabDump->verticalScrollBar();
    timer.restart();
    constexpr int kSteps = 200;
    for (int i = 1; i <= kSteps; ++i) {
        bar->setValue(int(qint64(bar->maximum()) * i / kSteps));
        viewer.ui()->tabDump->viewport()->repaint();
    }
    opening.stepMs = double(timer.nsecsElapsed()) / 1e6 / kSteps;
    opening.rows = viewer.ui()->tabDump->model()->rowCount();
    return opening;
}

void measureOpening()
{
    constexpr qint64 kSize = 50LL * 1024 * 1024;
    const QString path = QDir::temp().filePath(QStringLiteral("velkor-bench-50mb.bin"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return;
        QByteArray chunk(1024 * 1024, '\0');
        for (int i = 0; i < chunk.size(); ++i)
            chunk[i] = char(i * 7);
        for (qint64 written = 0; written < kSize; written += chunk.size())
            file.write(chunk);
    }
    std::vector<double> opens, steps;
    qlonglong rows = 0;
    for (int i = 0; i < Spread::Repetitions; ++i) {
        const Opening opening = openOnce(path);
        opens.push_back(opening.openMs);
        steps.push_back(opening.stepMs);
        rows = opening.rows;
    }
    std::printf("50 MB dump: %lld rows shown in %s ms (file read included), one scroll step "
                "painted in %s ms\n",
                rows, qPrintable(spreadOf(opens).text(0)), qPrintable(spreadOf(steps).text(2)));
    QFile::remove(path);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    measureReading(false);
    measureReading(true);
    measureOpening();
    std::printf("bare pseudo-terminal round trip: %s us\n",
                qPrintable(repeated(ptyRoundTripMicros).text(0)));
    return 0;
}
