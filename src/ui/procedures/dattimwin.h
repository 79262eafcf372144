#pragma once

#include <QDate>
#include <QDateTime>
#include <QDialog>
#include <QTimer>

#include <functional>
#include <memory>

namespace Ui {
class DatTimWin;
}

// The date and time window: a calendar with day, month and year spin boxes kept in step,
// a time of day, and one button per device command. Each command button closes the window
// with its own result.
class DatTimWin : public QDialog
{
    Q_OBJECT

public:
    enum Result
    {
        Closed = 0,
        Accepted = 1,
        DateEntry = 2,
        DateConfirm = 3,
        TimeEntry = 4,
    };

    // The computer's clock; tests give their own.
    using Clock = std::function<QDateTime()>;

    explicit DatTimWin(QWidget* parent = nullptr);
    ~DatTimWin() override;

    // The time field shows the clock's time and follows it, second by second, until the
    // user edits it.
    void followClock(Clock clock);
    // The time "Ввод времени" sends: the clock's at this moment, or the field's once the
    // user has edited it.
    QTime timeToSend() const;

    Ui::DatTimWin* ui() const { return m_ui.get(); }

public Q_SLOTS:
    void on_pbEnter_clicked() { done(Accepted); }
    void on_pbExit_clicked() { done(Closed); }
    void on_pbDateVvod_clicked() { done(DateEntry); }
    void on_pbDatePodtv_clicked() { done(DateConfirm); }
    void on_pbTimeVvod_clicked() { done(TimeEntry); }
    void on_calendarWidget_selectionChanged();
    void on_calendarWidget_currentPageChanged(int year, int month);
    void on_sbDay_valueChanged(int day);
    void on_sbMonth_valueChanged(int month);
    void on_sbYear_valueChanged(int year);

private:
    void selectDate(int year, int month, int day);
    void selectMonth(int year, int month, int day);
    void showClockTime();

    std::unique_ptr<Ui::DatTimWin> m_ui;
    Clock m_clock;
    QTimer m_tick;
    bool m_timeEdited = false;
};
