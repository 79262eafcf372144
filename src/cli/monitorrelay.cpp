#include "monitorrelay.h"

#include "link/frvelkor.h"
#include "link/lowlatency.h"
#include "link/networkport.h"
#include "link/openfailure.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int ReadSize = 512;
// While no program has the host side open, how often the relay looks whether one has.
constexpr int HostClosedPollMs = 20;
// How soon events held back for a busy queue are offered again.
constexpr int HeldRetryMs = 1;
// Before a rate switch: how long the ACK may take to leave, and the margin after it left for
// the registrar to take it at the old rate (the host's next bytes wait for the switch, so
// the margin delays them, it never sends them at the wrong rate).
constexpr int DrainMostMs = 200;
constexpr int HandledMarginUs = 20000;
// Bytes kept for an end that does not take them at most; past it the other end is not read.
constexpr qsizetype MaxPendingBytes = 64 * 1024;

speed_t speedOf(int baud)
{
    switch (baud) {
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return B0;
    }
}

QString systemError()
{
    return systemReasonText(QString::fromLocal8Bit(std::strerror(errno)));
}

qint64 nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

bool configure(int fd, int baud, QString* error)
{
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0) {
        *error = systemError();
        return false;
    }
    ::cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    settings.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS);
    settings.c_iflag &= ~(IXON | IXOFF | IXANY);
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    const speed_t speed = speedOf(baud);
    if (speed == B0) {
        *error = QStringLiteral("скорость %1 не поддерживается").arg(baud);
        return false;
    }
    if (::cfsetspeed(&settings, speed) != 0 || ::tcsetattr(fd, TCSANOW, &settings) != 0) {
        *error = systemError();
        return false;
    }
    return true;
}

void closeDescriptor(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// Small writes of the protocol's own (Telnet answers, COM port settings), in whole.
bool sendWhole(int fd, const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (written > 0) {
            done += written;
            continue;
        }
        pollfd out{fd, POLLOUT, 0};
        if ((written < 0 && errno != EAGAIN && errno != EINTR) || ::poll(&out, 1, 1000) <= 0)
            return false;
    }
    return true;
}

// A connection to `name`'s server within NetworkPort::ConnectMs, non-blocking; -1 with
// `error` set when there is none.
int connectTo(const NetworkPortName& name, QString* error)
{
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const QByteArray service = QByteArray::number(name.port);
    if (::getaddrinfo(name.host.toUtf8().constData(), service.constData(), &hints, &found) != 0) {
        *error = QStringLiteral("узел %1 не найден").arg(name.host);
        return -1;
    }
    int fd = -1;
    for (addrinfo* address = found; address && fd < 0; address = address->ai_next) {
        fd = ::socket(address->ai_family, address->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                      address->ai_protocol);
        if (fd < 0)
            continue;
        int failure = 0;
        if (::connect(fd, address->ai_addr, address->ai_addrlen) != 0) {
            failure = errno;
            pollfd out{fd, POLLOUT, 0};
            if (failure == EINPROGRESS && ::poll(&out, 1, NetworkPort::ConnectMs) == 1) {
                socklen_t size = sizeof failure;
                ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &failure, &size);
            } else if (failure == EINPROGRESS) {
                failure = ETIMEDOUT;
            }
        }
        if (failure != 0) {
            errno = failure;
            *error = systemError();
            closeDescriptor(fd);
        }
    }
    ::freeaddrinfo(found);
    if (fd >= 0) {
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    return fd;
}

} // namespace

