// The main window running "Состояние ККМ" against the emulator paced at 115200 bit/s, with
// the full per-byte log off and on: the ratio of the measured time to the wire time, and
// the cost of one pane entry. The pane must keep up with the line: a byte takes 86.8 µs.
#include "pacedwindow.h"
#include "ptyroundtrip.h"
#include "spread.h"
#include "threadcpu.h"
#include "wiretime.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <vector>

namespace {

constexpr int kRuns = 40;

struct Runs
{
    double ratio = 0;
    double cpuMicros = 0; // the GUI thread's, a run
};

Runs runCommands(bool fullLog)
{
    const auto paced = pacedWindow(fullLog);
    testsupport::WindowRig& rig = *paced;
    rig.select(QStringLiteral("Состояние ККМ")); // connects and runs once
    const QStringList texts = rig.paneTexts();
    const int replySize = int(texts.filter(QStringLiteral("rcv ")).value(0).size() - 4) / 2;
    QElapsedTimer timer;
    timer.start();
    const double cpuStart = threadCpuSeconds();
    for (int i = 0; i < kRuns; ++i)
        rig.win().on_pbCmdSend_clicked(); // the run button is off for this command
    Runs runs;
    runs.cpuMicros = (threadCpuSeconds() - cpuStart) * 1e6 / kRuns;
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    runs.ratio = seconds / (kRuns * wiretime::exchangeBytes(5, replySize) * wiretime::ByteSeconds);
    return runs;
}

// One byte entry of the full log, with the pane file, in a pane already full (the oldest
// entries go as new ones come), put into the pane as often as a dump sends frames.
double byteEntryMicros()
{
    const auto paced = pacedWindow(true);
    PaneLog& pane = paced->win().logPane();
    for (int i = 0; i < PaneLog::MaxEntries; ++i)
        pane.logRcvHex(QByteArray(1, char(i)));
    pane.flush();
    constexpr int kEntries = 5000;
    constexpr int kEntriesPerFrame = 50;
    QElapsedTimer timer;
    timer.start();
    for (int i = 1; i <= kEntries; ++i) {
        pane.logRcvHex(QByteArray(1, char(i)));
        if (i % kEntriesPerFrame == 0)
            pane.flush();
    }
    return double(timer.nsecsElapsed()) / kEntries / 1000;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    for (const bool fullLog : {false, true}) {
        std::vector<double> ratios, cpu;
        for (int i = 0; i < Spread::Repetitions; ++i) {
            const Runs runs = runCommands(fullLog);
            ratios.push_back(runs.ratio);
            cpu.push_back(runs.cpuMicros);
        }
        std::printf("\"Состояние ККМ\" through the window, %d runs, full log %s, time / wire "
                    "time: ratio %s; GUI thread's CPU a run: %s us\n",
                    kRuns, fullLog ? "on" : "off", qPrintable(spreadOf(ratios).text(2)),
                    qPrintable(spreadOf(cpu).text(0)));
    }
    std::printf("one byte entry of the full log: %s us (a byte at 115200 bit/s: %.1f us)\n",
                qPrintable(repeated(byteEntryMicros).text(1)), wiretime::ByteSeconds * 1e6);
    std::printf("bare pseudo-terminal round trip: %s us\n",
                qPrintable(repeated(ptyRoundTripMicros).text(0)));
    return 0;
}
