#pragma once

#include <QByteArray>
#include <QString>

#include <array>

// The client's side of a Telnet connection to a serial port server (RFC 854/855, options
// agreed as RFC 1143 has it, COM Port Control of RFC 2217), without its input and output:
// fed what the server sent, it returns the line's bytes and what must be answered; it makes
// the bytes to send. The port and the monitor drive it, each with its own waits.
//
// It offers WILL and DO BINARY and SUPPRESS-GO-AHEAD and WILL COM-PORT-OPTION. The COM port
// subnegotiations are made only once the server has said DO COM-PORT-OPTION; after its DONT,
// or a withdrawn offer, the connection is a plain Telnet line. Until BINARY is agreed in a
// direction, a CR of the line goes as CR NUL that way.
class TelnetComPort
{
public:
    // Longer subnegotiations are a protocol fault: a COM port server's are a few bytes.
    static constexpr int MaxSubnegotiation = 1024;

    // The server's answer to WILL COM-PORT-OPTION.
    enum class ComPort
    {
        Asked,
        Agreed,
        Refused,
    };

    struct Received
    {
        QByteArray data;  // the line's bytes
        QByteArray reply; // to send to the server now (answers to its negotiation)
        bool rateAcknowledged = false; // the server answered SET-BAUDRATE
        // Non-empty: the server broke the protocol; nothing after it is the line's, and the
        // connection must end with this reason.
        QString fault;
    };

    // The opening offers.
    QByteArray start();
    Received receive(const char* data, qsizetype size);
    ComPort comPort() const { return m_comPort; }
    // The server did not answer the offer in time: it is withdrawn, and the line goes on as
    // a plain Telnet line. The bytes to send (WONT COM-PORT-OPTION).
    QByteArray withdrawComPort();

    // The line's bytes as they go on the connection: IAC doubled, CR as CR NUL before BINARY.
    QByteArray encode(const char* data, qsizetype size) const;
    // COM port commands; empty unless the server agreed to the option.
    // The line at `baud`, 8 data bits, no parity, one stop bit, no flow control.
    QByteArray lineSettings(int baud) const;
    QByteArray baudRate(int baud) const;
    // The server drops what it received from the line and has not sent.
    QByteArray purgeReceived() const;

private:
    // RFC 1143's states of one side of one option (WANTNO is never needed: an option is
    // turned off only by withdrawing an offer that was never answered).
    enum class State : quint8
    {
        No,
        WantYes,
        Yes,
    };
    enum class Parse
    {
        Data,
        Iac,
        Negotiation,
        Option,      // IAC SB: the option byte comes next
        Sub,         // the subnegotiation's body
        SubIac,      // IAC within it
    };

    QByteArray subnegotiation(quint8 command, const QByteArray& value) const;
    void negotiate(quint8 command, quint8 option, Received* received);
    void subnegotiated(Received* received);
    bool wanted(bool ours, quint8 option) const;

    std::array<State, 256> m_us{};   // our side: WILL
    std::array<State, 256> m_him{};  // the server's side: DO
    ComPort m_comPort = ComPort::Asked;
    Parse m_parse = Parse::Data;
    quint8 m_command = 0;   // WILL, WONT, DO or DONT awaiting its option
    quint8 m_subOption = 0;
    QByteArray m_sub;
    bool m_afterCr = false; // the last data byte was CR (a NUL after it is the NVT's)
    bool m_faulted = false;
};
