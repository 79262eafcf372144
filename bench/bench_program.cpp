// The program's own costs, away from the line: start-up to the shown main window (the
// splash left out), building the form of the catalogue's largest command, and what one
// line of the program log costs the code that writes it.
#include "app/mlogsystem.h"
#include "codec/commandform.h"
#include "windowrig.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>

namespace {

void measureStartup()
{
    QElapsedTimer clock;
    clock.start();
    testsupport::WindowRig rig; // description files prepared and loaded, window built, shown
    rig.win().show();
    QCoreApplication::processEvents();
    std::printf("start-up to the main window (no splash): %.0f ms\n",
                double(clock.nsecsElapsed()) / 1e6);

    // The largest command: the most items in its CMD= and RPL= lines together.
    ProgramObjects& objects = rig.objects();
    int largest = -1;
    int most = -1;
    for (int i = 0; i < objects.catalogue.commandCount(); ++i) {
        objects.catalogue.setCurrentCommand(i);
        if (!objects.codec.parseCommand())
            continue;
        const int items = objects.codec.commandItems().count + objects.codec.replyItems().count;
        if (items > most) {
            most = items;
            largest = i;
        }
    }
    objects.catalogue.setCurrentCommand(largest);
    objects.codec.parseCommand();
    constexpr int kBuilds = 50;
    clock.restart();
    for (int i = 0; i < kBuilds; ++i) {
        rig.win().form().ceShowCmd(true);
        QCoreApplication::processEvents();
    }
    std::printf("form of the largest command (\"%s\", %d items): %.2f ms\n",
                qPrintable(objects.catalogue.command(largest).name), most,
                double(clock.nsecsElapsed()) / 1e6 / kBuilds);
}

void measureLogLine()
{
    QTemporaryDir dir;
    MLogSystem log;
    log.setLogFile(dir.filePath(QStringLiteral("bench.log")));
    constexpr int kLines = 200000;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < kLines; ++i)
        log.logWrite(QStringLiteral("Debug: frame line %1").arg(i), LogPlain);
    const double callerNs = double(clock.nsecsElapsed()) / kLines;
    log.waitForIdle();
    std::printf("one program log line: %.2f us to its caller, %.2f us until on disk\n",
                callerNs / 1000, double(clock.nsecsElapsed()) / kLines / 1000);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    measureStartup();
    measureLogLine();
    return 0;
}
