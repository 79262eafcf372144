#include "cliconsole.h"

#include "base/mlogsystem.h"

#include <QJsonDocument>

ConsolePane::ConsolePane(QTextStream& out, QTextStream& err, bool json, bool full,
                         MLogSystem* log)
    : m_out(out), m_err(err), m_json(json), m_full(full), m_log(log)
{
}

QString ConsolePane::hex(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

void ConsolePane::entry(const QString& type, const QString& title, const QString& rawText,
                        QJsonObject object)
{
    // Device error texts start with a blank meant to follow a title.
    const QString text = rawText.trimmed();
    const QString line = title.isEmpty() ? text : title + QStringLiteral(": ") + text;
    if (m_log)
        m_log->logWrite(line, LogPlain);
    if (m_json) {
        object.insert(QStringLiteral("type"), type);
        object.insert(QStringLiteral("text"), text);
        if (!title.isEmpty() && title != type)
            object.insert(QStringLiteral("title"), title);
        m_out << QJsonDocument(object).toJson(QJsonDocument::Compact) << '\n';
    } else {
        m_out << line << '\n';
    }
    m_out.flush();
}

void ConsolePane::logError(const QString& title, const QString& text)
{
    entry(QStringLiteral("error"), title, text);
}

void ConsolePane::logMaybeExecuted(const QString& title, const QString& text)
{
    entry(QStringLiteral("error"), title, text, {{QStringLiteral("executed"), QStringLiteral("maybe")}});
    m_err << text << '\n';
    m_err.flush();
}

void ConsolePane::logInfo(const QString& title, const QString& text)
{
    entry(QStringLiteral("info"), title, text);
}

void ConsolePane::logSndBlock(const QByteArray& bytes)
{
    entry(QStringLiteral("snd"), QStringLiteral("snd"), hex(bytes));
}

void ConsolePane::logRcvBlock(const QByteArray& bytes)
{
    entry(QStringLiteral("rcv"), QStringLiteral("rcv"), hex(bytes));
}

void ConsolePane::logSndHex(const QByteArray& byte)
{
    if (m_full)
        entry(QStringLiteral("byte-snd"), QStringLiteral(">>>"), hex(byte));
}

void ConsolePane::logRcvHex(const QByteArray& byte)
{
    if (m_full)
        entry(QStringLiteral("byte-rcv"), QStringLiteral("<<<"), hex(byte));
}

void ConsolePane::result(const QString& type, const QString& text, QJsonObject object)
{
    if (m_log)
        m_log->logWrite(text, LogPlain);
    if (m_json) {
        object.insert(QStringLiteral("type"), type);
        m_out << QJsonDocument(object).toJson(QJsonDocument::Compact) << '\n';
    } else if (!text.isNull()) {
        m_out << text << '\n';
    }
    m_out.flush();
}
