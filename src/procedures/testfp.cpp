#include "testfp.h"

#include "base/cp1251.h"
#include "base/logpane.h"
#include "base/msgbox.h"
#include "catalogue/catalogue.h"
#include "codec/commandvalues.h"
#include "codec/razbcmd.h"
#include "procedurehost.h"
#include "procedurelink.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>

namespace {

// Runs the event loop for `ms` milliseconds (at least once through the pending events);
// false when the program is quitting and local loops are refused.
bool serveEvents(int ms)
{
    QElapsedTimer clock;
    clock.start();
    do {
        QEventLoop loop;
        QTimer::singleShot(std::max<qint64>(0, ms - clock.elapsed()), Qt::PreciseTimer, &loop,
                           &QEventLoop::quit);
        if (loop.exec() < 0)
            return false;
    } while (clock.elapsed() < ms);
    return true;
}

bool decimal(const QString& text, int* value)
{
    bool ok = false;
    *value = text.toInt(&ok, 10);
    return ok;
}

QString lineText(QByteArray bytes)
{
    while (bytes.endsWith('\n') || bytes.endsWith('\r'))
        bytes.chop(1);
    return Cp1251::decode(bytes).trimmed();
}

} // namespace

TestFp::TestFp(Catalogue& catalogue, RazbCmd& codec, ProcedureLink& link, QObject* parent)
    : QObject(parent), m_catalogue(catalogue), m_codec(codec), m_link(link)
{
}

QString TestFp::getQuoteItem(const QString& line, QChar quote, bool* ok, QString* item)
{
    const qsizetype close = line.indexOf(quote, 1);
    const QString rest = close < 0 ? QString() : line.mid(close + 1);
    *ok = close > 0 && (rest.isEmpty() || rest.front() == QLatin1Char(','));
    *item = *ok ? line.mid(1, close - 1) : QString();
    return *ok ? rest : QString();
}

bool TestFp::splitLine(const QString& line, QStringList* items)
{
    items->clear();
    QString rest = line;
    for (;;) {
        QString item;
        if (!rest.isEmpty() &&
            (rest.front() == QLatin1Char('"') || rest.front() == QLatin1Char('\''))) {
            bool ok = false;
            rest = getQuoteItem(rest, rest.front(), &ok, &item);
            if (!ok)
                return false;
        } else {
            const qsizetype comma = rest.indexOf(QLatin1Char(','));
            item = rest.left(comma);
            rest = comma < 0 ? QString() : rest.mid(comma);
        }
        items->append(item);
        if (items->size() > MaxItems)
            return false;
        if (rest.isEmpty())
            return true;
        rest.remove(0, 1); // the comma
    }
}

TestFp::Outcome TestFp::execTestFp(QFile* script)
{
    qDebug() << "TestFp::execTestFp";
    const QFileInfo file(script->fileName());
    if (!script->open(QIODevice::ReadOnly))
        return scriptError(
            tr("Нет файла %1 в каталоге %2").arg(file.fileName(), file.absolutePath()));
    m_commands = 0;
    m_lineNumber = 0;
    m_outcome = runLines(script);
    script->close();
    qDebug() << "/TestFp::execTestFp" << m_outcome;
    return m_outcome;
}

QString TestFp::summary() const
{
    // A run stops at its first error: what ran, and where it stopped.
    const bool failed = m_outcome != Completed;
    QString text = tr("выполнено %1 команд, ошибок %2.").arg(m_commands).arg(failed ? 1 : 0);
    if (failed && m_lineNumber > 0)
        text += tr(" Ошибка в строке %1.").arg(m_lineNumber);
    return text;
}

QStringList TestFp::irreversibleCommands(QFile* script) const
{
    QStringList names;
    if (!script->open(QIODevice::ReadOnly))
        return names;
    QStringList items;
    while (!script->atEnd()) {
        if (!splitLine(lineText(script->readLine()), &items))
            continue; // the run stops at this line and says why
        bool hex = false;
        const uint code = items.front().toUInt(&hex, 16);
        const int index = hex ? m_catalogue.findByCode(code) : -1;
        if (index < 0 || !m_catalogue.command(index).asksConfirmation())
            continue;
        const QString name = RazbCmd::trName(m_catalogue.command(index).name);
        if (!names.contains(name))
            names << name;
    }
    script->close();
    return names;
}

TestFp::Outcome TestFp::scriptError(const QString& text)
{
    msgBox(MsgIcon::Critical, tr("Выполнить тест из файла"), text);
    return ScriptError;
}

