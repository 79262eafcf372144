#pragma once

#include <QFile>
#include <QProcess>
#include <QStringList>

#include <sys/resource.h>

namespace testsupport {

// What one run of velkor-cli did.
struct CliRun
{
    int code = -1;
    QStringList out;
    QString err;
};

// Runs velkor-cli with the arguments and waits for it (a minute at most).
inline CliRun runCli(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral(VELKOR_CLI), arguments);
    CliRun run;
    if (!process.waitForFinished(60000))
        return run;
    run.code = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// velkor-cli run to its end, with its peak resident size in kB as /proc last showed it. A run
// that ended before the first look gets the largest peak of the test's ended children instead,
// which is never below its own.
inline CliRun runWatched(const QStringList& arguments, int* peakKb)
{
    QProcess cli;
    cli.start(QStringLiteral(VELKOR_CLI), arguments);
    QFile status(QStringLiteral("/proc/%1/status").arg(cli.processId()));
    while (!cli.waitForFinished(20) && cli.state() == QProcess::Running) {
        status.open(QIODevice::ReadOnly);
        const QString text = QString::fromLatin1(status.readAll());
        status.close();
        if (text.contains(QStringLiteral("VmHWM:")))
            *peakKb = text.section(QStringLiteral("VmHWM:"), 1).section(QStringLiteral("kB"), 0, 0)
                          .trimmed().toInt();
    }
    rusage children{};
    if (*peakKb == 0 && getrusage(RUSAGE_CHILDREN, &children) == 0)
        *peakKb = int(children.ru_maxrss);
    return {cli.exitCode(), QString::fromUtf8(cli.readAllStandardOutput()).split('\n'),
            QString::fromUtf8(cli.readAllStandardError())};
}

} // namespace testsupport
