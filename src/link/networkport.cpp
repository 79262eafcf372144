#include "networkport.h"

#include "openfailure.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QRegularExpression>
#include <QTimer>

#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <libtelnet.h>

namespace {

const QString kRfc2217Scheme = QStringLiteral("rfc2217://");
const QString kTcpScheme = QStringLiteral("tcp://");

// Telnet COM Port Control: the option and the client's commands of it.
constexpr unsigned char ComPortOption = 44;
enum ComPortCommand : unsigned char
{
    SetBaudrate = 1,
    SetDatasize = 2,
    SetParity = 3,
    SetStopsize = 4,
    SetControl = 5,
    PurgeData = 12,
};
constexpr unsigned char ServerReply = 100; // a server's answer is the command plus 100
constexpr unsigned char ParityNone = 1;
constexpr unsigned char OneStopBit = 1;
constexpr unsigned char NoFlowControl = 1;
constexpr unsigned char PurgeReceived = 1;

// Binary both ways (a frame may hold any byte), no go-ahead, and the COM port option ours.
const telnet_telopt_t kOptions[] = {
    {TELNET_TELOPT_BINARY, TELNET_WILL, TELNET_DO},
    {TELNET_TELOPT_SGA, TELNET_WILL, TELNET_DO},
    {ComPortOption, TELNET_WILL, TELNET_DONT},
    {-1, 0, 0},
};

// Runs the event loop until `done` holds or `ms` have passed.
template <typename Sender, typename Signal, typename Done>
bool waitFor(Sender* sender, Signal signal, int ms, Done done)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        const qint64 left = ms - clock.elapsed();
        if (left <= 0)
            return false;
        QEventLoop loop;
        QTimer::singleShot(int(left), &loop, &QEventLoop::quit);
        QObject::connect(sender, signal, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

} // namespace

NetworkPortName NetworkPortName::parse(const QString& name)
{
    NetworkPortName parsed;
    QString rest;
    if (name.startsWith(kRfc2217Scheme, Qt::CaseInsensitive)) {
        parsed.kind = Rfc2217;
        rest = name.mid(kRfc2217Scheme.size());
    } else if (name.startsWith(kTcpScheme, Qt::CaseInsensitive)) {
        parsed.kind = RawTcp;
        rest = name.mid(kTcpScheme.size());
    } else {
        return parsed;
    }
    static const QRegularExpression address(
        QStringLiteral("^(?:\\[([0-9A-Fa-f:.]+)\\]|([A-Za-z0-9](?:[A-Za-z0-9.-]*[A-Za-z0-9])?))"
                       ":([0-9]{1,5})$"));
    const QRegularExpressionMatch match = address.match(rest);
    const uint port = match.captured(3).toUInt();
    const QString ipv6 = match.captured(1);
    if (!match.hasMatch() || port == 0 || port > 65535 ||
        (!ipv6.isEmpty() && QHostAddress(ipv6).protocol() != QAbstractSocket::IPv6Protocol)) {
        parsed.kind = Malformed;
        return parsed;
    }
    parsed.host = ipv6.isEmpty() ? match.captured(2) : ipv6;
    parsed.port = quint16(port);
    return parsed;
}

QString NetworkPortName::address() const
{
    const bool ipv6 = host.contains(QLatin1Char(':'));
    return (ipv6 ? QLatin1Char('[') + host + QLatin1Char(']') : host) + QLatin1Char(':') +
           QString::number(port);
}

QString NetworkPortName::malformedText(const QString& name)
{
    return NetworkPort::tr("неверное имя сетевого порта «%1»: нужно rfc2217://УЗЕЛ:ПОРТ или "
                           "tcp://УЗЕЛ:ПОРТ (IPv6 в квадратных скобках)")
        .arg(name);
}

NetworkPort::NetworkPort(QObject* parent) : QIODevice(parent)
{
    connect(&m_socket, &QTcpSocket::readyRead, this, &NetworkPort::received);
    connect(&m_socket, &QTcpSocket::disconnected, this, [this] {
        if (!isOpen() || m_closing)
            return;
        const QString reason = socketReason();
        close();
        if (!m_opening)
            emit lost(reason);
    });
}

NetworkPort::~NetworkPort()
{
    close();
}

// Why the connection failed or ended; the port's name, said beside it, gives the address.
QString NetworkPort::socketReason() const
{
    switch (m_socket.error()) {
    case QAbstractSocket::HostNotFoundError:
        return tr("узел %1 не найден").arg(m_name.host);
    case QAbstractSocket::ConnectionRefusedError:
        return tr("в соединении отказано (порт никто не слушает)");
    case QAbstractSocket::RemoteHostClosedError:
        return tr("сервер закрыл соединение");
    case QAbstractSocket::SocketTimeoutError:
        return tr("время ожидания истекло");
    default:
        return systemReasonText(m_socket.errorString());
    }
}

bool NetworkPort::open(const NetworkPortName& name, int baud)
{
    close();
    m_name = name;
    m_input.clear();
    m_closing = false;
    m_socket.connectToHost(name.host, name.port);
    const bool connected = waitFor(&m_socket, &QTcpSocket::stateChanged,
                                   ConnectMs, [this] {
                                       return m_socket.state() == QAbstractSocket::ConnectedState ||
                                              m_socket.state() ==
                                                  QAbstractSocket::UnconnectedState;
                                   });
    if (m_socket.state() != QAbstractSocket::ConnectedState) {
        setErrorString(connected ? socketReason()
                                 : tr("нет ответа за %1 с").arg(ConnectMs / 1000));
        m_socket.abort();
        return false;
    }
    // Each turnaround of the protocol is a few bytes: they go out at once.
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    QIODevice::open(QIODevice::ReadWrite | QIODevice::Unbuffered);
    if (name.kind == NetworkPortName::Rfc2217) {
        m_telnet = telnet_init(kOptions, &NetworkPort::onTelnetEvent, 0, this);
        for (const unsigned char option : {TELNET_TELOPT_BINARY, TELNET_TELOPT_SGA}) {
            telnet_negotiate(m_telnet, TELNET_WILL, option);
            telnet_negotiate(m_telnet, TELNET_DO, option);
        }
        telnet_negotiate(m_telnet, TELNET_WILL, ComPortOption);
        m_opening = true;
        sendLineSettings(baud);
        m_opening = false;
        // Gone while the line was being set: a failed open, not a lost port.
        if (!isOpen()) {
            setErrorString(socketReason());
            return false;
        }
    }
    qDebug() << "NetworkPort open" << name.address() << "rfc2217" << bool(m_telnet);
    return true;
}

void NetworkPort::close()
{
    m_closing = true;
    if (m_socket.state() == QAbstractSocket::ConnectedState)
        m_socket.flush();
    m_socket.abort();
    if (m_telnet) {
        telnet_free(m_telnet);
        m_telnet = nullptr;
    }
    m_input.clear();
    if (isOpen())
        QIODevice::close();
}

void NetworkPort::comPortCommand(unsigned char command, const QByteArray& value)
{
    const QByteArray body = char(command) + value;
    telnet_subnegotiation(m_telnet, ComPortOption, body.constData(), size_t(body.size()));
}

void NetworkPort::sendLineSettings(int baud)
{
    const quint32 rate = quint32(baud);
    const char rateBytes[4] = {char(rate >> 24), char(rate >> 16), char(rate >> 8), char(rate)};
    m_rateAcknowledged = false;
    comPortCommand(SetBaudrate, QByteArray(rateBytes, 4));
    comPortCommand(SetDatasize, QByteArray(1, char(8)));
    comPortCommand(SetParity, QByteArray(1, char(ParityNone)));
    comPortCommand(SetStopsize, QByteArray(1, char(OneStopBit)));
    comPortCommand(SetControl, QByteArray(1, char(NoFlowControl)));
    flushOut();
    // The rate must be in force before the first byte at it; the other settings are not
    // waited for (a server serving a pseudo-terminal never answers some of them).
    if (!waitFor(this, &NetworkPort::readyRead, RateAckMs,
                 [this] { return m_rateAcknowledged || !isOpen(); }))
        qWarning() << "NetworkPort: the server did not acknowledge the rate" << baud << "within"
                   << RateAckMs << "ms; going on";
}

bool NetworkPort::setBaudRate(int baud)
{
    if (!isOpen() || !m_telnet)
        return false;
    sendLineSettings(baud);
    return isOpen();
}

void NetworkPort::purgeInput()
{
    if (m_telnet && isOpen()) {
        comPortCommand(PurgeData, QByteArray(1, char(PurgeReceived)));
        flushOut();
    }
    m_input.clear();
}

void NetworkPort::flushOut()
{
    if (m_socket.state() == QAbstractSocket::ConnectedState)
        m_socket.flush();
}

qint64 NetworkPort::bytesAvailable() const
{
    return m_input.size() + QIODevice::bytesAvailable();
}

qint64 NetworkPort::readData(char* data, qint64 maxSize)
{
    const qint64 count = std::min<qint64>(maxSize, m_input.size());
    std::memcpy(data, m_input.constData(), size_t(count));
    m_input.remove(0, count);
    return count;
}

qint64 NetworkPort::writeData(const char* data, qint64 size)
{
    if (m_socket.state() != QAbstractSocket::ConnectedState)
        return -1;
    if (m_telnet)
        telnet_send(m_telnet, data, size_t(size)); // escapes FFh bytes as IAC IAC
    else
        m_socket.write(data, size);
    flushOut();
    return size;
}

void NetworkPort::received()
{
    const QByteArray bytes = m_socket.readAll();
    // The reply's next bytes must not wait for the server's small-packet rule (Nagle) to
    // see our acknowledgement, which the system would otherwise hold back for up to 40 ms.
    const int quick = 1;
    ::setsockopt(int(m_socket.socketDescriptor()), IPPROTO_TCP, TCP_QUICKACK, &quick,
                 sizeof quick);
    if (m_telnet)
        telnet_recv(m_telnet, bytes.constData(), size_t(bytes.size()));
    else
        m_input += bytes;
    if (!m_input.isEmpty())
        emit readyRead();
}

void NetworkPort::onTelnetEvent(telnet_t*, telnet_event_t* event, void* self)
{
    auto* port = static_cast<NetworkPort*>(self);
    switch (event->type) {
    case TELNET_EV_DATA:
        port->m_input.append(event->data.buffer, qsizetype(event->data.size));
        break;
    case TELNET_EV_SEND:
        port->m_socket.write(event->data.buffer, qint64(event->data.size));
        break;
    case TELNET_EV_SUBNEGOTIATION:
        if (event->sub.telopt == ComPortOption && event->sub.size >= 1 &&
            quint8(event->sub.buffer[0]) == ServerReply + SetBaudrate) {
            port->m_rateAcknowledged = true;
            emit port->readyRead(); // wakes the wait for it
        }
        break;
    case TELNET_EV_WARNING:
    case TELNET_EV_ERROR:
        qWarning() << "NetworkPort telnet:" << event->error.msg;
        break;
    default:
        break;
    }
}
