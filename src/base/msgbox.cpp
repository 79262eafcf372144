#include "msgbox.h"

#include <QDebug>

#include <utility>

namespace {

MsgBoxHandler& installedHandler()
{
    static MsgBoxHandler handler;
    return handler;
}

} // namespace

void msgBox(MsgIcon icon, const QString& title, const QString& text)
{
    const MsgBoxHandler& handler = installedHandler();
    if (handler) {
        handler(icon, title, text);
        return;
    }
    // No window system behind the core: the box becomes a warning in the log.
    qWarning().noquote() << title + QStringLiteral(": ") + text;
}

MsgBoxHandler setMsgBoxHandler(MsgBoxHandler handler)
{
    return std::exchange(installedHandler(), std::move(handler));
}
