#pragma once

#include <QProcess>
#include <QStringList>

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

} // namespace testsupport
