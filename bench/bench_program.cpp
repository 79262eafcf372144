// The program's own costs, away from the line: start-up to the shown main window (the
// splash left out), building the form of the catalogue's largest command, and what one
// line of the program log costs the code that writes it.
#include "base/mlogsystem.h"
#include "spread.h"
#include "ui/form/commandform.h"
#include "windowrig.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>

namespace {

double startupMs()
{
    QElapsedTimer clock;
    clock.start();
    testsupport::WindowRig rig; // description files prepared and loaded, window built, shown
    rig.win().show();
    QCoreApplication::processEvents();
    return double(clock.nsecsElapsed()) / 1e6;
}

// The largest command: the most items in its CMD= and RPL= lines together.
int largestCommand(ProgramObjects& objects, int* items)
{
    int largest = -1;
    *items = -1;
    for (int i = 0; i < objects.catalogue.commandCount(); ++i) {
        objects.catalogue.setCurrentCommand(i);
        if (!objects.codec.parseCommand())
            continue;
        const int count = objects.codec.commandItems().count + objects.codec.replyItems().count;
        if (count > *items) {
            *items = count;
            largest = i;
        }
    }
    return largest;
}

void measureForm()
{
    testsupport::WindowRig rig;
    rig.win().show();
    ProgramObjects& objects = rig.objects();
    int items = 0;
    const int largest = largestCommand(objects, &items);
    objects.catalogue.setCurrentCommand(largest);
    objects.codec.parseCommand();
    const Spread build = repeated([&rig] {
        constexpr int kBuilds = 50;
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < kBuilds; ++i) {
            rig.win().form().ceShowCmd(true);
            QCoreApplication::processEvents();
        }
        return double(clock.nsecsElapsed()) / 1e6 / kBuilds;
    });
    std::printf("form of the largest command (\"%s\", %d items): %s ms\n",
                qPrintable(objects.catalogue.command(largest).name), items,
                qPrintable(build.text(2)));
}

void measureLogLine()
{
    std::vector<double> caller, disk;
    for (int run = 0; run < Spread::Repetitions; ++run) {
        QTemporaryDir dir;
        MLogSystem log;
        log.setLogFile(dir.filePath(QStringLiteral("bench.log")));
        constexpr int kLines = 200000;
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < kLines; ++i)
            log.logWrite(QStringLiteral("Debug: frame line %1").arg(i), LogPlain);
        caller.push_back(double(clock.nsecsElapsed()) / kLines / 1000);
        log.waitForIdle();
        disk.push_back(double(clock.nsecsElapsed()) / kLines / 1000);
    }
    std::printf("one program log line: %s us to its caller, %s us until on disk\n",
                qPrintable(spreadOf(caller).text(2)), qPrintable(spreadOf(disk).text(2)));
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::printf("start-up to the main window (no splash): %s ms\n",
                qPrintable(repeated(startupMs).text(0)));
    measureForm();
    measureLogLine();
    return 0;
}
