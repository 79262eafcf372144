#pragma once

#include "procedures/linetest.h"

#include <QString>
#include <QStringList>

// What the command line asked for: the subcommand, its arguments and the common options.
struct CliOptions
{
    QString subcommand;
    QStringList arguments;
    QStringList ports; // --port, as often as given (search tries each)
    int baud = 115200;
    QString password; // empty: config.ini's, else the default table's
    QString dir;      // where the description files are; empty: the program's directory
    bool json = false;
    bool full = false;
    bool trace = false; // debug traces into the program log
    int probeWaitMs = 2000; // how long one probe waits for the device
    int count = LineTest::DefaultCount; // linetest: the exchanges it makes
    // monitor: the other program's end, a serial port or the link to a new pseudo-terminal,
    // and the file the lines also go to.
    QString hostPort;
    QString hostLink;
    QString logFile;
    bool help = false; // --help, -h or help: the usage of `subcommand`, or of all when empty

    QString port() const { return ports.value(0); }
};

// Parses the arguments after the program name; false with `error` set on a usage error.
bool parseCliOptions(const QStringList& arguments, CliOptions* options, QString* error);
// The usage of one subcommand, or of all of them.
QString cliUsage(const QString& subcommand = QString());
