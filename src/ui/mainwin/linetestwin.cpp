#include "linetestwin.h"

#include "base/logpane.h"
#include "linetestchart.h"
#include "mainwin.h"
#include "procedures/linetest.h"
#include "ui/shell/windowplacement.h"
#include "ui/touch/sendbutton.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QPushButton* fingerButton(const QString& text, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setMinimumHeight(48);
    return button;
}

} // namespace

QString LineTestWin::title()
{
    return tr("Проверка линии");
}

LineTestWin* LineTestWin::open(MainWin& window, FrVelkor& link, const ErrorTexts& errors)
{
    auto* win = new LineTestWin(window, link, errors);
    window.showOverlay();
    placeOverMainWindow(win);
    win->show();
    QTimer::singleShot(0, win, &LineTestWin::run);
    return win;
}

LineTestWin::LineTestWin(MainWin& window, FrVelkor& link, const ErrorTexts& errors)
    : QWidget(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint), m_window(window),
      m_link(window, link, errors), m_port(link.portName()), m_baud(link.baudRate())
{
    setObjectName(QStringLiteral("lineTest"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(title());
    setStyleSheet(QStringLiteral("font: 11pt \"DejaVu Serif\";"));
    resize(760, 620);
    auto* layout = new QVBoxLayout(this);
    m_progressText = new QLabel(this);
    m_progressText->setObjectName(QStringLiteral("labProgress"));
    m_progressText->setWordWrap(true);
    m_progress = new QProgressBar(this);
    m_progress->setMinimumHeight(28);
    m_counts = new QLabel(this);
    m_counts->setObjectName(QStringLiteral("labCounts"));
    m_counts->setWordWrap(true);
    m_counts->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_chart = new LineTestChart(this);
    m_verdict = new QLabel(this);
    m_verdict->setObjectName(QStringLiteral("labVerdict"));
    m_verdict->setWordWrap(true);
    m_verdict->setStyleSheet(QStringLiteral("font: bold 12pt \"DejaVu Serif\";"));
    m_stop = fingerButton(tr("Прервать"), this);
    m_again = fingerButton(tr("Повторить"), this);
    m_close = fingerButton(tr("Закрыть"), this);
    // "Повторить" sends: a blank or Return typed later must not start the test again.
    makeSendButtons({m_again});
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_stop);
    buttons->addWidget(m_again);
    buttons->addWidget(m_close);
    layout->addWidget(m_progressText);
    layout->addWidget(m_progress);
    layout->addWidget(m_counts);
    layout->addWidget(m_chart, 1);
    layout->addWidget(m_verdict);
    layout->addLayout(buttons);
    connect(m_stop, &QPushButton::clicked, this, [this] { m_stopAsked = true; });
    connect(m_again, &QPushButton::clicked, this, &LineTestWin::run);
    connect(m_close, &QPushButton::clicked, this, &LineTestWin::close);
}

void LineTestWin::run()
{
    if (m_running || m_window.exchangeRunning())
        return;
    m_running = true;
    m_stopAsked = false;
    m_stop->setEnabled(true);
    m_again->setEnabled(false);
    m_verdict->clear();
    LineTest test(m_link, m_port, m_baud);
    m_progress->setRange(0, LineTest::DefaultCount);
    m_progress->setValue(0);
    m_chart->start(LineTest::DefaultCount);
    showProgress(LineReport(m_port, m_baud, LineTest::DefaultCount, 0));
    finish(test.run([this](const LineReport& report) { return showProgress(report); }));
}

bool LineTestWin::showProgress(const LineReport& report)
{
    using Outcome = LineReport::Outcome;
    const int done = int(report.exchanges().size());
    m_progressText->setText(tr("Порт %1, %2 бит/с: обмен %3 из %4")
                                .arg(report.port())
                                .arg(report.baud())
                                .arg(done)
                                .arg(report.planned()));
    m_progress->setValue(done);
    QStringList counts{tr("С первой попытки: %1").arg(report.count(Outcome::FirstAttempt)),
                       tr("С повтором: %1").arg(report.count(Outcome::Retried)),
                       tr("Не выполнено: %1").arg(report.count(Outcome::Failed))};
    QStringList causes;
    for (int c = 0; c < LineReport::CauseCount; ++c)
        if (const int n = report.count(LineReport::Cause(c)))
            causes << QStringLiteral("%1 — %2")
                          .arg(LineReport::causeText(LineReport::Cause(c)))
                          .arg(n);
    m_counts->setText(counts.join(QStringLiteral("    ")) + QLatin1Char('\n') +
                      (causes.isEmpty()
                           ? tr("Причин повторов нет.")
                           : tr("Причины: %1.").arg(causes.join(QStringLiteral("; ")))));
    if (done > 0)
        m_chart->add(report.exchanges().last(), report.wireMs());
    return !m_stopAsked;
}

void LineTestWin::finish(const LineReport& report)
{
    m_running = false;
    m_report = report;
    LogPane& pane = m_window.logPane();
    for (const QString& line : report.lines())
        pane.logInfo(title(), line);
    pane.setStatus(title(), report.verdictText());
    const QString advice = report.adviceText();
    m_verdict->setText(advice.isEmpty() ? report.verdictText()
                                        : report.verdictText() + QLatin1Char('\n') + advice);
    m_stop->setEnabled(false);
    m_again->setEnabled(m_window.connected());
    if (m_closeAsked)
        close();
}

void LineTestWin::closeEvent(QCloseEvent* event)
{
    // The test's loop is on the stack below this call: the window goes once it has returned.
    if (m_running) {
        m_stopAsked = true;
        m_closeAsked = true;
        event->ignore();
        return;
    }
    m_window.hideOverlay();
    event->accept();
}
