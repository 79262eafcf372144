#pragma once

#include "app/logpane.h"

class MLogSystem;
class QCheckBox;
class QFile;
class QLabel;
class QTextEdit;

// The main window's log pane: newest entry at the top of `tedLog`, the short form in
// `labStatus`, the lines in the pane file and in the program log as the two check boxes of
// the settings panel ask.
class PaneLog : public LogPane
{
public:
    struct Widgets
    {
        QTextEdit* pane = nullptr;
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
    void logByte(const char* colour, const char* filePrefix, const QByteArray& byte);
    // The pane is not repainted here: the nested event loop of every wait on the line paints
    // the entries as they come, one repaint for many entries.
    void insertHtmlAtTop(const QString& fragment);
    void insertTextAtTop(const QString& text);
    void writeFileLine(const QString& line);

    Widgets m_widgets;
    QFile* m_screenLog;
    MLogSystem* m_log;
};
