#include "hexcommand.h"

#include "base/logpane.h"
#include "link/frvelkor.h"
#include "procedurehost.h"
#include "procedurelink.h"

#include <QCoreApplication>

namespace {

QString trHex(const char* text)
{
    return QCoreApplication::translate("SendHex", text);
}

} // namespace

HexCommand::Outcome HexCommand::send(const QString& text, ProcedureLink& link)
{
    ProcedureHost& host = link.host();
    const QString title = trHex("Команда в HEX формате");
    if (!host.connected()) {
        host.logPane().logError(trHex("Выполнение команды"), trHex("Нет связи"));
        return NotSent;
    }
    const QByteArray command = decode(text);
    if (command.isEmpty())
        return NotSent;
    // A frame carries at most 255 bytes; a longer command could only be cut.
    if (command.size() > FrVelkor::MaxPayload) {
        host.logPane().logError(title, trHex("Команда слишком длинная: %1 байт, допустимо не "
                                             "более %2.")
                                           .arg(command.size())
                                           .arg(FrVelkor::MaxPayload));
        return NotSent;
    }
    const ProcedureLink::Result result =
        link.send(command, {trHex("Выполнение команды"), title, trHex("Ошибка")});
    if (result.code == 0)
        return Answered;
    return result.linkFailed() ? LinkFailed : DeviceFailed;
}
