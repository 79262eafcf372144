#pragma once

#include "procedures/linereport.h"
#include "procedures/procedurelink.h"

#include <QWidget>

#include <optional>

class LineTestChart;
class MainWin;
class QLabel;
class QProgressBar;
class QPushButton;

// The line test's window over the dimmed main window: the progress, the live counts, the
// chart of the exchanges' times, and when it ends the verdict, which also goes to the log
// pane. The test starts when the window opens; "Прервать" ends it after the exchange under
// way, "Повторить" runs it again, "Закрыть" leaves (after the test has stopped).
class LineTestWin : public QWidget
{
    Q_OBJECT

public:
    static QString title();
    // Opens the window over the main window, whose link must be connected, and starts.
    static LineTestWin* open(MainWin& window, FrVelkor& link, const ErrorTexts& errors);

    bool running() const { return m_running; }
    const std::optional<LineReport>& report() const { return m_report; }
    QLabel* countsLabel() const { return m_counts; }
    QPushButton* stopButton() const { return m_stop; }
    QPushButton* closeButton() const { return m_close; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    LineTestWin(MainWin& window, FrVelkor& link, const ErrorTexts& errors);
    void run();
    bool showProgress(const LineReport& report);
    void finish(const LineReport& report);

    MainWin& m_window;
    ProcedureLink m_link;
    QString m_port;
    int m_baud;
    QLabel* m_progressText;
    QProgressBar* m_progress;
    QLabel* m_counts;
    LineTestChart* m_chart;
    QLabel* m_verdict;
    QPushButton* m_stop;
    QPushButton* m_again;
    QPushButton* m_close;
    bool m_running = false;
    bool m_stopAsked = false;
    bool m_closeAsked = false;
    std::optional<LineReport> m_report;
};
