#pragma once

#include <QByteArray>
#include <QDate>
#include <QTime>

// The three commands of the date and time procedure, and the last of them sent, which the
// date confirmation repeats under its own code.
class ClockCommands
{
public:
    static constexpr quint8 ProgramTime = 0x21;
    static constexpr quint8 ProgramDate = 0x22;
    static constexpr quint8 ConfirmDate = 0x23;

    // 22h, the password (4 bytes, least significant first), day, month, year - 2000.
    QByteArray programDate(quint32 password, QDate date);
    // The last command with 23h as its first byte; the single byte 23h before any command.
    QByteArray confirmDate();
    // 21h, the password, hour, minute, second.
    QByteArray programTime(quint32 password, QTime time);

    const QByteArray& lastCommand() const { return m_last; }

private:
    QByteArray withPassword(quint8 code, quint32 password, quint8 a, quint8 b, quint8 c);

    QByteArray m_last;
};
