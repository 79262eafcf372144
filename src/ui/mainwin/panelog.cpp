#include "panelog.h"

#include "base/cp1251.h"
#include "base/mlogsystem.h"

#include <QCheckBox>
#include <QColor>
#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

namespace {

QString timeStamp()
{
    // The date and time of a second are made once a second: taking the local time costs more
    // than the rest of an entry, and the zone's offset only changes at a whole second.
    static qint64 second = -1;
    static QString secondText;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now / 1000 != second) {
        second = now / 1000;
        secondText = QDateTime::fromMSecsSinceEpoch(second * 1000)
                         .toString(QStringLiteral("dd.MM.yyyy hh:mm:ss."));
    }
    return secondText + QString::number(now % 1000).rightJustified(3, QLatin1Char('0'));
}

QString hexText(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex());
}

// A text as the pane shows it: runs of blanks as one, as rich text renders them (device and
// driver texts begin with a blank meant to follow a title).
QString shown(const QString& text)
{
    QString result;
    result.reserve(text.size());
    for (const QChar c : text)
        if (c != QLatin1Char(' ') || !result.endsWith(QLatin1Char(' ')))
            result += c;
    return result;
}

} // namespace

PaneLog::PaneLog(Widgets widgets, QFile* screenLog, MLogSystem* log)
    : m_widgets(widgets), m_screenLog(screenLog), m_log(log)
{
    // The entries reach the pane and the pane file in batches from the event loop, in
    // order: while a command is on the line that is time the line leaves free anyway, and a
    // batch delays at most one turnaround of the handshake instead of every one.
    // Nobody undoes a log line: without the undo stack every entry costs less and the pane
    // does not keep a second copy of everything it shows.
    if (m_widgets.pane)
        m_widgets.pane->document()->setUndoRedoEnabled(false);
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(FlushIntervalMs);
    QObject::connect(&m_flushTimer, &QTimer::timeout, &m_flushTimer, [this] { flush(); });
}

PaneLog::~PaneLog()
{
    flush();
    if (m_screenLog)
        m_screenLog->close();
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
        red = QStringLiteral("%1: %2").arg(title, text);
        fileLine = QStringLiteral("%1: %2: %3").arg(stamp, title, text);
        status = QStringLiteral("%1: %2").arg(title, text);
    }
    m_widgets.status->setText(status);
    addLine({{stamp + QStringLiteral(": "), QColor()}, {shown(red), Qt::red}}, fileLine);
}

void PaneLog::logInfo(const QString& title, const QString& text)
{
    if (toFile())
        m_log->logWrite(text, LogInfo);
    const QString stamp = timeStamp();
    const QString line = title.isEmpty() ? QStringLiteral("%1: %2").arg(stamp, text)
                                         : QStringLiteral("%1: %2: %3").arg(stamp, title, text);
    m_widgets.status->setText(title.isEmpty() ? text : QStringLiteral("%1: %2").arg(title, text));
    addLine({{shown(line), QColor()}}, line);
}

void PaneLog::setStatus(const QString& first, const QString& second)
{
    m_widgets.status->setText(QStringLiteral("%1: %2").arg(first, second));
}

QString PaneLog::statusText() const
{
    return m_widgets.status->text();
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
    addLine({{line, Qt::black}}, line);
    m_log->logWrite(line, LogPlain);
}

void PaneLog::logSndHex(const QByteArray& byte)
{
    static const QColor sent(0x00, 0x80, 0x00); // green
    logByte(sent, ">>> ", byte);
}

void PaneLog::logRcvHex(const QByteArray& byte)
{
    static const QColor received(0x8B, 0x00, 0x8B); // dark magenta
    logByte(received, "<<< ", byte);
}

void PaneLog::logByte(const QColor& colour, const char* filePrefix, const QByteArray& byte)
{
    if (!m_widgets.full || !m_widgets.full->isChecked())
        return;
    const QString hex = hexText(byte);
    addLine({{hex, colour}}, QLatin1String(filePrefix) + hex);
    m_log->logWrite(hex, LogPlain);
}

void PaneLog::addLine(std::vector<Span> spans, const QString& fileLine)
{
    m_pending.push_back({std::move(spans), toFile() ? fileLine : QString()});
    if (!m_flushTimer.isActive())
        m_flushTimer.start();
}

void PaneLog::flush()
{
    if (m_pending.empty())
        return;
    m_flushTimer.stop();
    std::vector<Pending> lines;
    lines.swap(m_pending);
    QByteArray fileText;
    QTextCursor cursor(m_widgets.pane->document());
    cursor.beginEditBlock(); // one layout pass for the whole batch
    insertAtTop(cursor, lines);
    for (const Pending& line : lines)
        if (!line.fileLine.isNull())
            fileText += Cp1251::encode(line.fileLine) + '\n';
    cursor.endEditBlock();
    // The oldest entries go in an edit block of their own: in one with the new ones at the top
    // the change spans the whole document, and the layout visits every block of a full pane.
    cursor.beginEditBlock();
    trimOldest(cursor);
    cursor.endEditBlock();
    writeFileText(fileText);
}

void PaneLog::showNewest()
{
    m_widgets.pane->verticalScrollBar()->setValue(0);
}

void PaneLog::insertAtTop(QTextCursor& cursor, const std::vector<Pending>& lines)
{
    // The newest line first, each closed by a block break: the cursor only moves forward
    // from the top, and the lines of a run in one colour (a reply's bytes with the full log)
    // go in as one text, one format for them all.
    const auto formatOf = [](const QColor& colour) {
        QTextCharFormat format;
        if (colour.isValid())
            format.setForeground(colour);
        return format;
    };
    cursor.setPosition(0);
    QString run;
    QColor runColour;
    const auto putRun = [&] {
        if (!run.isEmpty())
            cursor.insertText(run, formatOf(runColour));
        run.clear();
    };
    for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
        ++m_entries;
        const std::vector<Span>& spans = line->spans;
        if (spans.size() == 1) {
            if (spans.front().colour != runColour)
                putRun();
            runColour = spans.front().colour;
            run += spans.front().text + QLatin1Char('\n');
            continue;
        }
        putRun();
        for (const Span& span : spans)
            cursor.insertText(span.text, formatOf(span.colour));
        cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
    }
    putRun();
}

void PaneLog::trimOldest(QTextCursor& cursor)
{
    // Counted here rather than asked of the document: asking inside the edit block cost a
    // tenth of the line's speed with the full log.
    if (m_entries <= MaxEntries)
        return;
    const int excess = m_entries - (MaxEntries - TrimChunk);
    m_entries -= excess;
    // The oldest entries' blocks found by walking the document, not by moving the cursor:
    // every cursor step lays out the block it passes, which with the full log on cost the
    // window a tenth of the line's speed once the pane was full.
    const QTextDocument* document = cursor.document();
    QTextBlock first = document->lastBlock();
    for (int i = 0; i < excess && first.previous().isValid(); ++i)
        first = first.previous();
    cursor.setPosition(first.position());
    cursor.setPosition(document->characterCount() - 1, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}

// The file stays open for the run; every batch is flushed, so it is on disk at once.
void PaneLog::writeFileText(const QByteArray& text)
{
    if (!m_screenLog || text.isEmpty())
        return;
    if (!m_screenLog->isOpen() && !m_screenLog->open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    m_screenLog->write(text);
    m_screenLog->flush();
}
