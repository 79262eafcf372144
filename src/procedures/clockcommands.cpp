#include "clockcommands.h"

#include "procedurelink.h"

QByteArray ClockCommands::withPassword(quint8 code, quint32 password, quint8 a, quint8 b,
                                       quint8 c)
{
    m_last = ProcedureLink::withPassword(code, password);
    m_last.append(char(a)).append(char(b)).append(char(c));
    return m_last;
}

QByteArray ClockCommands::programDate(quint32 password, QDate date)
{
    return withPassword(ProgramDate, password, quint8(date.day()), quint8(date.month()),
                        quint8(date.year() - 2000));
}

QByteArray ClockCommands::confirmDate()
{
    if (m_last.isEmpty())
        m_last = QByteArray(1, char(ConfirmDate));
    else
        m_last[0] = char(ConfirmDate);
    return m_last;
}

QByteArray ClockCommands::programTime(quint32 password, QTime time)
{
    return withPassword(ProgramTime, password, quint8(time.hour()), quint8(time.minute()),
                        quint8(time.second()));
}
