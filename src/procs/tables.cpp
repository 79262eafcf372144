#include "tables.h"

#include "app/modaldialog.h"
#include "app/programobjects.h"
#include "dattimwin.h"
#include "procedurehost.h"
#include "procedurelink.h"
#include "ui_dattimwin.h"

#include <QDebug>

#include <memory>

Tables::Tables(ProgramObjects& objects, ProcedureLink& link, QObject* parent)
    : QObject(parent), m_objects(objects), m_link(link)
{
}

int Tables::sendRead(const QByteArray& command, const QString& title, int allowedError)
{
    const ProcedureLink::Result result = m_link.send(command, {title, title, title}, allowedError);
    m_lastError = result.code;
    m_lastReply = result.reply;
    return result.code;
}

void Tables::datTimProc()
{
    qDebug() << "datTimProc";
    const auto window = std::make_unique<DatTimWin>();
    Ui::DatTimWin* ui = window->ui();
    m_date = QDate::currentDate();
    ui->timeEdit->setDisplayFormat(QStringLiteral("hh:mm"));
    ui->calendarWidget->setSelectedDate(m_date);
    ui->sbDay->setValue(m_date.day());
    ui->sbMonth->setValue(m_date.month());
    ui->sbYear->setValue(m_date.year());
    for (;;) {
        ui->timeEdit->setTime(QTime::currentTime());
        const int result = runModal(window.get());
        qDebug() << "datTimWin->exec" << result;
        if (result == DatTimWin::Closed || result == DatTimWin::Accepted)
            break;
        if (result < DatTimWin::DateEntry || result > DatTimWin::TimeEntry)
            continue;
        m_date = ui->calendarWidget->selectedDate();
        m_time = ui->timeEdit->time();
        qDebug() << "Date/Time" << m_date << m_time;
        qDebug() << "Time" << m_time.hour() << m_time.minute() << 0;
        qDebug() << "Date" << m_date.day() << m_date.month() << m_date.year() - 2000;
        const quint32 password = m_link.host().password();
        if (result == DatTimWin::DateEntry)
            sendRead(m_clock.programDate(password, m_date), tr("Программирование даты"));
        else if (result == DatTimWin::DateConfirm)
            sendRead(m_clock.confirmDate(), tr("Подтверждение программирования даты"));
        else
            sendRead(m_clock.programTime(password, m_time), tr("Программирование времени"));
    }
    m_objects.procedureRunning = false;
}

void Tables::openTable(int table)
{
    qDebug() << "openTable" << table;
    m_objects.procedureRunning = false;
}
