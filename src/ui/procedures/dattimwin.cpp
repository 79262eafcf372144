#include "dattimwin.h"

#include "ui/touch/sendbutton.h"
#include "ui/touch/virtkeyboard.h"
#include "ui_dattimwin.h"

#include <QDebug>
#include <QSignalBlocker>

#include <algorithm>

DatTimWin::DatTimWin(QWidget* parent) : QDialog(parent), m_ui(std::make_unique<Ui::DatTimWin>())
{
    m_ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowMaximizeButtonHint);
    makeSendButtons({m_ui->pbEnter, m_ui->pbDateVvod, m_ui->pbDatePodtv, m_ui->pbTimeVvod});
    m_ui->pbEnter->hide();
    // Seconds too: the time sent is the second of the tap.
    m_ui->timeEdit->setDisplayFormat(QStringLiteral("hh:mm:ss"));
    // Typed by finger as the other fields are: figures, with the buttons left in view.
    VirtKeyboard::bond(m_ui->timeEdit, VirtKeyboard::Keys::Figures);
    VirtKeyboard::keepUncovered({m_ui->pbTimeVvod, m_ui->pbExit});
    m_tick.setInterval(250);
    connect(&m_tick, &QTimer::timeout, this, &DatTimWin::showClockTime);
    connect(m_ui->timeEdit, &QTimeEdit::timeChanged, this, [this] {
        m_timeEdited = true;
        m_tick.stop();
    });
}

DatTimWin::~DatTimWin() = default;

void DatTimWin::followClock(Clock clock)
{
    m_clock = std::move(clock);
    m_timeEdited = false;
    showClockTime();
    m_tick.start();
}

void DatTimWin::showClockTime()
{
    const QSignalBlocker ours(m_ui->timeEdit); // not the user's edit
    m_ui->timeEdit->setTime(m_clock().time());
}

QTime DatTimWin::timeToSend() const
{
    return m_timeEdited ? m_ui->timeEdit->time() : m_clock().time();
}

void DatTimWin::on_calendarWidget_selectionChanged()
{
    const QDate date = m_ui->calendarWidget->selectedDate();
    qDebug() << "selectionChanged" << date;
    m_ui->sbDay->setValue(date.day());
    m_ui->sbMonth->setValue(date.month());
    m_ui->sbYear->setValue(date.year());
}

void DatTimWin::on_calendarWidget_currentPageChanged(int year, int month)
{
    const int days = QDate(year, month, 1).daysInMonth();
    if (m_ui->sbDay->value() > days)
        m_ui->sbDay->setValue(days);
    m_ui->sbMonth->setValue(month);
    m_ui->sbYear->setValue(year);
}

void DatTimWin::selectDate(int year, int month, int day)
{
    m_ui->calendarWidget->setSelectedDate(QDate(year, month, day));
}

// A new month or year keeps the day where the month has it, else takes the month's last
// day, so the spin boxes never show a date the calendar has not taken.
void DatTimWin::selectMonth(int year, int month, int day)
{
    selectDate(year, month, std::min(day, QDate(year, month, 1).daysInMonth()));
}

void DatTimWin::on_sbDay_valueChanged(int day)
{
    const QDate selected = m_ui->calendarWidget->selectedDate();
    selectDate(selected.year(), selected.month(), day);
    // A day the month does not have is not taken: the spin box follows the calendar back.
    const int taken = m_ui->calendarWidget->selectedDate().day();
    if (taken != day)
        m_ui->sbDay->setValue(taken);
}

void DatTimWin::on_sbMonth_valueChanged(int month)
{
    const QDate selected = m_ui->calendarWidget->selectedDate();
    selectMonth(selected.year(), month, selected.day());
}

void DatTimWin::on_sbYear_valueChanged(int year)
{
    const QDate selected = m_ui->calendarWidget->selectedDate();
    selectMonth(year, selected.month(), selected.day());
}
