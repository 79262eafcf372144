#pragma once

#include "clockcommands.h"

#include <QByteArray>
#include <QDate>
#include <QObject>
#include <QTime>

class ProcedureLink;
struct ProgramObjects;

// The controller of the procedures that program the device's settings: the date and time
// procedure, and the device tables.
class Tables : public QObject
{
    Q_OBJECT

public:
    Tables(ProgramObjects& objects, ProcedureLink& link, QObject* parent = nullptr);

    // The date and time window, shown again after every command until it is closed.
    void datTimProc();
    // Opens table n of the device for viewing and programming.
    void openTable(int table);

    const ClockCommands& clockCommands() const { return m_clock; }

private:
    // Sends a command; a device error other than `allowedError` is written with the title.
    int sendRead(const QByteArray& command, const QString& title, int allowedError = -1);

    ProgramObjects& m_objects;
    ProcedureLink& m_link;
    ClockCommands m_clock;
    QDate m_date;
    QTime m_time;
    int m_lastError = 0;
    QByteArray m_lastReply;
};
