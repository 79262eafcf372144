#include "commandexchange.h"

#include "base/logpane.h"
#include "catalogue/errortexts.h"
#include "link/frvelkor.h"
#include "razbcmd.h"

#include <QDebug>

namespace {

// "Установка параметров обмена": the device's line moves to the rate it names.
constexpr quint8 ExchangeParametersCode = 0x14;

} // namespace

CommandExchange::CommandExchange(RazbCmd& codec, FrVelkor& link, const ErrorTexts& errors,
                                 LogPane& pane)
    : m_codec(codec), m_link(link), m_errors(errors), m_pane(pane)
{
}

CommandExchange::Outcome CommandExchange::run(const QString& commandName, int timeoutMs)
{
    if (!encode(commandName))
        return ParameterError;
    return exchangeEncoded(commandName, timeoutMs);
}

bool CommandExchange::encode(const QString& commandName)
{
    int failed = 0;
    if (m_codec.ceConvParmCmd(&failed))
        return true;
    m_pane.logError(RazbCmd::trName(commandName), m_codec.parameterError(failed));
    return false;
}

CommandExchange::Outcome CommandExchange::exchangeEncoded(const QString& commandName, int timeoutMs)
{
    const QString title = RazbCmd::trName(commandName);
    const QByteArray command = m_codec.commandArray();
    m_pane.showNewest();
    qDebug() << "ceSendCmdRcvRpl snd";
    m_pane.logSndBlock(command);
    const FrVelkor::Reply reply = m_link.frCommand(command, timeoutMs);
    const Outcome outcome = judge(title, reply);
    // The reply items show this run only: what the reply carried, decoded (a refusal's error
    // code among it), and nothing where it carried nothing.
    qDebug() << "ceSendCmdRcvRpl 1";
    m_codec.splitReply(reply.data);
    qDebug() << "ceSendCmdRcvRpl 2";
    m_codec.dumpItems(false);
    qDebug() << "ceSendCmdRcvRpl 3";
    m_codec.ceConvParmRpl();
    return outcome;
}

CommandExchange::Outcome CommandExchange::judge(const QString& title, const FrVelkor::Reply& reply)
{
    if (reply.code != FrVelkor::Ok) {
        m_link.logFailure(m_pane, title, reply);
        return LinkError;
    }
    qDebug() << "ceSendCmdRcvRpl rcv<";
    m_pane.logRcvBlock(reply.data);
    // Without byte 1 there is no error code to judge the reply by.
    if (reply.data.size() < 2) {
        m_pane.logError(title, RazbCmd::tr("Ответ устройства неполный: нет кода ошибки."));
        return IncompleteReply;
    }
    const int error = quint8(reply.data.at(1));
    qDebug() << "ceSendCmdRcvRpl >rcv" << error;
    if (error != 0) {
        showDevError(error);
        return DeviceError;
    }
    // Over raw TCP the device moves to the new rate and the server's line does not.
    if (quint8(reply.data.at(0)) == ExchangeParametersCode && m_link.rateIsServers())
        m_pane.logInfo(title, FrVelkor::serverRateChangeText(m_link.portName()));
    return Decoded;
}

void CommandExchange::showDevError(int code)
{
    m_pane.logError(RazbCmd::tr("Ошибка"), m_errors.devErrorText(code));
}