MonitorRelay::MonitorRelay() : m_ready(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
{
    if (::pipe2(m_wake, O_NONBLOCK | O_CLOEXEC) != 0)
        m_wake[0] = m_wake[1] = -1;
}

MonitorRelay::~MonitorRelay()
{
    stop();
    closeDescriptor(m_device.fd);
    closeDescriptor(m_host.fd);
    closeDescriptor(m_wake[0]);
    closeDescriptor(m_wake[1]);
    closeDescriptor(m_ready);
    closeDescriptor(m_hostOpened);
    // Removed only while it still leads to this monitor's pseudo-terminal.
    if (!m_link.isEmpty() && QFile::symLinkTarget(m_link) == QFile::decodeName(m_linkTarget))
        QFile::remove(m_link);
}

bool MonitorRelay::openSerialEnd(End& end, const QString& name, int baud, QString* error)
{
    const QString path = portSystemPath(name);
    // The relay's own descriptor comes first: the port library's exclusive mode, set next,
    // refuses every later opener, this program's too.
    end.fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (end.fd < 0) {
        *error = QStringLiteral("%1: %2").arg(path, systemError());
        return false;
    }
    // The port library holds the port as the tool's link does (its lock file and exclusive
    // mode), so the tool, velkor-cli and another monitor are told it is busy. It only writes,
    // so it never reads a byte meant for the relay.
    end.holder = std::make_unique<QSerialPort>(path);
    end.holder->setBaudRate(baud);
    if (!end.holder->open(QIODevice::WriteOnly)) {
        *error = openFailureReason(name, end.holder->error(), end.holder->errorString());
        end.holder.reset();
        closeDescriptor(end.fd);
        return false;
    }
    QString reason;
    if (!configure(end.fd, baud, &reason)) {
        *error = QStringLiteral("%1: %2").arg(path, reason);
        end.holder.reset();
        closeDescriptor(end.fd);
        return false;
    }
    requestLowLatency(end.fd, &reason); // a pseudo-terminal has none; nothing is lost
    return true;
}

bool MonitorRelay::openDevice(const QString& name, int baud, QString* error)
{
    if (NetworkPortName::parse(name).kind == NetworkPortName::Malformed) {
        *error = NetworkPortName::malformedText(name);
        return false;
    }
    if (NetworkPortName::parse(name).isNetwork())
        return openNetworkDevice(name, baud, error);
    return openSerialEnd(m_device, name, baud, error);
}

bool MonitorRelay::deviceRateIsServers() const
{
    return m_device.network &&
           !(m_device.telnet && m_device.telnet->comPort() == TelnetComPort::ComPort::Agreed);
}

bool MonitorRelay::openNetworkDevice(const QString& name, int baud, QString* error)
{
    const NetworkPortName network = NetworkPortName::parse(name);
    m_device.network = true;
    m_device.fd = connectTo(network, error);
    if (m_device.fd < 0) {
        *error = QStringLiteral("%1: %2").arg(network.address(), *error);
        return false;
    }
    if (network.kind != NetworkPortName::Rfc2217)
        return true;
    TelnetComPort& telnet = m_device.telnet.emplace();
    // The COM port commands only after the server's DO; no answer is a refusal.
    if (!sendWhole(m_device.fd, telnet.start()) ||
        !awaitServer(NetworkPort::RateAckMs,
                     [](const TelnetComPort::Received&, const TelnetComPort& line) {
                         return line.comPort() != TelnetComPort::ComPort::Asked;
                     },
                     error))
        return false;
    if (!sendWhole(m_device.fd, telnet.withdrawComPort()))
        return false;
    return !deviceRateIsServers() ? setDeviceRate(baud, error) : true;
}

bool MonitorRelay::awaitServer(int ms,
                               bool (*done)(const TelnetComPort::Received&, const TelnetComPort&),
                               QString* error)
{
    // Before the relay runs (and at a rate switch, when the host's bytes wait for it): what
    // the registrar says meanwhile is nothing it was asked for, and is dropped.
    const qint64 until = nowMs() + ms;
    for (qint64 left = ms; left > 0; left = until - nowMs()) {
        pollfd in{m_device.fd, POLLIN, 0};
        if (::poll(&in, 1, int(left)) <= 0)
            continue;
        char buffer[ReadSize];
        const ssize_t count = ::read(m_device.fd, buffer, sizeof buffer);
        if (count == 0 || (count < 0 && errno != EAGAIN && errno != EINTR)) {
            *error = count == 0 ? QStringLiteral("сервер закрыл соединение") : systemError();
            return false;
        }
        const TelnetComPort::Received received =
            m_device.telnet->receive(buffer, std::max<ssize_t>(count, 0));
        if (!received.fault.isEmpty()) {
            *error = received.fault;
            return false;
        }
        if (!sendWhole(m_device.fd, received.reply)) {
            *error = systemError();
            return false;
        }
        if (done(received, *m_device.telnet))
            return true;
    }
    return true; // no answer: the line goes on
}

bool MonitorRelay::setDeviceRate(int baud, QString* error)
{
    if (!m_device.network)
        return configure(m_device.fd, baud, error);
    if (deviceRateIsServers()) {
        *error = FrVelkor::serverRateChangeText(QStringLiteral("ФР"));
        return false;
    }
    if (!sendWhole(m_device.fd, m_device.telnet->lineSettings(baud))) {
        *error = systemError();
        return false;
    }
    // As the link does: the rate is waited for, the other settings are not.
    return awaitServer(
        NetworkPort::RateAckMs,
        [](const TelnetComPort::Received& received, const TelnetComPort&) {
            return received.rateAcknowledged;
        },
        error);
}

bool MonitorRelay::deviceBytes(const char* data, qint64 size, QByteArray* bytes, QString* error)
{
    if (!m_device.telnet) {
        *bytes = QByteArray(data, int(size));
        return true;
    }
    const TelnetComPort::Received received = m_device.telnet->receive(data, size);
    *bytes = received.data;
    m_toDevice.bytes += received.reply;
    *error = received.fault;
    return received.fault.isEmpty();
}

bool MonitorRelay::openHostPort(const QString& name, int baud, QString* error)
{
    return openSerialEnd(m_host, name, baud, error);
}

bool MonitorRelay::openHostLink(const QString& linkPath, QString* error)
{
    // Whatever stands at the path (a link of another monitor, a file) is not ours to replace.
    const QFileInfo existing(linkPath);
    if (existing.exists() || existing.isSymLink()) {
        *error = QStringLiteral("%1: путь уже занят; укажите другой или удалите его").arg(linkPath);
        return false;
    }
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        *error = QStringLiteral("posix_openpt: ") + systemError();
        if (master >= 0)
            ::close(master);
        return false;
    }
    m_host.fd = master;
    m_host.isPty = true;
    const QByteArray slaveName = ::ptsname(master);
    // The slave is configured once through a descriptor of its own, then let go: bytes the
    // device sends while no program has it open are dropped, as on a real line.
    const int slave = ::open(slaveName.constData(), O_RDWR | O_NOCTTY);
    QString reason;
    const bool configured = slave >= 0 && configure(slave, 115200, &reason);
    if (slave >= 0)
        ::close(slave);
    if (!configured) {
        *error = QStringLiteral("%1: %2").arg(QString::fromLocal8Bit(slaveName),
                                              reason.isEmpty() ? systemError() : reason);
        return false;
    }
    // A program opening its side is told at once, not at the next look for a hang-up: the
    // first byte it sends is passed on without that wait.
    m_hostOpened = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_hostOpened >= 0 && ::inotify_add_watch(m_hostOpened, slaveName.constData(), IN_OPEN) < 0)
        closeDescriptor(m_hostOpened);
    if (::symlink(slaveName.constData(), QFile::encodeName(linkPath).constData()) != 0) {
        *error = QStringLiteral("%1: %2").arg(linkPath, systemError());
        return false;
    }
    m_link = linkPath;
    m_linkTarget = slaveName;
    return true;
}

