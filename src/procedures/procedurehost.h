#pragma once

#include <QtGlobal>

class LogPane;

// What the special procedures need from the window that runs them: the link state and
// settings, the log pane, the exchange bracket and the dimming overlay. The main window
// implements it; the command-line program and the tests plug in their own.
class ProcedureHost
{
public:
    virtual ~ProcedureHost() = default;

    virtual bool connected() const = 0;
    virtual int mpGettimeout() const = 0;
    // The current system administrator password.
    virtual quint32 password() const = 0;
    virtual LogPane& logPane() = 0;
    // Bracket one exchange, so that the window refuses a second one meanwhile.
    virtual void exchangeStarted() = 0;
    virtual void exchangeFinished() = 0;
    // A command, a connect or a probe is exchanging with the device.
    virtual bool exchangeRunning() const = 0;
    virtual void showOverlay() = 0;
    virtual void hideOverlay() = 0;
};
