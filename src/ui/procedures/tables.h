#pragma once

#include "procedures/clockcommands.h"
#include "procedures/tableexchange.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QObject>
#include <QTime>

#include <functional>

class ProcedureLink;
class QTableWidget;
class TableProgressWindow;
struct ProgramObjects;

// The controller of the procedures that program the device's settings: the date and time
// procedure and the device tables.
class Tables : public QObject
{
    Q_OBJECT

public:
    Tables(ProgramObjects& objects, ProcedureLink& link, QObject* parent = nullptr);

    // The date and time window, shown again after every command until it is closed.
    void datTimProc();
    // Reads the device's table list; false when it could not be read (tried again later).
    bool getTabList();
    // The structure of every listed table, to the debug trace.
    void dumpTabStruct() const { m_exchange.dumpStructure(); }
    // Opens table n of the device for viewing and programming.
    void openTable(int table);
    TableExchange& exchange() { return m_exchange; }

    const ClockCommands& clockCommands() const { return m_clock; }
    // The clock the date and time window shows and sends; tests give their own.
    void setClock(std::function<QDateTime()> clock) { m_now = std::move(clock); }

private:
    void getTableOneRow(int table);
    void getTableRows(int table, const QString& rowHeader);
    // The grid of the table just read, shown again until its values are written or it is
    // cancelled.
    void editRows(const QString& rowHeader, TableProgressWindow& progress);
    QTableWidget* buildGrid(const QString& rowHeader) const;
    // The typed values into the table's data; false (and the error line) at the first
    // value that is not valid.
    bool collectValue(int row, int field, const QString& text);

    // Sends a command; a device error other than `allowedError` is written with the title.
    int sendRead(const QByteArray& command, const QString& title, int allowedError = -1);

    ProgramObjects& m_objects;
    ProcedureLink& m_link;
    ClockCommands m_clock;
    std::function<QDateTime()> m_now = &QDateTime::currentDateTime;
    QDate m_date;
    QTime m_time;
    QString m_sent; // the date or the time the last command of the procedure carried
    int m_lastError = 0;
    QByteArray m_lastReply;
    TableExchange m_exchange;
};
