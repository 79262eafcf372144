// The main window running "Состояние ККМ" against the emulator paced at 115200 bit/s, with
// the full per-byte log off and on: the ratio of the measured time to the wire time, and
// the cost of one pane entry. The pane must keep up with the line: a byte takes 86.8 µs.
#include "pacedwindow.h"
#include "wiretime.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>

#include <cstdio>

namespace {

constexpr int kRuns = 40;

void measure(bool fullLog)
{
    const auto paced = pacedWindow(fullLog);
    testsupport::WindowRig& rig = *paced;
    rig.select(QStringLiteral("Состояние ККМ")); // connects and runs once
    const QStringList texts = rig.paneTexts();
    const int replySize = int(texts.filter(QStringLiteral("rcv ")).value(0).size() - 4) / 2;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < kRuns; ++i)
        rig.win().on_pbCmdSend_clicked(); // the run button is off for this command
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    const double wire = kRuns * wiretime::exchangeBytes(5, replySize) * wiretime::ByteSeconds;
    const int entries = rig.paneLines().size();
    std::printf("full log %-3s  %d runs in %.3f s, wire time %.3f s, ratio %.2f, pane entries %d\n",
                fullLog ? "on" : "off", kRuns, seconds, wire, seconds / wire, entries);
    if (!fullLog)
        return;
    // One byte entry of the full log, with the pane file, repainted as the line's waits do.
    constexpr int kEntries = 5000;
    timer.restart();
    for (int i = 0; i < kEntries; ++i) {
        rig.win().logPane().logRcvHex(QByteArray(1, char(i)));
        if (i % 50 == 0)
            QCoreApplication::processEvents();
    }
    std::printf("one byte entry of the full log: %.1f us (a byte at 115200 bit/s: %.1f us)\n",
                double(timer.nsecsElapsed()) / kEntries / 1000, wiretime::ByteSeconds * 1e6);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    measure(false);
    measure(true);
    return 0;
}