TestFp::Outcome TestFp::runLines(QFile* script)
{
    m_loopStart.fill(-1);
    m_loopCount.fill(0);
    const auto number = [](int line) { return QString::number(line); };
    int& lineNumber = m_lineNumber;
    lineNumber = 1;
    while (!script->atEnd()) {
        const QString line = lineText(script->readLine());
        qDebug() << "TestFp line" << lineNumber << line;
        if (!splitLine(line, &m_items))
            return scriptError(tr("Ошибка в строке ") + number(lineNumber));
        const QString& head = m_items.front();
        int next = lineNumber + 1;
        if (head == QLatin1String("//")) {
            // a comment
        } else if (head == QLatin1String("loop")) {
            if (!openLoop(script->pos(), next))
                return scriptError(tr("Неправильные параметры loop, строка ") + number(lineNumber));
            qDebug() << "TestFp::execTestFp loop" << lineNumber
                     << m_items.join(QStringLiteral(", "));
        } else if (head == QLatin1String("endloop")) {
            qint64 jumpTo = -1;
            if (!closeLoop(lineNumber, &jumpTo, &next))
                return scriptError(tr("Неправильные параметры endloop, строка ") +
                                   number(lineNumber));
            if (jumpTo >= 0)
                script->seek(jumpTo);
        } else if (head == QLatin1String("wait")) {
            int ms = 0;
            if (m_items.size() < 2 || !decimal(m_items.at(1), &ms))
                return scriptError(tr("Неправильные параметры wait, строка ") + number(lineNumber));
            if (!serveEvents(ms))
                return Interrupted;
        } else {
            bool hex = false;
            const uint code = head.toUInt(&hex, 16);
            const int index = hex ? m_catalogue.findByCode(code) : -1;
            if (index < 0)
                return scriptError(tr("Нет команды, строка ") + number(lineNumber));
            const Outcome outcome = runCommand(index);
            if (outcome != Completed)
                return outcome;
        }
        lineNumber = next;
        // Between statements the window keeps answering, as it does during a wait.
        if (!serveEvents(0))
            return Interrupted;
    }
    return Completed;
}

bool TestFp::openLoop(qint64 position, int firstBodyLine)
{
    int n = 0;
    int count = 0;
    if (m_items.size() < 3 || !decimal(m_items.at(1), &n) || n < 1 || n >= LoopSlots ||
        m_loopStart[size_t(n)] != -1 || !decimal(m_items.at(2), &count) || count < 1)
        return false;
    m_loopStart[size_t(n)] = position;
    m_loopCount[size_t(n)] = count;
    m_loopLine[size_t(n)] = firstBodyLine;
    return true;
}

bool TestFp::closeLoop(int lineNumber, qint64* jumpTo, int* jumpLine)
{
    int n = 0;
    if (m_items.size() < 2 || !decimal(m_items.at(1), &n) || n < 1 || n >= LoopSlots ||
        m_loopStart[size_t(n)] == -1)
        return false;
    const size_t slot = size_t(n);
    --m_loopCount[slot];
    qDebug() << "TestFp::execTestFp endloop" << lineNumber << m_items.join(QStringLiteral(", "))
             << m_loopStart[slot] << m_loopCount[slot];
    if (m_loopCount[slot] > 0) {
        *jumpTo = m_loopStart[slot];
        *jumpLine = m_loopLine[slot];
    } else {
        m_loopStart[slot] = -1;
    }
    return true;
}

TestFp::Outcome TestFp::runCommand(int index)
{
    m_catalogue.setCurrentCommand(index);
    qDebug() << "индекс команды" << index << m_items;
    qDebug() << "код команды" << m_items.front();
    if (!m_codec.parseCommand())
        return scriptError(tr("Ошибка описания команды ") + QString::number(index, 16));
    const QString name = RazbCmd::trName(m_catalogue.command(index).name);
    LogPane& pane = m_link.host().logPane();
    int failed = 0;
    if (!CommandValues::fill(m_codec, m_items.mid(1), CommandValues::Missing::Fail, &failed) ||
        !m_codec.ceConvParmCmd(&failed)) {
        pane.logError(name, m_codec.parameterError(failed));
        return ParameterError;
    }
    const ProcedureLink::Result result =
        m_link.send(m_codec.commandArray(), {tr("Выполнение команды"), name, tr("Ошибка")});
    if (result.code != ProcedureLink::NotConnected && result.code != ProcedureLink::Busy)
        ++m_commands;
    if (result.code == 0) {
        pane.setStatus(name, RazbCmd::tr(" - без ошибок."));
        return Completed;
    }
    return result.linkFailed() ? LinkError : DeviceError;
}
