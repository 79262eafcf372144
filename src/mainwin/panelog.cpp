#include "panelog.h"

#include "app/mlogsystem.h"
#include "catalogue/cp1251.h"

#include <QCheckBox>
#include <QColor>
#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QLabel>
#include <QTextCursor>
#include <QPlainTextEdit>

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
    QString red, fileLine, status;
    if (title.isEmpty()) {
        red = text;
        fileLine = QStringLiteral("%1: %2").arg(stamp, text);
        status = text;
    } else {
        red = QStringLiteral(" %1: %2").arg(title, text);
        fileLine = QStringLiteral("%1: %2: %3").arg(stamp, title, text);
        status = QStringLiteral("%1: %2").arg(title, text);
    }
    m_widgets.status->setText(status);
    insertLineAtTop({{stamp + QStringLiteral(": "), QColor()}, {red, Qt::red}});
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
    insertLineAtTop({{line, QColor()}});
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
    insertLineAtTop({{line, Qt::black}});
    if (toFile())
        writeFileLine(line);
    m_log->logWrite(line, LogPlain);
}

void PaneLog::logSndHex(const QByteArray& byte)
{
    logByte(QColor(QStringLiteral("green")), ">>> ", byte);
}

void PaneLog::logRcvHex(const QByteArray& byte)
{
    logByte(QColor(QStringLiteral("darkmagenta")), "<<< ", byte);
}

void PaneLog::logByte(const QColor& colour, const char* filePrefix, const QByteArray& byte)
{
    if (!m_widgets.full || !m_widgets.full->isChecked())
        return;
    const QString hex = hexText(byte);
    insertLineAtTop({{hex, colour}});
    if (toFile())
        writeFileLine(QLatin1String(filePrefix) + hex);
    m_log->logWrite(hex, LogPlain);
}

void PaneLog::insertLineAtTop(std::initializer_list<Span> spans)
{
    QTextCursor cursor(m_widgets.pane->document());
    cursor.setPosition(0);
    cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
    cursor.setPosition(0);
    for (const Span& span : spans) {
        QTextCharFormat format;
        if (span.colour.isValid())
            format.setForeground(span.colour);
        cursor.insertText(span.text, format);
    }
}

void PaneLog::writeFileLine(const QString& line)
{
    if (!m_screenLog || !m_screenLog->open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    m_screenLog->write(Cp1251::encode(line) + '\n');
    m_screenLog->close();
}
