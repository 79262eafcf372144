#pragma once

#include "base/logpane.h"
#include "procedures/procedurehost.h"

#include <QJsonObject>
#include <QTextStream>

class MLogSystem;

// The log pane of the command-line program: every entry one line on standard output, as
// text ("title: text", "snd: 11 1E ...") or as one JSON object; the entries also go to the
// program log, as the window's pane writes them.
class ConsolePane : public LogPane
{
public:
    ConsolePane(QTextStream& out, QTextStream& err, bool json, bool full, MLogSystem* log);

    void logError(const QString& title, const QString& text) override;
    // Also said on standard error; the JSON object carries "executed":"maybe".
    void logMaybeExecuted(const QString& title, const QString& text) override;
    void logInfo(const QString& title, const QString& text) override;
    void setStatus(const QString&, const QString&) override {}
    void logSndBlock(const QByteArray& bytes) override;
    void logRcvBlock(const QByteArray& bytes) override;
    void logSndHex(const QByteArray& byte) override;
    void logRcvHex(const QByteArray& byte) override;

    // A result of the program's own: a text line, or the object with "type" added.
    void result(const QString& type, const QString& text, QJsonObject object = {});

    // Upper-case hexadecimal, bytes one blank apart.
    static QString hex(const QByteArray& bytes);

private:
    void entry(const QString& type, const QString& title, const QString& rawText,
               QJsonObject object = {});

    QTextStream& m_out;
    QTextStream& m_err;
    bool m_json;
    bool m_full;
    MLogSystem* m_log;
};

// The host of the procedures the program runs (the script runner, the hex command): the
// link state, the fixed reply timeout, the password and the console pane.
class CliHost : public ProcedureHost
{
public:
    CliHost(ConsolePane& pane, quint32 password) : m_pane(pane), m_password(password) {}

    void setConnected(bool connected) { m_connected = connected; }
    bool connected() const override { return m_connected; }
    int mpGettimeout() const override { return 10000; }
    quint32 password() const override { return m_password; }
    LogPane& logPane() override { return m_pane; }
    void exchangeStarted() override {}
    void exchangeFinished() override {}
    bool exchangeRunning() const override { return false; }
    void showOverlay() override {}
    void hideOverlay() override {}

private:
    ConsolePane& m_pane;
    quint32 m_password;
    bool m_connected = false;
};
