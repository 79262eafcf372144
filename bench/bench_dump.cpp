// A whole dump of the first fiscal memory unit read by the device data window from the
// emulator paced at 115200 bit/s, with the full per-byte log off and on: the ratio of the
// measured time to the wire time. Then the dump viewer opening a 50 MB file.
#include "app/modaldialog.h"
#include "pacedwindow.h"
#include "procs/datakkmwin.h"
#include "procs/dumpwin.h"
#include "procs/specialprocedures.h"
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

void measureReading(bool fullLog)
{
    const auto paced = pacedWindow(fullLog);
    testsupport::WindowRig& rig = *paced;
    rig.clickToggle();
    rig.select(QStringLiteral("Данные ККМ"));
    DataKkmWin* window = rig.startup().procedures()->dopProc.dataWindow();
    const int blocks = int(rig.emulator().withModel(
        [](emu::DeviceModel& m) { return m.unitImage(1).size() / emu::DeviceModel::BlockSize; }));
    QElapsedTimer timer;
    // The same commands through the link alone, with its per-byte trace: the floor.
    FrVelkor* link = rig.startup().link();
    timer.start();
    link->frCommand(QByteArray::fromHex("011e00000001"), 10000);
    for (int i = 0; i < blocks; ++i)
        link->frCommand(QByteArray::fromHex("021e000000"), 10000);
    const double linkSeconds = double(timer.nsecsElapsed()) / 1e9;
    timer.restart();
    window->on_pbReadData_clicked();
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    // The dump request (code, password, unit; reply code, error, two bytes), the blocks
    // (code, password; reply code, error, unit, number, 32 bytes).
    const double wire = (wiretime::exchangeBytes(6, 4) +
                         blocks * wiretime::exchangeBytes(5, 5 + emu::DeviceModel::BlockSize)) *
                        wiretime::ByteSeconds;
    std::printf("dump reading, full log %-3s  %d blocks in %.3f s, wire time %.3f s, ratio %.3f "
                "(the link alone %.3f; %s)\n",
                fullLog ? "on" : "off", blocks, seconds, wire, seconds / wire, linkSeconds / wire,
                qPrintable(window->ui()->labStatus->text()));
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
    testsupport::WindowRig rig;
    QByteArray data;
    DumpWin viewer(rig.appDir, rig.win().logPane());
    viewer.setViewDump(&data, QStringLiteral("Накопитель ФП1"));
    viewer.show();
    QCoreApplication::processEvents();
    const FileAnswerer previous = setFileAnswerer([&path](const FileQuestion&) { return path; });
    QElapsedTimer timer;
    timer.start();
    viewer.on_pbOpen_clicked();
    viewer.repaint();
    const double openMs = double(timer.nsecsElapsed()) / 1e6;
    setFileAnswerer(previous);
    // Scrolling: 200 steps of a page each over the whole table, every one painted.
    QScrollBar* bar = viewer.ui()->tabDump->verticalScrollBar();
    timer.restart();
    constexpr int kSteps = 200;
    for (int i = 1; i <= kSteps; ++i) {
        bar->setValue(int(qint64(bar->maximum()) * i / kSteps));
        viewer.ui()->tabDump->viewport()->repaint();
    }
    const double stepMs = double(timer.nsecsElapsed()) / 1e6 / kSteps;
    std::printf("50 MB dump: %lld rows shown in %.0f ms (file read included), one scroll step "
                "painted in %.2f ms\n",
                qlonglong(viewer.ui()->tabDump->model()->rowCount()), openMs, stepMs);
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
    return 0;
}
