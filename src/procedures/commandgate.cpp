#include "commandgate.h"

#include "base/logpane.h"
#include "link/frvelkor.h"
#include "procedurehost.h"

#include <QCoreApplication>
#include <QDebug>

namespace {

QString trGate(const char* text)
{
    return QCoreApplication::translate("CommandGate", text);
}

QString quotedName(const QString& name)
{
    return QStringLiteral("«%1»").arg(name);
}

} // namespace

QString CommandGate::commandQuestion(const QString& name)
{
    return trGate("Выполнить команду «%1»? Её действие необратимо.").arg(name);
}

QString CommandGate::scriptQuestion(const QStringList& names)
{
    QStringList quoted;
    for (const QString& name : names)
        quoted << quotedName(name);
    return trGate("В тесте есть необратимые команды: %1. Выполнить тест?")
        .arg(quoted.join(QStringLiteral(", ")));
}

bool CommandGate::lineBusy() const
{
    return m_host.exchangeRunning() || m_link.busy();
}

CommandGate::Passage CommandGate::pass(const Request& request, const Question& ask) const
{
    LogPane& pane = m_host.logPane();
    // A tap let through by a wait on the line: the exchange under way fills the form, which
    // must not be read or encoded meanwhile.
    if (lineBusy()) {
        pane.logError(request.name, FrVelkor::busyText());
        return Passage::Busy;
    }
    if (request.check && !request.check())
        return Passage::Refused;
    if (!request.question.isEmpty() && ask && !ask(request.question)) {
        qDebug() << "CommandGate: not confirmed" << request.name;
        pane.logInfo(quotedName(request.name), trGate("команда отменена, не отправлена."));
        return Passage::Cancelled;
    }
    // The question's own event loop may have let another exchange start.
    if (lineBusy()) {
        pane.logError(request.name, FrVelkor::busyText());
        return Passage::Busy;
    }
    request.run();
    return Passage::Ran;
}

bool TapMemory::take(int row, int intervalMs)
{
    if (row == m_row && m_since.isValid() && m_since.elapsed() < intervalMs) {
        qDebug() << "TapMemory: the second tap of one gesture" << row;
        return false;
    }
    m_row = row;
    m_since.start();
    return true;
}
