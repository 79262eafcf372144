#pragma once

#include <QByteArray>
#include <QString>

// The log pane's writers, as the core sees them: the main window's pane implements them,
// tests plug in a recorder.
class LogPane
{
public:
    virtual ~LogPane() = default;
    virtual void logError(const QString& title, const QString& text) = 0;
    virtual void logInfo(const QString& title, const QString& text) = 0;
    // The line after a failed exchange that the device may have executed all the same.
    virtual void logMaybeExecuted(const QString& title, const QString& text)
    {
        logError(title, text);
    }
    virtual void setStatus(const QString& first, const QString& second) = 0;
    // The status line as it stands.
    virtual QString statusText() const { return {}; }
    // A command is being run: the view goes back to the newest entry, where its lines come.
    virtual void showNewest() {}
    // The command array and the reply array of one exchange.
    virtual void logSndBlock(const QByteArray& bytes) = 0;
    virtual void logRcvBlock(const QByteArray& bytes) = 0;
    // Every single byte the link writes or reads.
    virtual void logSndHex(const QByteArray& byte) = 0;
    virtual void logRcvHex(const QByteArray& byte) = 0;
};
