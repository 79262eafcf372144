#include "panelog.h"

#include "app/mlogsystem.h"
#include "catalogue/cp1251.h"

#include <QCheckBox>
#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QLabel>
#include <QTextCursor>
#include <QTextEdit>

namespace {

QString timeStamp()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("dd.MM.yyyy hh:mm:ss.zzz"));
}

QString hexText(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex());
}

} // namespace

PaneLog::PaneLog(Widgets widgets, QFile* screenLog, MLogSystem* log)
    : m_widgets(widgets), m_screenLog(screenLog), m_log(log)
{
}

bool PaneLog::toFile() const
{
    return m_widgets.toFile && m_widgets.toFile->isChecked();
}

void PaneLog::logError(const QString& title, const QString& text)
{
    if (toFile())
        m_log->logWrite(text, LogError);
    const QString stamp = timeStamp();
    QString fragment, fileLine, status;
    if (title.isEmpty()) {
        fragment = QStringLiteral("%1: <font color=red>%2</font>").arg(stamp, text.toHtmlEscaped());
        fileLine = QStringLiteral("%1: %2").arg(stamp, text);
        status = text;
    } else {
        fragment = QStringLiteral("%1: <font color=red> %2: %3</font>")
                       .arg(stamp, title.toHtmlEscaped(), text.toHtmlEscaped());
        fileLine = QStringLiteral("%1: %2: %3").arg(stamp, title, text);
        status = QStringLiteral("%1: %2").arg(title, text);
    }
    m_widgets.status->setText(status);
    insertHtmlAtTop(fragment);
    if (toFile())
        writeFileLine(fileLine);
}

void PaneLog::logInfo(const QString& title, const QString& text)
{
    if (toFile())
        m_log->logWrite(text, LogInfo);
    const QString stamp = timeStamp();
    const QString line = title.isEmpty() ? QStringLiteral("%1: %2").arg(stamp, text)
                                         : QStringLiteral("%1: %2: %3").arg(stamp, title, text);
    m_widgets.status->setText(title.isEmpty() ? text : QStringLiteral("%1: %2").arg(title, text));
    insertTextAtTop(line);
    if (toFile())
        writeFileLine(line);
}

void PaneLog::setStatus(const QString& first, const QString& second)
{
    m_widgets.status->setText(QStringLiteral("%1: %2").arg(first, second));
}

void PaneLog::logSndBlock(const QByteArray& bytes)
{
    logBlock("snd", "logSndBlock", bytes);
}

void PaneLog::logRcvBlock(const QByteArray& bytes)
{
    logBlock("rcv", "logRcvBlock", bytes);
}

void PaneLog::logBlock(const char* direction, const char* debugName, const QByteArray& bytes)
{
    const QString line =
        QStringLiteral("%1: %2 %3").arg(timeStamp(), QLatin1String(direction), hexText(bytes));
    qDebug() << debugName << line;
    insertHtmlAtTop(QStringLiteral("<font color=black>") + line + QStringLiteral("\n</font>"));
    if (toFile())
        writeFileLine(line);
    m_log->logWrite(line, LogPlain);
}

void PaneLog::logSndHex(const QByteArray& byte)
{
    logByte("green", ">>> ", byte);
}

void PaneLog::logRcvHex(const QByteArray& byte)
{
    logByte("darkMagenta", "<<< ", byte);
}

void PaneLog::logByte(const char* colour, const char* filePrefix, const QByteArray& byte)
{
    if (!m_widgets.full || !m_widgets.full->isChecked())
        return;
    const QString hex = hexText(byte);
    insertHtmlAtTop(QStringLiteral("<font color=%1>%2\n</font>").arg(QLatin1String(colour), hex));
    if (toFile())
        writeFileLine(QLatin1String(filePrefix) + hex);
    m_log->logWrite(hex, LogPlain);
}

void PaneLog::insertHtmlAtTop(const QString& fragment)
{
    QTextCursor cursor(m_widgets.pane->document());
    cursor.setPosition(0);
    cursor.insertText(QStringLiteral("\n"), QTextCharFormat());
    cursor.setPosition(0);
    cursor.insertHtml(fragment);
}

void PaneLog::insertTextAtTop(const QString& text)
{
    QTextCursor cursor(m_widgets.pane->document());
    cursor.setPosition(0);
    cursor.insertText(text + QLatin1Char('\n'), QTextCharFormat());
}

void PaneLog::writeFileLine(const QString& line)
{
    if (!m_screenLog || !m_screenLog->open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    m_screenLog->write(Cp1251::encode(line) + '\n');
    m_screenLog->close();
}
