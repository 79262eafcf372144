#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QTcpSocket>

struct telnet_t;
union telnet_event_t;

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
// lost() when the connection ends under it.
class NetworkPort : public QIODevice
{
    Q_OBJECT

public:
    // The longest a connection may take before it is given up.
    static constexpr int ConnectMs = 3000;
    // How long the line's rate waits for the server to acknowledge it; a server that cannot
    // apply a setting may never answer, and the line goes on.
    static constexpr int RateAckMs = 500;

    explicit NetworkPort(QObject* parent = nullptr);
    ~NetworkPort() override;

    // Connects (the event loop runs meanwhile) and, for RFC 2217, sets the remote line to
    // `baud`, 8 data bits, no parity, one stop bit, no flow control. False with
    // errorString() saying why, in Russian.
    bool open(const NetworkPortName& name, int baud);
    void close() override;
    // RFC 2217: the remote line moves to `baud`. Raw TCP: the server's rate stays; false.
    bool setBaudRate(int baud);
    // Drops what has come and, for RFC 2217, asks the server to drop what it holds.
    void purgeInput();
    // Hands what is written to the connection now.
    void flushOut();
    bool setsLineRate() const { return m_name.kind == NetworkPortName::Rfc2217; }

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;

Q_SIGNALS:
    // The connection ended under an open port; the port has been closed.
    void lost(const QString& reason);

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    static void onTelnetEvent(telnet_t* telnet, telnet_event_t* event, void* self);
    void received();
    void comPortCommand(unsigned char command, const QByteArray& value);
    void sendLineSettings(int baud);
    QString socketReason() const;

    QTcpSocket m_socket;
    telnet_t* m_telnet = nullptr;
    NetworkPortName m_name;
    QByteArray m_input;
    bool m_rateAcknowledged = false;
    bool m_closing = false;
    bool m_opening = false; // open() is setting the remote line
};
