#pragma once

#include "deviceside.h"

#include <QElapsedTimer>
#include <QIODevice>
#include <QTimer>

#include <deque>

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

// The emulated registrar in the test's own thread, behind a QIODevice: the real device
// model and its side of the protocol, with the fault plan, but no pseudo-terminal and no
// second thread. What the device sends at once is readable as soon as the host's byte is
// written; what it sends after a pause (a held byte) comes from a timer of this thread, so
// the order of the host's waits and the device's pauses is the same on every run.
class InProcessDevice : public ByteQueueDevice
{
public:
    explicit InProcessDevice(const emu::FaultPlan& plan = {}) : side(model, plan)
    {
        m_clock.start();
        m_timer.setSingleShot(true);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] { release(); });
    }

    unsigned executions(uint8_t code) const { return model.executions(code); }

    emu::DeviceModel model;
    emu::DeviceSide side;

protected:
    qint64 writeData(const char* from, qint64 count) override
    {
        for (qint64 i = 0; i < count; ++i) {
            const auto outputs = side.receive({uint8_t(from[i])}, emu::DeviceSide::Clock::now());
            for (const emu::DeviceSide::Output& output : outputs) {
                const QByteArray bytes(reinterpret_cast<const char*>(output.bytes.data()),
                                       qsizetype(output.bytes.size()));
                // Bytes stay in order behind a held one.
                if (output.pauseMs <= 0 && m_later.empty()) {
                    deliver(bytes);
                    continue;
                }
                m_lastDue = std::max(m_clock.elapsed(), m_lastDue) + output.pauseMs;
                m_later.push_back({m_lastDue, bytes});
                if (!m_timer.isActive())
                    m_timer.start(int(m_later.front().due - m_clock.elapsed()));
            }
        }
        return count;
    }

private:
    struct Later
    {
        qint64 due;
        QByteArray bytes;
    };

    void release()
    {
        while (!m_later.empty() && m_later.front().due <= m_clock.elapsed()) {
            deliver(m_later.front().bytes);
            m_later.pop_front();
        }
        if (!m_later.empty())
            m_timer.start(int(std::max<qint64>(0, m_later.front().due - m_clock.elapsed())));
    }

    std::deque<Later> m_later;
    QElapsedTimer m_clock;
    qint64 m_lastDue = 0;
    QTimer m_timer;
};

} // namespace testsupport
