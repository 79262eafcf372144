#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <array>

class Catalogue;
class LogPane;
class ProcedureLink;
class QFile;
class RazbCmd;

// The test-script runner: reads a script of device commands, loops and pauses line by line
// and sends each command through the link. Script errors end the run with a message box;
// a failed command ends it with its line in the log pane.
class TestFp : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxItems = 32;

    enum Outcome
    {
        Completed,      // the end of the file was reached
        ScriptError,    // the message box has told why
        ParameterError, // a value of a command line could not be encoded
        LinkError,      // no link, or the driver failed
        DeviceError,    // the device answered with an error
        Interrupted,    // the program is quitting
    };

    TestFp(Catalogue& catalogue, RazbCmd& codec, ProcedureLink& link, QObject* parent = nullptr);

    Outcome execTestFp(QFile* script);
    // The last run in words: "выполнено N команд, ошибок M." and the line of its error.
    QString summary() const;
    // The names of the irreversible commands the script's lines name, each once, in order;
    // empty when there are none or the file cannot be read.
    QStringList irreversibleCommands(QFile* script) const;

    // Takes the quoted item at the front of `line` into `item`; returns the rest of the
    // line, which is empty or starts with the comma after the closing quote.
    static QString getQuoteItem(const QString& line, QChar quote, bool* ok, QString* item);
    // Splits a trimmed line into its items; false when the line is in error.
    static bool splitLine(const QString& line, QStringList* items);

private:
    static constexpr int LoopSlots = 10;

    Outcome runLines(QFile* script);
    Outcome scriptError(const QString& text);
    // `loop`: the body starts at `position`, on file line `firstBodyLine`.
    bool openLoop(qint64 position, int firstBodyLine);
    // `endloop`: where to go on reading when another pass follows (else *jumpTo stays -1).
    bool closeLoop(int lineNumber, qint64* jumpTo, int* jumpLine);
    Outcome runCommand(int index);

    Catalogue& m_catalogue;
    RazbCmd& m_codec;
    ProcedureLink& m_link;
    QStringList m_items;
    std::array<qint64, LoopSlots> m_loopStart{};
    std::array<int, LoopSlots> m_loopCount{};
    std::array<int, LoopSlots> m_loopLine{}; // the file line number of a loop's first body line
    Outcome m_outcome = Completed;
    int m_commands = 0;   // commands sent in this run
    int m_lineNumber = 0; // the file line being run
};