void MonitorRelay::start()
{
    m_toDevice = {m_device.fd, Side::Host, {}};
    m_toHost = {m_host.fd, Side::Device, {}};
    m_running = true;
    m_thread = std::thread([this] { run(); });
}

void MonitorRelay::stop()
{
    m_running = false;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_wake[1], &byte, 1);
    if (m_thread.joinable())
        m_thread.join();
}

std::deque<MonitorRelay::Event> MonitorRelay::takeEvents()
{
    eventfd_t signalled = 0;
    ::eventfd_read(m_ready, &signalled);
    std::deque<Event> events;
    int skipped = 0;
    {
        // Held for a swap only.
        std::lock_guard<std::mutex> lock(m_queueLock);
        events.swap(m_queue);
        skipped = std::exchange(m_skipped, 0);
    }
    if (skipped > 0) {
        Event event;
        event.kind = Event::Skipped;
        event.count = skipped;
        event.timeMs = nowMs();
        events.push_front(std::move(event));
    }
    return events;
}

bool MonitorRelay::joinDropped(std::deque<Event>& events, Event& event)
{
    if (event.kind != Event::Dropped || events.empty() || events.back().kind != Event::Dropped)
        return false;
    Event& last = events.back();
    last.count += event.count;
    last.bytes += event.bytes.left(MaxShownDropped - last.bytes.size());
    return true;
}

void MonitorRelay::push(Event event)
{
    // Every kind is bounded (a line's noise makes events of any kind without end); only the
    // end, which comes once, is never lost.
    if (joinDropped(m_held, event))
        return;
    if (event.kind != Event::EndLost && m_held.size() >= MaxQueued) {
        ++m_skippedHeld;
        return;
    }
    m_held.push_back(std::move(event));
    releaseHeld();
}

