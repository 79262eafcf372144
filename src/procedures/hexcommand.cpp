#include "hexcommand.h"

#include "base/logpane.h"
#include "catalogue/catalogue.h"
#include "codec/razbcmd.h"
#include "link/frvelkor.h"
#include "procedurehost.h"
#include "procedurelink.h"

#include <QCoreApplication>

namespace {

QString trHex(const char* text)
{
    return QCoreApplication::translate("SendHex", text);
}

// The catalogue's name of a command code, or the code itself.

QString nameOf(const Catalogue& catalogue, uint code)
{
    const int index = catalogue.findByCode(code);
    return index >= 0 ? RazbCmd::trName(catalogue.command(index).name)
                      : QStringLiteral("%1h").arg(code, 2, 16, QLatin1Char('0')).toUpper();
}

} // namespace

HexCommand::Sent HexCommand::send(const QString& text, ProcedureLink& link,
                                  const Catalogue& catalogue, const CommandGate::Question& ask)
{
    ProcedureHost& host = link.host();
    const QString title = trHex("Команда в HEX формате");
    const QByteArray command = decode(text);
    const auto check = [&] {
        if (!host.connected()) {
            host.logPane().logError(trHex("Выполнение команды"), trHex("Нет связи"));
            return false;
        }
        if (command.isEmpty())
            return false;
        // A frame carries at most 255 bytes; a longer command could only be cut.
        if (command.size() > FrVelkor::MaxPayload) {
            host.logPane().logError(title, trHex("Команда слишком длинная: %1 байт, допустимо "
                                                 "не более %2.")
                                               .arg(command.size())
                                               .arg(FrVelkor::MaxPayload));
            return false;
        }
        return true;
    };
    const uint code = command.isEmpty() ? 0 : quint8(command.at(0));
    const bool asks = !command.isEmpty() && catalogue.codeAsksConfirmation(code);
    const QString name = asks ? nameOf(catalogue, code) : title;
    Sent sent;
    link.gate().pass({name, asks ? CommandGate::commandQuestion(name) : QString(), check,
                      [&] {
                          const ProcedureLink::Result result = link.send(
                              command, {trHex("Выполнение команды"), title, trHex("Ошибка")});
                          sent.reply = result.reply;
                          sent.outcome = result.code == 0      ? Answered
                                         : result.linkFailed() ? LinkFailed
                                                               : DeviceFailed;
                      }},
                     ask);
    if (sent.outcome == Answered)
        host.logPane().setStatus(title, trHex(" - без ошибок."));
    return sent;
}
