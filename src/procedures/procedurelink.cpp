#include "procedurelink.h"

#include "base/logpane.h"
#include "catalogue/errortexts.h"
#include "link/frvelkor.h"
#include "procedurehost.h"

#include <QCoreApplication>

namespace {

QString trLink(const char* text)
{
    return QCoreApplication::translate("ProcedureLink", text);
}

// Holds the host's exchange bracket for as long as it lives.
class ExchangeScope
{
public:
    explicit ExchangeScope(ProcedureHost& host) : m_host(host) { m_host.exchangeStarted(); }
    ~ExchangeScope() { m_host.exchangeFinished(); }
    ExchangeScope(const ExchangeScope&) = delete;
    ExchangeScope& operator=(const ExchangeScope&) = delete;

private:
    ProcedureHost& m_host;
};

} // namespace

ProcedureLink::ProcedureLink(ProcedureHost& host, FrVelkor& link, const ErrorTexts& errors)
    : m_host(host), m_link(link), m_errors(errors)
{
}

QByteArray ProcedureLink::withPassword(quint8 code, quint32 password)
{
    QByteArray command(1, char(code));
    for (int i = 0; i < 4; ++i)
        command.append(char(quint8(password >> (8 * i))));
    return command;
}

FrVelkor::Reply ProcedureLink::exchange(const QByteArray& command)
{
    if (m_link.busy())
        return {FrVelkor::ExchangeError, {}, false, {}};
    m_host.logPane().showNewest();
    m_host.logPane().logSndBlock(command);
    const FrVelkor::Reply reply = exchangeQuietly(command);
    if (reply.code == FrVelkor::Ok)
        m_host.logPane().logRcvBlock(reply.data);
    return reply;
}

FrVelkor::Reply ProcedureLink::exchangeQuietly(const QByteArray& command)
{
    if (m_link.busy())
        return {FrVelkor::ExchangeError, {}, false, {}};
    ExchangeScope scope(m_host);
    return m_link.frCommand(command, m_host.mpGettimeout());
}

ProcedureLink::Result ProcedureLink::send(const QByteArray& command, const Titles& titles,
                                          int quietError, const QString& devicePrefix)
{
    LogPane& pane = m_host.logPane();
    if (m_link.busy()) {
        pane.logError(titles.driver, FrVelkor::busyText());
        return {Busy, {}};
    }
    if (!m_host.connected()) {
        pane.logError(titles.noLink, trLink("Нет связи"));
        return {NotConnected, {}};
    }
    const FrVelkor::Reply reply = exchange(command);
    if (reply.code != FrVelkor::Ok) {
        m_link.logFailure(pane, titles.driver, reply);
        return {reply.code, {}};
    }
    // Without byte 1 there is no error code to judge the reply by.
    if (reply.data.size() < 2) {
        pane.logError(titles.device, trLink("Ответ устройства неполный: нет кода ошибки."));
        return {NoErrorByte, reply.data};
    }
    const int error = quint8(reply.data.at(1));
    if (error != 0 && error != quietError)
        pane.logError(titles.device, devicePrefix + m_errors.devErrorText(error));
    return {error, reply.data};
}
