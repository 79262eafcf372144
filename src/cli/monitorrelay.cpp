#include "monitorrelay.h"

#include "link/lowlatency.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

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
    return QString::fromLocal8Bit(std::strerror(errno));
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

int openSerial(const QString& name, int baud, QString* error)
{
    const QString path = name.startsWith(QLatin1Char('/')) ? name : QStringLiteral("/dev/") + name;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        *error = QStringLiteral("%1: %2").arg(path, systemError());
        return -1;
    }
    QString reason;
    if (!configure(fd, baud, &reason)) {
        *error = QStringLiteral("%1: %2").arg(path, reason);
        ::close(fd);
        return -1;
    }
    requestLowLatency(fd, &reason); // a pseudo-terminal has none; nothing is lost
    return fd;
}

void closeDescriptor(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

MonitorRelay::MonitorRelay()
{
    if (::pipe2(m_wake, O_NONBLOCK | O_CLOEXEC) != 0)
        m_wake[0] = m_wake[1] = -1;
}

MonitorRelay::~MonitorRelay()
{
    stop();
    closeDescriptor(m_device);
    closeDescriptor(m_host);
    closeDescriptor(m_ptySlave);
    closeDescriptor(m_wake[0]);
    closeDescriptor(m_wake[1]);
    if (!m_link.isEmpty())
        QFile::remove(m_link);
}

bool MonitorRelay::openDevice(const QString& name, int baud, QString* error)
{
    m_device = openSerial(name, baud, error);
    return m_device >= 0;
}

bool MonitorRelay::openHostPort(const QString& name, int baud, QString* error)
{
    m_host = openSerial(name, baud, error);
    m_hostIsSerial = true;
    return m_host >= 0;
}

bool MonitorRelay::openHostLink(const QString& linkPath, QString* error)
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        *error = QStringLiteral("posix_openpt: ") + systemError();
        if (master >= 0)
            ::close(master);
        return false;
    }
    m_host = master;
    const QByteArray slaveName = ::ptsname(master);
    m_ptySlave = ::open(slaveName.constData(), O_RDWR | O_NOCTTY);
    QString reason;
    if (m_ptySlave < 0 || !configure(m_ptySlave, 115200, &reason)) {
        *error = QStringLiteral("%1: %2").arg(QString::fromLocal8Bit(slaveName),
                                              reason.isEmpty() ? systemError() : reason);
        return false;
    }
    // Only a link is replaced: a file of another kind at the path is not ours to remove.
    const QFileInfo existing(linkPath);
    if (existing.isSymLink())
        QFile::remove(linkPath);
    else if (existing.exists()) {
        *error = QStringLiteral("%1: файл существует и не является ссылкой").arg(linkPath);
        return false;
    }
    if (::symlink(slaveName.constData(), QFile::encodeName(linkPath).constData()) != 0) {
        *error = QStringLiteral("%1: %2").arg(linkPath, systemError());
        return false;
    }
    m_link = linkPath;
    return true;
}

void MonitorRelay::start(QObject* context, std::function<void(const Chunk&)> received)
{
    m_context = context;
    m_received = std::move(received);
    m_running = true;
    m_thread = std::thread([this] { run(); });
}

void MonitorRelay::stop()
{
    if (!m_thread.joinable())
        return;
    m_running = false;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_wake[1], &byte, 1);
    m_thread.join();
}

bool MonitorRelay::setBaudRate(int baud, QString* error)
{
    // What was passed on goes out at the rate it was sent at.
    ::tcdrain(m_device);
    if (m_hostIsSerial)
        ::tcdrain(m_host);
    if (!configure(m_device, baud, error))
        return false;
    return !m_hostIsSerial || configure(m_host, baud, error);
}

bool MonitorRelay::writeAll(int fd, const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size_t(size));
        if (written > 0) {
            data += written;
            size -= written;
            continue;
        }
        if (written < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        pollfd out{fd, POLLOUT, 0};
        if (::poll(&out, 1, 1000) <= 0 && !m_running)
            return false;
    }
    return true;
}

void MonitorRelay::run()
{
    char buffer[512];
    while (m_running) {
        pollfd fds[3] = {{m_device, POLLIN, 0}, {m_host, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (::poll(fds, 3, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        for (int i = 0; i < 2; ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            const ssize_t count = ::read(fds[i].fd, buffer, sizeof buffer);
            if (count < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            if (count <= 0) {
                Chunk chunk;
                chunk.from = i == 0 ? Side::Device : Side::Host;
                chunk.timeMs = QDateTime::currentMSecsSinceEpoch();
                chunk.failure = count < 0 ? systemError() : QStringLiteral("порт закрыт");
                QMetaObject::invokeMethod(
                    m_context, [this, chunk] { m_received(chunk); }, Qt::QueuedConnection);
                m_running = false;
                return;
            }
            const qint64 timeMs = QDateTime::currentMSecsSinceEpoch();
            // Passed on first, looked at after.
            writeAll(i == 0 ? m_host : m_device, buffer, count);
            Chunk chunk;
            chunk.from = i == 0 ? Side::Device : Side::Host;
            chunk.bytes = QByteArray(buffer, int(count));
            chunk.timeMs = timeMs;
            QMetaObject::invokeMethod(
                m_context, [this, chunk] { m_received(chunk); }, Qt::QueuedConnection);
        }
    }
}
