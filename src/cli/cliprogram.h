#pragma once

#include "base/msgbox.h"
#include "cliconsole.h"
#include "clioptions.h"
#include "link/frvelkor.h"
#include "procedures/procedurelink.h"
#include "procedures/programobjects.h"

#include <QTextStream>

#include <memory>

class MLogSystem;

// velkor-cli: the window's catalogue, codec, link and script runner behind subcommands.
class CliProgram
{
public:
    enum ExitCode
    {
        Success = 0,
        DeviceFailure = 1,
        LinkFailure = 2,
        ParameterFailure = 3,
        UsageFailure = 4,
    };

    CliProgram(CliOptions options, QTextStream& out, QTextStream& err, MLogSystem& log);
    ~CliProgram();

    int run();

private:
    int ports();
    int list();
    int describe();
    int probe();
    int runCommand();
    int hex();
    int script();
    int search();
    int lineTest();
    int encode();
    int decode();

    // The description tables of --dir (or the program's directory), the password set.
    bool loadTables();
    enum class ProbeLines
    {
        Shown,
        Hidden,
    };
    enum class OpenFailure
    {
        Reported,
        Quiet,
    };
    // Opens the port at the rate and probes the device, three times at most.
    bool connectLink(const QString& port, int baud, ProbeLines lines = ProbeLines::Hidden,
                     OpenFailure openFailure = OpenFailure::Reported);
    // Parses the catalogue command of a hexadecimal code; -1 (reported) when there is none.
    int parseCommand(const QString& codeText);
    // The command array of the parsed command with the given values; false when one fails.
    bool encodeValues(const QStringList& values, QByteArray* command);
    // The reply over the parsed command's reply items, one result per form row.
    int showReply(const QByteArray& reply);
    int fail(int code, const QString& text);

    CliOptions m_options;
    QTextStream& m_out;
    QTextStream& m_err;
    MLogSystem& m_log;
    ProgramObjects m_objects;
    ConsolePane m_pane;
    FrVelkor m_link;
    std::unique_ptr<CliHost> m_host;
    MsgBoxHandler m_previousBox;
    bool m_boxesRedirected = false;
};