bool MonitorRelay::releaseHeld(bool waitForLock)
{
    if (m_held.empty() && m_skippedHeld == 0)
        return true;
    std::unique_lock<std::mutex> lock(m_queueLock, std::defer_lock);
    if (waitForLock)
        lock.lock();
    else if (!lock.try_lock())
        return false;
    const bool first = m_queue.empty();
    m_skipped += std::exchange(m_skippedHeld, 0);
    for (Event& event : m_held) {
        if (joinDropped(m_queue, event))
            continue;
        if (event.kind != Event::EndLost && m_queue.size() >= MaxQueued)
            ++m_skipped;
        else
            m_queue.push_back(std::move(event));
    }
    m_held.clear();
    lock.unlock();
    // An eventfd's write takes no lock another thread may hold while preempted.
    if (first)
        ::eventfd_write(m_ready, 1);
    return true;
}

bool MonitorRelay::hostClosed() const
{
    if (!m_host.isPty)
        return false;
    // A pseudo-terminal's master hangs up while no program has the slave open.
    pollfd master{m_host.fd, POLLOUT, 0};
    return ::poll(&master, 1, 0) > 0 && (master.revents & POLLHUP);
}

bool MonitorRelay::writeAll(int fd, const char* data, qint64 size)
{
    while (size > 0 && m_running) {
        const ssize_t written = ::write(fd, data, size_t(size));
        if (written > 0) {
            data += written;
            size -= written;
            continue;
        }
        if (written < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        pollfd out[2] = {{fd, POLLOUT, 0}, {m_wake[0], POLLIN, 0}};
        ::poll(out, 2, 1000);
    }
    return size == 0;
}

void MonitorRelay::switchRate(int baud, qint64 timeMs)
{
    // The ACK is on the device's line at the old rate first: the registrar switches once it
    // has it, and what the host sends after it goes out at the new rate (this thread passes
    // nothing more from the host until then). A pseudo-terminal is drained when the other side
    // has read the byte, not handled it: a moment more for that.
    ::tcdrain(m_device.fd);
    for (int waited = 0; waited < DrainMostMs; ++waited) {
        int queued = 0;
        if (::ioctl(m_device.fd, TIOCOUTQ, &queued) != 0 || queued == 0)
            break;
        ::usleep(1000);
    }
    ::usleep(HandledMarginUs);
    QString error;
    const bool moved =
        setDeviceRate(baud, &error) && (m_host.isPty || configure(m_host.fd, baud, &error));
    Event event;
    event.kind = moved ? Event::RateChanged : Event::RateFailed;
    event.count = baud;
    event.text = error;
    event.timeMs = timeMs;
    push(std::move(event));
}

void MonitorRelay::pushPassed(Side from, const char* data, qint64 size, qint64 timeMs)
{
    Event passed;
    passed.from = from;
    passed.bytes = QByteArray(data, int(size));
    passed.timeMs = timeMs;
    push(std::move(passed));
}

void MonitorRelay::pushDropped(const QByteArray& bytes, qint64 timeMs)
{
    Event dropped;
    dropped.kind = Event::Dropped;
    dropped.from = Side::Device;
    dropped.count = int(bytes.size());
    dropped.bytes = bytes.left(MaxShownDropped);
    dropped.timeMs = timeMs;
    push(std::move(dropped));
}

QByteArray MonitorRelay::toDevice(const char* data, qint64 size) const
{
    return m_device.telnet ? m_device.telnet->encode(data, size) : QByteArray(data, int(size));
}

void MonitorRelay::pushWriteFailed(Side from, const QByteArray& bytes, qint64 timeMs)
{
    Event failed;
    failed.kind = Event::WriteFailed;
    failed.from = from;
    failed.bytes = bytes;
    failed.text = systemError();
    failed.timeMs = timeMs;
    push(std::move(failed));
}

void MonitorRelay::flush(Pending& pending)
{
    while (!pending.bytes.isEmpty()) {
        const ssize_t written =
            ::write(pending.to, pending.bytes.constData(), size_t(pending.bytes.size()));
        if (written > 0) {
            pending.bytes.remove(0, written);
            continue;
        }
        if (written < 0 && (errno == EAGAIN || errno == EINTR))
            return; // the end takes the rest when it can
        pushWriteFailed(pending.from, pending.bytes, nowMs());
        pending.bytes.clear();
    }
}

// Each piece is queued for the printer before it is written, so the printer sees the line's
// events in the order the line had them; queuing never waits.
void MonitorRelay::passOnHostBytes(const char* data, qint64 size, qint64 timeMs)
{
    qint64 done = 0;
    for (qint64 i = 0; i < size; ++i) {
        const int baud = m_rates.hostByte(quint8(data[i]), timeMs);
        if (baud == 0)
            continue;
        // Everything up to the ACK goes out at the old rate before the switch.
        pushPassed(Side::Host, data + done, i + 1 - done, timeMs);
        m_toDevice.bytes += toDevice(data + done, i + 1 - done);
        if (!writeAll(m_device.fd, m_toDevice.bytes.constData(), m_toDevice.bytes.size()))
            pushWriteFailed(Side::Host, m_toDevice.bytes, timeMs);
        m_toDevice.bytes.clear();
        done = i + 1;
        switchRate(baud, timeMs);
    }
    if (done == size)
        return;
    pushPassed(Side::Host, data + done, size - done, timeMs);
    m_toDevice.bytes += toDevice(data + done, size - done);
    flush(m_toDevice);
}

void MonitorRelay::passOnDeviceBytes(const char* data, qint64 size, qint64 timeMs)
{
    for (qint64 i = 0; i < size; ++i)
        m_rates.deviceByte(quint8(data[i]), timeMs);
    if (hostClosed())
        return pushDropped(QByteArray(data, int(size)), timeMs);
    pushPassed(Side::Device, data, size, timeMs);
    m_toHost.bytes.append(data, int(size));
    flush(m_toHost);
}

bool MonitorRelay::readFrom(Side from)
{
    const End& in = from == Side::Device ? m_device : m_host;
    char buffer[ReadSize];
    const ssize_t count = ::read(in.fd, buffer, sizeof buffer);
    if (count < 0 && (errno == EAGAIN || errno == EINTR || (in.isPty && errno == EIO)))
        return true; // nothing after all, or a pseudo-terminal's program just closed its side
    const qint64 timeMs = nowMs();
    QString failure = count < 0 ? systemError()
                                : (in.network ? QStringLiteral("сервер закрыл соединение")
                                              : QStringLiteral("порт закрыт"));
    if (count > 0 && from == Side::Host) {
        passOnHostBytes(buffer, count, timeMs);
        return true;
    }
    if (count > 0) {
        QByteArray bytes;
        const bool sound = deviceBytes(buffer, count, &bytes, &failure);
        flush(m_toDevice); // the server's answers
        if (!bytes.isEmpty())
            passOnDeviceBytes(bytes.constData(), bytes.size(), timeMs);
        if (sound)
            return true;
    }
    Event lost;
    lost.kind = Event::EndLost;
    lost.from = from;
    lost.text = failure;
    lost.timeMs = timeMs;
    push(std::move(lost));
    return false;
}

void MonitorRelay::run()
{
    relay();
    // The relay has ended (stopped, or an end lost): what it held back, the lost end's event
    // among it, must reach the main thread now, even if that means waiting for the lock.
    releaseHeld(true);
}

void MonitorRelay::relay()
{
    while (m_running) {
        const bool hostGone = hostClosed();
        // Taken by no program: lost as on a real line, and told.
        if (hostGone && !m_toHost.bytes.isEmpty())
            pushDropped(std::exchange(m_toHost.bytes, QByteArray()), nowMs());
        // An end is read only while what it sent is taken by the other, so the bytes wait in
        // the system's buffers, not here; a master without its program reports a hang-up at
        // once and is left out of the wait.
        const short deviceEvents = short((m_toHost.bytes.size() < MaxPendingBytes ? POLLIN : 0) |
                                         (m_toDevice.bytes.isEmpty() ? 0 : POLLOUT));
        const short hostEvents = short((m_toDevice.bytes.size() < MaxPendingBytes ? POLLIN : 0) |
                                       (m_toHost.bytes.isEmpty() ? 0 : POLLOUT));
        pollfd fds[4] = {{m_device.fd, deviceEvents, 0},
                         {hostGone ? -1 : m_host.fd, hostEvents, 0},
                         {m_wake[0], POLLIN, 0},
                         {hostGone ? m_hostOpened : -1, POLLIN, 0}};
        // Events held back are offered again shortly, bytes or none.
        const bool held = !releaseHeld();
        const int waitMs = held ? HeldRetryMs : hostGone ? HostClosedPollMs : -1;
        if (::poll(fds, 4, waitMs) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[2].revents)
            continue;
        if (fds[3].revents) {
            char notices[4096];
            while (::read(m_hostOpened, notices, sizeof notices) > 0) {
            }
            continue;
        }
        if (fds[0].revents & POLLOUT)
            flush(m_toDevice);
        if (fds[1].revents & POLLOUT)
            flush(m_toHost);
        const bool lost =
            ((fds[0].revents & (POLLIN | POLLHUP | POLLERR)) && !readFrom(Side::Device)) ||
            ((fds[1].revents & (POLLIN | POLLHUP | POLLERR)) && !readFrom(Side::Host));
        if (lost)
            m_running = false;
    }
}
