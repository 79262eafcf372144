#include "ptyemulator.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

namespace emu {

namespace {

speed_t speedOf(int baud)
{
    switch (baud) {
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

// Waits until `when` to within a few microseconds. A timer sleep alone wakes tens of
// microseconds late on a virtual machine, a third of a byte time at 115200 bit/s, and the
// paced line would then be slower than a real one: the last stretch is spun instead.
void waitUntil(DeviceSide::Clock::time_point when)
{
    constexpr auto spun = std::chrono::microseconds(60);
    if (DeviceSide::Clock::now() + spun < when)
        std::this_thread::sleep_until(when - spun);
    while (DeviceSide::Clock::now() < when)
        std::this_thread::yield();
}

} // namespace

PtyEmulator::PtyEmulator(FaultPlan plan, int baudRate)
    : m_side(m_model, plan), m_plan(std::move(plan))
{
    m_model.setBaudRate(baudRate);
}

PtyEmulator::~PtyEmulator()
{
    stop();
    if (!m_link.empty())
        ::unlink(m_link.c_str());
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
}

bool PtyEmulator::open(const std::string& linkPath)
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        m_error = std::string("posix_openpt: ") + std::strerror(errno);
        return false;
    }
    m_slaveName = ::ptsname(m_master);
    m_slave = ::open(m_slaveName.c_str(), O_RDWR | O_NOCTTY);
    termios settings{};
    if (m_slave < 0 || ::tcgetattr(m_slave, &settings) != 0) {
        m_error = m_slaveName + ": " + std::strerror(errno);
        return false;
    }
    ::cfmakeraw(&settings);
    ::cfsetspeed(&settings, speedOf(m_model.baudRate()));
    ::tcsetattr(m_slave, TCSANOW, &settings);
    if (!linkPath.empty()) {
        ::unlink(linkPath.c_str());
        if (::symlink(m_slaveName.c_str(), linkPath.c_str()) != 0) {
            m_error = linkPath + ": " + std::strerror(errno);
            return false;
        }
        m_link = linkPath;
    }
    return true;
}

std::string PtyEmulator::portPath() const
{
    return m_link.empty() ? m_slaveName : m_link;
}

void PtyEmulator::setSummaryHandler(std::function<void(const std::string&)> handler)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_side.onSummary = std::move(handler);
}

void PtyEmulator::start()
{
    m_running = true;
    m_thread = std::thread([this] { loop(); });
}

void PtyEmulator::stop()
{
    m_running = false;
    if (m_thread.joinable())
        m_thread.join();
}

unsigned PtyEmulator::lineSpeed() const
{
    termios settings{};
    if (::tcgetattr(m_slave, &settings) != 0)
        return B0;
    return ::cfgetispeed(&settings);
}

void PtyEmulator::sleepMs(int ms)
{
    const auto until = DeviceSide::Clock::now() + std::chrono::milliseconds(ms);
    while (m_running && DeviceSide::Clock::now() < until)
        std::this_thread::sleep_for(std::min<DeviceSide::Clock::duration>(
            until - DeviceSide::Clock::now(), std::chrono::milliseconds(20)));
}

void PtyEmulator::run()
{
    m_running = true;
    loop();
}

void PtyEmulator::loop()
{
    // Byte times at 115200 bit/s are 87 us: sleep with 1 us slack, not the default 50 us.
    ::prctl(PR_SET_TIMERSLACK, 1000UL, 0, 0, 0);
    uint8_t buffer[512];
    while (m_running) {
        pollfd fd{m_master, POLLIN, 0};
        if (::poll(&fd, 1, 50) <= 0 || !(fd.revents & POLLIN))
            continue;
        const ssize_t count = ::read(m_master, buffer, sizeof buffer);
        if (count <= 0)
            continue;
        serve(Bytes(buffer, buffer + count));
    }
}

void PtyEmulator::serve(const Bytes& bytes)
{
    std::vector<DeviceSide::Output> outputs;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto now = DeviceSide::Clock::now();
        if (m_plan.pace) {
            // The host's bytes reach the device only as fast as the line carries them.
            const auto byteTime = std::chrono::nanoseconds(10'000'000'000LL / m_model.baudRate());
            m_lineFree = std::max(m_lineFree, now) + byteTime * long(bytes.size());
            waitUntil(m_lineFree);
        }
        // Byte by byte: an ACK that moves the device to another rate makes it deaf to the
        // bytes the host sent after it at the old one. The line's own rate is read once: the
        // bytes of one read were all written at it.
        const unsigned line = lineSpeed();
        for (const uint8_t byte : bytes) {
            if (line == B0 || line != speedOf(m_model.baudRate())) {
                ++m_misheard;
                continue;
            }
            for (DeviceSide::Output& output : m_side.receive({byte}, DeviceSide::Clock::now()))
                outputs.push_back(std::move(output));
        }
    }
    for (const DeviceSide::Output& output : outputs)
        send(output);
}

void PtyEmulator::send(const DeviceSide::Output& output)
{
    if (output.pauseMs > 0)
        sleepMs(output.pauseMs);
    if (!m_plan.pace) {
        if (!output.bytes.empty() &&
            ::write(m_master, output.bytes.data(), output.bytes.size()) < 0)
            m_error = std::strerror(errno);
        return;
    }
    // Each byte leaves one byte time after the one before it, counted from the start of the
    // burst, so that a late wake-up is caught up rather than added to every later byte.
    const auto byteTime = std::chrono::nanoseconds(10'000'000'000LL / m_model.baudRate());
    m_lineFree = std::max(m_lineFree, DeviceSide::Clock::now());
    for (const uint8_t b : output.bytes) {
        m_lineFree += byteTime;
        waitUntil(m_lineFree);
        if (::write(m_master, &b, 1) < 0)
            m_error = std::strerror(errno);
    }
}

} // namespace emu
