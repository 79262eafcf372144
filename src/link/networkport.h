#pragma once

#include "telnetcomport.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QIODevice>
#include <QString>
#include <QTcpSocket>

#include <functional>
#include <map>
#include <optional>

// A port name that names a port on the network: "rfc2217://HOST:PORT" (Telnet COM Port
// Control: the remote line's settings go over the same connection) or "tcp://HOST:PORT"
// (bytes as they are; the line's settings are the server's). HOST is a name, an IPv4 address
// or a bracketed IPv6 address. Any other name is a local port.
struct NetworkPortName
{
    enum Kind
    {
        Local,
        Rfc2217,
        RawTcp,
        Malformed, // starts like a network port but is not one: nothing may be opened
    };
    Kind kind = Local;
    QString host;
    quint16 port = 0;

    static NetworkPortName parse(const QString& name);
    bool isNetwork() const { return kind == Rfc2217 || kind == RawTcp; }
    // "HOST:PORT", brackets kept for IPv6.
    QString address() const;
    // Why a malformed name is not a network port, naming it.
    static QString malformedText(const QString& name);
};

// A registrar's line on the network, as a device the link reads and writes: the bytes of the
// line only (Telnet's commands and escapes are handled here), readyRead when some came, and
// lost() when the connection ends under it. It trusts no server: what the link has not read
// is kept up to a bound (more is dropped), and a server that sends more than any line could
// carry, or breaks the Telnet protocol, loses its connection.
class NetworkPort : public QIODevice
{
    Q_OBJECT

public:
    // The longest a connection may take before it is given up.
    static constexpr int ConnectMs = 3000;
    // How long the server may take to answer the COM port offer, and to acknowledge the
    // line's rate; a server that cannot apply a setting may never answer, and the line goes
    // on.
    static constexpr int RateAckMs = 500;
    // Received bytes the link has not read, at most: a reply frame and what may follow it.
    static constexpr qsizetype MaxBacklog = 4096;
    // What a server may send: a burst, then what a line far faster than the link's fastest
    // rate could carry. Past it the connection ends.
    static constexpr qint64 FloodBurstBytes = 64 * 1024;
    static constexpr qint64 FloodBytesPerSecond = 128 * 1024;
    // How long a close waits for what was written to go out.
    static constexpr int WrittenMs = 500;

    explicit NetworkPort(QObject* parent = nullptr);
    ~NetworkPort() override;

    // Connects (the event loop runs meanwhile) and, for RFC 2217, offers COM Port Control;
    // once the server agrees, sets the remote line to `baud`, 8 data bits, no parity, one
    // stop bit, no flow control. False with errorString() saying why, in Russian.
    bool open(const NetworkPortName& name, int baud);
    // Whether the RFC 2217 server at `name` agrees to COM Port Control, asked on a connection
    // of its own (a search tries one rate on a server that keeps its line's rate).
    static bool serverSetsRate(const NetworkPortName& name);
    // What was written goes out first.
    void close() override;
    // The remote line moves to `baud` when the server agreed to COM Port Control; false
    // otherwise (the server's rate stays).
    bool setBaudRate(int baud);
    // Drops what has come and, with COM Port Control, asks the server to drop what it holds.
    void purgeInput();
    // Hands what was written to the connection now, as far as it takes it without waiting.
    void sendWritten() { m_socket.flush(); }
    // Waits (the event loop runs) until what was written has been handed to the connection,
    // at most `ms`.
    void waitWritten(int ms = WrittenMs);
    // The server sets the line's rate: RFC 2217 with COM Port Control agreed.
    bool setsLineRate() const
    {
        return m_telnet && m_telnet->comPort() == TelnetComPort::ComPort::Agreed;
    }

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;

Q_SIGNALS:
    // The connection ended under an open port; the port has been closed.
    void lost(const QString& reason);

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    void received();
    void disconnected();
    // The line's bytes that came: kept up to MaxBacklog, the rest dropped and counted.
    void keep(const QByteArray& bytes);
    // The server broke the rules: the connection ends for `reason`.
    void fail(const QString& reason);
    // Runs the event loop until `done` holds, the connection ends or `ms` have passed.
    bool waitFor(int ms, const std::function<bool()>& done);
    // Says a warning the first time its cause comes; the rest are counted and said at close.
    void warnOnce(const char* cause, qint64 count = 1);
    void sendRaw(const QByteArray& bytes);
    QString socketReason() const;

    QTcpSocket m_socket;
    std::optional<TelnetComPort> m_telnet;
    NetworkPortName m_name;
    QByteArray m_input;
    // What the server may still send now: refilled at FloodBytesPerSecond up to
    // FloodBurstBytes, spent by every byte it sends.
    qint64 m_allowance = 0;
    QElapsedTimer m_refilled;
    bool m_rateAcknowledged = false;
    bool m_closing = false;
    bool m_opening = false; // open() is setting the remote line
    QString m_failure;      // why fail() ended the connection
    std::map<const char*, qint64> m_warnings; // the count of each cause said
};
