#include "networkport.h"

#include "eventwait.h"
#include "openfailure.h"

#include <QDebug>
#include <QEventLoop>
#include <QHostAddress>
#include <QRegularExpression>

#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace {

const QString kRfc2217Scheme = QStringLiteral("rfc2217://");
const QString kTcpScheme = QStringLiteral("tcp://");

// Causes of the warnings said once a connection.
constexpr char kDropped[] = "the link did not read the line's bytes; bytes dropped:";
constexpr char kNoRateAck[] = "the server did not acknowledge the line's rate within RateAckMs; "
                              "times:";

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
    connect(&m_socket, &QTcpSocket::disconnected, this, &NetworkPort::disconnected);
    // The system's buffer holds the rest; what is read is bounded by the backlog.
    m_socket.setReadBufferSize(FloodBurstBytes);
}

NetworkPort::~NetworkPort()
{
    close();
}

// Why the connection failed or ended; the port's name, said beside it, gives the address.
QString NetworkPort::socketReason() const
{
    if (!m_failure.isEmpty())
        return m_failure;
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

bool NetworkPort::waitFor(int ms, const std::function<bool()>& done)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        const qint64 left = ms - clock.elapsed();
        if (left <= 0)
            return false;
        const bool running = waitEvents(int(left), [this](QEventLoop& loop) {
            // received() is connected first: it has run when the loop quits.
            connect(&m_socket, &QTcpSocket::readyRead, &loop, &QEventLoop::quit);
            connect(&m_socket, &QTcpSocket::stateChanged, &loop, &QEventLoop::quit);
            connect(&m_socket, &QTcpSocket::bytesWritten, &loop, &QEventLoop::quit);
        });
        if (!running)
            return done();
    }
    return true;
}

bool NetworkPort::open(const NetworkPortName& name, int baud)
{
    close();
    m_name = name;
    m_input.clear();
    m_failure.clear();
    m_warnings.clear();
    m_closing = false;
    m_socket.connectToHost(name.host, name.port);
    const bool connected = waitFor(ConnectMs, [this] {
        return m_socket.state() == QAbstractSocket::ConnectedState ||
               m_socket.state() == QAbstractSocket::UnconnectedState;
    });
    if (m_socket.state() != QAbstractSocket::ConnectedState) {
        setErrorString(connected ? socketReason()
                                 : tr("нет ответа за %1 с").arg(ConnectMs / 1000));
        m_socket.abort();
        return false;
    }
    // Each turnaround of the protocol is a few bytes: they go out at once.
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_allowance = FloodBurstBytes;
    m_refilled.start();
    QIODevice::open(QIODevice::ReadWrite | QIODevice::Unbuffered);
    if (name.kind == NetworkPortName::Rfc2217) {
        m_opening = true;
        m_telnet.emplace();
        sendRaw(m_telnet->start());
        // The COM port commands only after the server's DO; no answer is a refusal.
        waitFor(RateAckMs, [this] {
            return !isOpen() || m_telnet->comPort() != TelnetComPort::ComPort::Asked;
        });
        if (isOpen()) {
            sendRaw(m_telnet->withdrawComPort());
            if (setsLineRate())
                setBaudRate(baud);
        }
        m_opening = false;
        // Gone while the line was being set: a failed open, not a lost port.
        if (!isOpen()) {
            setErrorString(socketReason());
            return false;
        }
    }
    qDebug() << "NetworkPort open" << name.address() << "rfc2217" << m_telnet.has_value()
             << "line rate set" << setsLineRate();
    return true;
}

bool NetworkPort::serverSetsRate(const NetworkPortName& name)
{
    NetworkPort port;
    // The rate itself is set by the probe that follows.
    return port.open(name, 9600) && port.setsLineRate();
}

void NetworkPort::waitWritten(int ms)
{
    if (m_socket.state() != QAbstractSocket::ConnectedState)
        return;
    m_socket.flush();
    waitFor(ms, [this] {
        return m_socket.state() != QAbstractSocket::ConnectedState || m_socket.bytesToWrite() == 0;
    });
}

