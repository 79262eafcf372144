#include "telnetcomport.h"

#include <QCoreApplication>

namespace {

constexpr quint8 IAC = 255;
constexpr quint8 DONT = 254;
constexpr quint8 DO = 253;
constexpr quint8 WONT = 252;
constexpr quint8 WILL = 251;
constexpr quint8 SB = 250;
constexpr quint8 SE = 240;
constexpr quint8 CR = 13;

constexpr quint8 Binary = 0;
constexpr quint8 SuppressGoAhead = 3;
constexpr quint8 ComPortOption = 44;

// The client's COM port commands; the server answers each with the command plus 100.
enum ComPortCommand : quint8
{
    SetBaudrate = 1,
    SetDatasize = 2,
    SetParity = 3,
    SetStopsize = 4,
    SetControl = 5,
    PurgeData = 12,
};
constexpr quint8 ServerReply = 100;
constexpr quint8 ParityNone = 1;
constexpr quint8 OneStopBit = 1;
constexpr quint8 NoFlowControl = 1;
constexpr quint8 PurgeReceivedData = 1;

QByteArray command(quint8 verb, quint8 option)
{
    const char bytes[] = {char(IAC), char(verb), char(option)};
    return QByteArray(bytes, sizeof bytes);
}

} // namespace

QByteArray TelnetComPort::start()
{
    QByteArray offers;
    for (const quint8 option : {Binary, SuppressGoAhead}) {
        m_us[option] = m_him[option] = State::WantYes;
        offers += command(WILL, option) + command(DO, option);
    }
    m_us[ComPortOption] = State::WantYes;
    return offers + command(WILL, ComPortOption);
}

QByteArray TelnetComPort::withdrawComPort()
{
    if (m_comPort != ComPort::Asked)
        return {};
    m_comPort = ComPort::Refused;
    m_us[ComPortOption] = State::No;
    return command(WONT, ComPortOption);
}

bool TelnetComPort::wanted(bool ours, quint8 option) const
{
    if (option == Binary || option == SuppressGoAhead)
        return true;
    return ours && option == ComPortOption && m_comPort != ComPort::Refused;
}

void TelnetComPort::negotiate(quint8 verb, quint8 option, Received* received)
{
    const bool ours = verb == DO || verb == DONT;
    const bool yes = verb == DO || verb == WILL;
    State& state = ours ? m_us[option] : m_him[option];
    const quint8 accept = ours ? WILL : DO;
    const quint8 refuse = ours ? WONT : DONT;
    // Only a change is answered, so two sides never loop.
    if (yes && state == State::No) {
        const bool take = wanted(ours, option);
        state = take ? State::Yes : State::No;
        received->reply += command(take ? accept : refuse, option);
    } else if (yes && state == State::WantYes) {
        state = State::Yes;
    } else if (!yes && state == State::Yes) {
        state = State::No;
        received->reply += command(refuse, option);
    } else if (!yes) {
        state = State::No;
    }
    if (ours && option == ComPortOption && m_comPort == ComPort::Asked)
        m_comPort = yes && state == State::Yes ? ComPort::Agreed : ComPort::Refused;
    else if (ours && option == ComPortOption && state == State::No)
        m_comPort = ComPort::Refused;
}

void TelnetComPort::subnegotiated(Received* received)
{
    if (m_subOption == ComPortOption && !m_sub.isEmpty() &&
        quint8(m_sub.at(0)) == ServerReply + SetBaudrate)
        received->rateAcknowledged = true;
}

TelnetComPort::Received TelnetComPort::receive(const char* data, qsizetype size)
{
    Received received;
    const bool binary = m_him[Binary] == State::Yes;
    for (qsizetype i = 0; i < size && !m_faulted; ++i) {
        const quint8 byte = quint8(data[i]);
        switch (m_parse) {
        case Parse::Data:
            if (byte == IAC) {
                m_parse = Parse::Iac;
            } else if (!(byte == 0 && m_afterCr && !binary)) {
                received.data.append(char(byte));
            }
            m_afterCr = byte == CR;
            break;
        case Parse::Iac:
            m_parse = Parse::Data;
            if (byte == IAC) {
                received.data.append(char(IAC));
                m_afterCr = false;
            } else if (byte >= WILL && byte <= DONT) {
                m_command = byte;
                m_parse = Parse::Negotiation;
            } else if (byte == SB) {
                m_parse = Parse::Option;
            } // any other command (NOP, GA, …) says nothing to a serial line
            break;
        case Parse::Negotiation:
            negotiate(m_command, byte, &received);
            m_parse = Parse::Data;
            break;
        case Parse::Option:
            m_subOption = byte;
            m_sub.clear();
            m_parse = Parse::Sub;
            break;
        case Parse::Sub:
            if (byte == IAC) {
                m_parse = Parse::SubIac;
                break;
            }
            if (m_sub.size() >= MaxSubnegotiation) {
                m_faulted = true;
                received.fault = QCoreApplication::translate(
                                     "NetworkPort", "сервер нарушил протокол Telnet: "
                                                    "подсогласование длиннее %1 байт")
                                     .arg(MaxSubnegotiation);
                break;
            }
            m_sub.append(char(byte));
            break;
        case Parse::SubIac:
            if (byte == IAC) {
                m_sub.append(char(IAC));
                m_parse = Parse::Sub;
                break;
            }
            // SE ends it; any other command ends it too, and is taken as a command.
            subnegotiated(&received);
            m_parse = Parse::Data;
            if (byte != SE) {
                m_parse = Parse::Iac;
                --i; // read again as the command it is
            }
            break;
        }
    }
    return received;
}

QByteArray TelnetComPort::encode(const char* data, qsizetype size) const
{
    const bool binary = m_us[Binary] == State::Yes;
    QByteArray wire;
    wire.reserve(size + 8);
    for (qsizetype i = 0; i < size; ++i) {
        const quint8 byte = quint8(data[i]);
        wire.append(char(byte));
        if (byte == IAC)
            wire.append(char(IAC));
        else if (byte == CR && !binary)
            wire.append('\0');
    }
    return wire;
}

QByteArray TelnetComPort::subnegotiation(quint8 code, const QByteArray& value) const
{
    if (m_comPort != ComPort::Agreed)
        return {};
    QByteArray body(1, char(code));
    body += value;
    body.replace(QByteArray(1, char(IAC)), QByteArray(2, char(IAC)));
    const char start[] = {char(IAC), char(SB), char(ComPortOption)};
    const char end[] = {char(IAC), char(SE)};
    return QByteArray(start, sizeof start) + body + QByteArray(end, sizeof end);
}

QByteArray TelnetComPort::baudRate(int baud) const
{
    const quint32 rate = quint32(baud);
    const char bytes[4] = {char(rate >> 24), char(rate >> 16), char(rate >> 8), char(rate)};
    return subnegotiation(SetBaudrate, QByteArray(bytes, 4));
}

QByteArray TelnetComPort::lineSettings(int baud) const
{
    return baudRate(baud) + subnegotiation(SetDatasize, QByteArray(1, char(8))) +
           subnegotiation(SetParity, QByteArray(1, char(ParityNone))) +
           subnegotiation(SetStopsize, QByteArray(1, char(OneStopBit))) +
           subnegotiation(SetControl, QByteArray(1, char(NoFlowControl)));
}

QByteArray TelnetComPort::purgeReceived() const
{
    return subnegotiation(PurgeData, QByteArray(1, char(PurgeReceivedData)));
}
