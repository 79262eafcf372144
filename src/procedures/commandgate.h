#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <functional>

class FrVelkor;
class ProcedureHost;

// The one way from a user's action to the device: the tree's run on selection,
// "Выполнить", the hex window's send and a test script started from the tree all pass here.
// In this order: the parameters are read and checked (a refusal sends nothing and asks
// nothing), an irreversible command is confirmed, no other exchange may be on the line, and
// then the command runs.
class CommandGate
{
public:
    // Puts the irreversible question to the user; true runs. The windows show a box; velkor-cli
    // asks nobody (null), since a command named on its command line is meant.
    using Question = std::function<bool(const QString& question)>;

    enum class Passage
    {
        Ran,       // the command went to its run
        Refused,   // its parameters were refused: nothing was sent, nothing asked
        Cancelled, // the user did not confirm it: nothing was sent, and the pane says so
        Busy,      // another exchange is on the line: nothing was sent, and the pane says so
    };

    struct Request
    {
        QString name;     // the command's name, as its lines are titled
        QString question; // the irreversible question; empty when there is none
        // Reads and checks the parameters; false when they are refused (it says why).
        std::function<bool()> check;
        std::function<void()> run; // the exchange and what shows it
    };

    CommandGate(ProcedureHost& host, const FrVelkor& link) : m_host(host), m_link(link) {}

    Passage pass(const Request& request, const Question& ask) const;

    // The question before one irreversible command, and before a test that holds some.
    static QString commandQuestion(const QString& name);
    static QString scriptQuestion(const QStringList& names);

private:
    bool lineBusy() const;

    ProcedureHost& m_host;
    const FrVelkor& m_link;
};

// One gesture, one send: a second tap on a row that runs on selection, within the
// double-click interval of the tap that ran it, is the same gesture (a double tap, a finger
// bouncing on the screen) and runs nothing; a tap after the interval runs it again.
class TapMemory
{
public:
    // True when a tap on `row` (whatever number names what was tapped) now starts its run,
    // and it is remembered; false for the second tap of one gesture.
    bool take(int row, int intervalMs);

private:
    int m_row = 0;
    QElapsedTimer m_since;
};
