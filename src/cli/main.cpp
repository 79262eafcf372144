#include "base/mlogsystem.h"
#include "base/pathworks.h"
#include "cliprogram.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(VELKOR_VERSION));
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QString first = QCoreApplication::arguments().value(1);
    if (first == QLatin1String("--version")) {
        out << "velkor-cli " << QCoreApplication::applicationVersion() << '\n';
        return CliProgram::Success;
    }
    CliOptions options;
    QString error;
    if (!parseCliOptions(QCoreApplication::arguments().mid(1), &options, &error)) {
        err << error << "\n\n" << cliUsage();
        return CliProgram::UsageFailure;
    }
    // What every shell user tries first, answered on standard output with success.
    if (options.help) {
        out << cliUsage(options.subcommand);
        return CliProgram::Success;
    }
    // The program log, where the window's goes and in its format; standard output and
    // error are the program's interface, so the toolkit's messages go only to the log.
    // It ends before the application object does.
    MLogSystem log;
    // The monitor runs for hours beside the runs it watches: its log is a file of its own,
    // which their start (archiving the live log) never touches.
    const QString programPath =
        QCoreApplication::arguments().value(0) +
        (options.subcommand == QLatin1String("monitor") ? QStringLiteral("-monitor") : QString());
    log.setProgramName(MPathWorks::baseNameOf(programPath));
    const QString programDir = QCoreApplication::applicationDirPath();
    QString fallback;
    const QString logPath = MPathWorks::logFilePathIn(MPathWorks::dataDirectory(programDir),
                                                      programDir, programPath, &fallback);
    log.archiveLog(logPath);
    log.setMinimumLevel(0);
    log.setLogFile(logPath);
    MLogSystem::setEchoToStandardError(false);
    // Debug traces fill the log by tens of kilobytes a run: only when asked for.
    MLogSystem::setDebugTraces(options.trace, false);
    MLogSystem::installMessageHandler(&log);
    if (!fallback.isEmpty()) {
        err << fallback << '\n';
        log.logWrite(fallback, LogWarning);
    }
    log.logWrite(QCoreApplication::arguments().join(QLatin1Char(' ')), LogStage);

    int code = 0;
    {
        CliProgram program(options, out, err, log);
        code = program.run();
    }
    log.logWrite(QStringLiteral("Execution complete. Return code: %1").arg(code), LogInfo);
    log.close();
    return code;
}