void NetworkPort::close()
{
    m_closing = true;
    if (m_socket.state() == QAbstractSocket::ConnectedState) {
        waitWritten();
        // The end of the stream follows what was written, in order.
        ::shutdown(int(m_socket.socketDescriptor()), SHUT_WR);
    }
    m_socket.abort();
    m_telnet.reset();
    m_input.clear();
    for (const auto& [cause, count] : m_warnings)
        if (count > 1)
            qWarning() << "NetworkPort" << m_name.address() << cause << count << "in all";
    m_warnings.clear();
    if (isOpen())
        QIODevice::close();
}

void NetworkPort::disconnected()
{
    if (!isOpen() || m_closing)
        return;
    const QString reason = socketReason();
    close();
    if (!m_opening)
        emit lost(reason);
}

void NetworkPort::fail(const QString& reason)
{
    qWarning() << "NetworkPort" << m_name.address() << "ends the connection:" << reason;
    m_failure = reason;
    m_closing = true;
    m_socket.abort();
    m_closing = false;
    disconnected();
}

void NetworkPort::warnOnce(const char* cause, qint64 count)
{
    qint64& said = m_warnings[cause];
    if (said == 0)
        qWarning() << "NetworkPort" << m_name.address() << cause << count;
    said += count;
}

void NetworkPort::sendRaw(const QByteArray& bytes)
{
    if (!bytes.isEmpty() && m_socket.state() == QAbstractSocket::ConnectedState)
        m_socket.write(bytes);
}

bool NetworkPort::setBaudRate(int baud)
{
    if (!isOpen() || !setsLineRate())
        return false;
    m_rateAcknowledged = false;
    sendRaw(m_telnet->lineSettings(baud));
    m_socket.flush();
    // The rate must be in force before the first byte at it; the other settings are not
    // waited for (a server serving a pseudo-terminal never answers some of them).
    if (!waitFor(RateAckMs, [this] { return m_rateAcknowledged || !isOpen(); }))
        warnOnce(kNoRateAck);
    return isOpen();
}

void NetworkPort::purgeInput()
{
    if (isOpen() && m_telnet)
        sendRaw(m_telnet->purgeReceived());
    m_input.clear();
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
    // Written from the event loop or by sendWritten(): a frame queued byte by byte goes out
    // as one segment.
    m_socket.write(m_telnet ? m_telnet->encode(data, size) : QByteArray(data, int(size)));
    return size;
}

void NetworkPort::keep(const QByteArray& bytes)
{
    const qsizetype room = std::max<qsizetype>(0, MaxBacklog - m_input.size());
    m_input.append(bytes.constData(), std::min(room, bytes.size()));
    if (bytes.size() > room)
        warnOnce(kDropped, bytes.size() - room);
}

void NetworkPort::received()
{
    const QByteArray bytes = m_socket.readAll();
    if (bytes.isEmpty())
        return;
    // The reply's next bytes must not wait for the server's small-packet rule (Nagle) to
    // see our acknowledgement, which the system would otherwise hold back for up to 40 ms.
    const int quick = 1;
    ::setsockopt(int(m_socket.socketDescriptor()), IPPROTO_TCP, TCP_QUICKACK, &quick,
                 sizeof quick);
    // What the bytes are is said first: a subnegotiation without end is a protocol fault,
    // whatever its pace.
    TelnetComPort::Received telnet;
    if (m_telnet)
        telnet = m_telnet->receive(bytes.constData(), bytes.size());
    else
        telnet.data = bytes;
    if (!telnet.fault.isEmpty())
        return fail(telnet.fault);
    m_allowance = std::min(FloodBurstBytes,
                           m_allowance + m_refilled.restart() * FloodBytesPerSecond / 1000);
    m_allowance -= bytes.size();
    if (m_allowance < 0)
        return fail(tr("сервер шлёт данные без остановки"));
    sendRaw(telnet.reply);
    keep(telnet.data);
    m_rateAcknowledged = m_rateAcknowledged || telnet.rateAcknowledged;
    if (!m_input.isEmpty())
        emit readyRead();
}
