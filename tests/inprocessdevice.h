#pragma once

#include "deviceside.h"
#include "link/linkclock.h"

#include <QIODevice>

#include <functional>
#include <map>

namespace testsupport {

// A device in the test's own thread whose readable bytes are a queue the test fills.
class ByteQueueDevice : public QIODevice
{
public:
    ByteQueueDevice() { open(QIODevice::ReadWrite | QIODevice::Unbuffered); }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return m_readable.size(); }

    // Bytes on the line that no exchange asked for.
    void stray(const QByteArray& bytes) { deliver(bytes); }

protected:
    void deliver(const QByteArray& bytes)
    {
        m_readable += bytes;
        emit readyRead();
    }
    qint64 readData(char* to, qint64 most) override
    {
        const qint64 count = std::min<qint64>(most, m_readable.size());
        std::copy_n(m_readable.constData(), count, to);
        m_readable.remove(0, count);
        return count;
    }

private:
    QByteArray m_readable;
};

// Virtual time: a wait jumps to its deadline or to the next event due before it, and runs
// that event, so an exchange of ten one-second attempts takes microseconds.
class VirtualClock : public LinkClock
{
public:
    qint64 nowMs() const override { return m_now; }
    qint64 nowUs() const override { return m_now * 1000; }
    bool waitUntil(qint64 deadlineMs, QIODevice&) override
    {
        if (m_due.empty() || m_due.begin()->first > deadlineMs) {
            m_now = std::max(m_now, deadlineMs);
            return true;
        }
        m_now = std::max(m_now, m_due.begin()->first);
        while (!m_due.empty() && m_due.begin()->first <= m_now) {
            const std::function<void()> event = std::move(m_due.begin()->second);
            m_due.erase(m_due.begin());
            event();
        }
        return true;
    }
    void wake() override {}
    // Runs `event` when the clock reaches `ms`; events due together run in the order given.
    void at(qint64 ms, std::function<void()> event) { m_due.emplace(ms, std::move(event)); }

private:
    qint64 m_now = 0;
    std::multimap<qint64, std::function<void()>> m_due;
};

// The emulated registrar in the test's own thread, behind a QIODevice, on virtual time: the
// real device model and its side of the protocol, with the fault plan, but no
// pseudo-terminal and no second thread. What the device sends at once is readable as soon as
// the host's byte is written; what it sends after a pause (a held byte) when the clock
// reaches it. The link given `clock` runs the same bytes and the same order of waits as on
// real time, at no cost of time.
class InProcessDevice : public ByteQueueDevice
{
public:
    explicit InProcessDevice(const emu::FaultPlan& plan = {}) : model(newModel()), side(model, plan)
    {
    }

    unsigned executions(uint8_t code) const { return model.executions(code); }

    emu::DeviceModel model;
    emu::DeviceSide side;
    VirtualClock clock;

protected:
    qint64 writeData(const char* from, qint64 count) override
    {
        for (qint64 i = 0; i < count; ++i) {
            const emu::DeviceSide::Clock::time_point now{std::chrono::milliseconds(clock.nowMs())};
            for (const emu::DeviceSide::Output& output : side.receive({uint8_t(from[i])}, now)) {
                const QByteArray bytes(reinterpret_cast<const char*>(output.bytes.data()),
                                       qsizetype(output.bytes.size()));
                // Bytes stay in order behind a held one.
                if (output.pauseMs <= 0 && m_held == 0) {
                    deliver(bytes);
                    continue;
                }
                m_lastDue = std::max(clock.nowMs(), m_lastDue) + output.pauseMs;
                ++m_held;
                clock.at(m_lastDue, [this, bytes] {
                    --m_held;
                    deliver(bytes);
                });
            }
        }
        return count;
    }

private:
    // A device as it leaves the factory, built once: a copy costs a fraction of building one,
    // which counts in the enumerations of thousands of exchanges.
    static const emu::DeviceModel& newModel()
    {
        static const emu::DeviceModel model;
        return model;
    }

    int m_held = 0; // pieces of output waiting for their time
    qint64 m_lastDue = 0;
};

} // namespace testsupport
