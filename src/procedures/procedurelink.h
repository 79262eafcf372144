#pragma once

#include "commandgate.h"
#include "link/frvelkor.h"

#include <QByteArray>
#include <QString>

class ErrorTexts;
class ProcedureHost;

// One command array of a special procedure sent as it stands: the frames in the log pane,
// the failures written with the titles the procedure gives, the device's error code
// returned.
class ProcedureLink
{
public:
    // Results besides 0 and the device's error codes: the driver's code for a link that is
    // not open, and a reply without its error byte.
    static constexpr int NotConnected = 516;
    static constexpr int NoErrorByte = -2;
    // An exchange is already under way (a click let through by its wait): nothing is sent.
    static constexpr int Busy = -3;

    // The titles of the three kinds of failure line.
    struct Titles
    {
        QString noLink;
        QString driver;
        QString device;
    };

    struct Result
    {
        int code = 0; // 0, a device error, a driver code, NotConnected or NoErrorByte
        QByteArray reply;
        // The link failed (or was not there); otherwise the device answered.
        bool linkFailed() const { return code >= 500 || code == Busy; }
    };

    ProcedureLink(ProcedureHost& host, FrVelkor& link, const ErrorTexts& errors);

    // The start of most procedure commands: the code, then the password, 4 bytes
    // little-endian.
    static QByteArray withPassword(quint8 code, quint32 password);

    // A device error is written as `devicePrefix` and the error's text, unless it equals
    // `quietError`.
    Result send(const QByteArray& command, const Titles& titles, int quietError = -1,
                const QString& devicePrefix = {});
    // The exchange alone, for a connected link: the sent frame, the reply's frame when
    // there is one, the host's exchange bracket around it. Refused while another exchange is
    // on the line: ExchangeError, nothing sent.
    FrVelkor::Reply exchange(const QByteArray& command);
    // The same without the frames in the pane, for a procedure that makes many exchanges.
    FrVelkor::Reply exchangeQuietly(const QByteArray& command);

    // The gate of the commands a user's action sends through this link.
    CommandGate gate() const { return {m_host, m_link}; }
    ProcedureHost& host() { return m_host; }
    const ErrorTexts& errors() const { return m_errors; }

private:
    ProcedureHost& m_host;
    FrVelkor& m_link;
    const ErrorTexts& m_errors;
};
