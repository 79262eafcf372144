#pragma once

#include "base/logpane.h"

#include <QColor>
#include <QTimer>

#include <vector>

class MLogSystem;
class QCheckBox;
class QFile;
class QLabel;
class QPlainTextEdit;
class QTextCursor;

// The main window's log pane: newest entry at the top of `tedLog`, the short form in
// `labStatus`, the lines in the pane file and in the program log as the two check boxes of
// the settings panel ask.
class PaneLog : public LogPane
{
public:
    static constexpr int FlushIntervalMs = 25;
    // The pane keeps the newest entries only (the pane file and the program log keep all):
    // a long test script with the full log would otherwise grow it without end.
    static constexpr int MaxEntries = 50000;
    // Past MaxEntries the oldest go down to MaxEntries - TrimChunk: a pane whose bottom changed
    // is laid out there again for its scroll bar, which at every batch cost more than the batch.
    static constexpr int TrimChunk = 2000;

    struct Widgets
    {
        QPlainTextEdit* pane = nullptr;
        QLabel* status = nullptr;
        QCheckBox* full = nullptr;   // "Полный": the per-byte trace
        QCheckBox* toFile = nullptr; // "Сохранять в файле": pane file and program log
    };

    PaneLog(Widgets widgets, QFile* screenLog, MLogSystem* log);
    // The entries not yet put in still reach the pane file.
    ~PaneLog() override;

    void logError(const QString& title, const QString& text) override;
    void logInfo(const QString& title, const QString& text) override;
    void setStatus(const QString& first, const QString& second) override;
    QString statusText() const override;
    void logSndBlock(const QByteArray& bytes) override;
    void logRcvBlock(const QByteArray& bytes) override;
    void logSndHex(const QByteArray& byte) override;
    void logRcvHex(const QByteArray& byte) override;
    // Puts the entries made since the last event loop pass into the pane and the pane file.
    void flush();
    void showNewest() override;

private:
    bool toFile() const;
    void logBlock(const char* direction, const char* debugName, const QByteArray& bytes);
    void logByte(const QColor& colour, const char* filePrefix, const QByteArray& byte);
    // A run of text in one colour; an invalid colour is the pane's own.
    struct Span
    {
        QString text;
        QColor colour;
    };
    struct Pending
    {
        std::vector<Span> spans;
        QString fileLine; // null: not for the pane file
    };
    // An entry for the pane, and for the pane file while it is being written.
    void addLine(std::vector<Span> spans, const QString& fileLine);
    // The batch at the top, newest first. Formatted text goes in directly rather than as
    // HTML, which would cost a parse per entry, one per byte with the full log.
    void insertAtTop(QTextCursor& cursor, const std::vector<Pending>& lines);
    void writeFileText(const QByteArray& text);
    // Drops the oldest entries, at the bottom, once there are more than MaxEntries.
    void trimOldest(QTextCursor& cursor);

    Widgets m_widgets;
    QFile* m_screenLog;
    MLogSystem* m_log;
    std::vector<Pending> m_pending;
    int m_entries = 0; // the entries in the pane
    QTimer m_flushTimer;
};
