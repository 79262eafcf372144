#pragma once

#include "app/logpane.h"

#include <QColor>

#include <initializer_list>

class MLogSystem;
class QCheckBox;
class QFile;
class QLabel;
class QPlainTextEdit;

// The main window's log pane: newest entry at the top of `tedLog`, the short form in
// `labStatus`, the lines in the pane file and in the program log as the two check boxes of
// the settings panel ask.
class PaneLog : public LogPane
{
public:
    struct Widgets
    {
        QPlainTextEdit* pane = nullptr;
        QLabel* status = nullptr;
        QCheckBox* full = nullptr;   // "Полный": the per-byte trace
        QCheckBox* toFile = nullptr; // "Сохранять в файле": pane file and program log
    };

    PaneLog(Widgets widgets, QFile* screenLog, MLogSystem* log);

    void logError(const QString& title, const QString& text) override;
    void logInfo(const QString& title, const QString& text) override;
    void setStatus(const QString& first, const QString& second) override;
    void logSndBlock(const QByteArray& bytes) override;
    void logRcvBlock(const QByteArray& bytes) override;
    void logSndHex(const QByteArray& byte) override;
    void logRcvHex(const QByteArray& byte) override;

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
    // One new first line. Formatted text goes in directly rather than as HTML, which would
    // cost a parse per entry, one per byte with the full log. The pane is not repainted
    // here: the nested event loop of every wait on the line paints many entries at once.
    void insertLineAtTop(std::initializer_list<Span> spans);
    void writeFileLine(const QString& line);

    Widgets m_widgets;
    QFile* m_screenLog;
    MLogSystem* m_log;
};
