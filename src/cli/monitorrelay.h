#pragma once

#include "link/framefollower.h"
#include "ratewatch.h"

#include <QByteArray>
#include <QSerialPort>
#include <QString>

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

// The monitor's two ends: the registrar's port and the other program's side, a second serial
// port or a pseudo-terminal of its own. A thread of its own passes every byte on to the other
// end as soon as it is read, unchanged, before anything looks at it; it never sends a byte of
// its own, and an end that cannot take more holds up only the bytes bound for it (one loop
// that never blocks on one side). What it passed on goes to the printer through a bounded
// queue: a printer that falls behind loses events (counted), never a byte of the line. The
// rate switch after the exchange parameters command is the relay's own.
class MonitorRelay
{
public:
    using Side = FrameFollower::Side;
    struct Event
    {
        enum Kind
        {
            Passed,      // bytes passed on
            Dropped,     // device bytes while no program had the host side open
            WriteFailed, // bytes an end would not take
            RateChanged, // both ends moved to `count` bit/s
            RateFailed,  // the move to `count` bit/s failed: `text` says why
            EndLost,     // an end failed (an adapter pulled out): `text`; the relay has stopped
            Skipped,     // `count` events the printer fell too far behind for
        };
        Kind kind = Passed;
        Side from = Side::Host;
        QByteArray bytes;
        qint64 timeMs = 0; // when it happened, milliseconds since the epoch
        int count = 0;
        QString text;
    };
    // Events waiting for the printer at most; beyond, bytes passed on are not shown.
    static constexpr size_t MaxQueued = 4096;

    MonitorRelay();
    // Stops the threads, closes both ends and removes the link to the pseudo-terminal when it
    // is still its own.
    ~MonitorRelay();
    MonitorRelay(const MonitorRelay&) = delete;
    MonitorRelay& operator=(const MonitorRelay&) = delete;

    // A serial port by its name ("ttyUSB0") or path, raw, 8 bits, no parity, one stop bit,
    // held with the lock and the exclusive mode the tool's own link takes.
    bool openDevice(const QString& name, int baud, QString* error);
    bool openHostPort(const QString& name, int baud, QString* error);
    // A new pseudo-terminal for a program on this machine, reached through a symlink at
    // `linkPath`; a path that exists already is refused.
    bool openHostLink(const QString& linkPath, QString* error);
    void setRateRule(const RateWatch::Rule& rule) { m_rates.setRule(rule); }

    // Starts passing bytes on.
    void start();
    void stop();
    // Readable when events wait: watch it and take them with takeEvents.
    int readyDescriptor() const { return m_ready; }
    // The events waiting, oldest first; a Skipped event first when some were lost.
    std::deque<Event> takeEvents();

private:
    struct End
    {
        int fd = -1;
        bool isPty = false;
        // Holds the port's lock and exclusive mode; the relay reads and writes `fd`.
        std::unique_ptr<QSerialPort> holder;
    };

    // Bytes read from one end and not yet taken by the other.
    struct Pending
    {
        int to = -1;
        Side from = Side::Host;
        QByteArray bytes;
    };

    // The relay's thread: relay() until it ends, then what it held back is queued.
    void run();
    void relay();
    // Reads what `from` holds; false when the end is lost.
    bool readFrom(Side from);
    void passOnHostBytes(const char* data, qint64 size, qint64 timeMs);
    void passOnDeviceBytes(const char* data, qint64 size, qint64 timeMs);
    // Writes what the other end takes now; the rest waits for it.
    void flush(Pending& pending);
    void pushPassed(Side from, const char* data, qint64 size, qint64 timeMs);
    void pushWriteFailed(Side from, const QByteArray& bytes, qint64 timeMs);
    void switchRate(int baud, qint64 timeMs);
    // Writes everything to `fd`, waiting while the end cannot take more; false when it failed.
    bool writeAll(int fd, const char* data, qint64 size);
    bool hostClosed() const;
    void push(Event event);
    // Moves the events held back into the queue when its lock is free at once (or, with
    // `waitForLock`, once it is); true when none are left held.
    bool releaseHeld(bool waitForLock = false);
    bool openSerialEnd(End& end, const QString& name, int baud, QString* error);

    End m_device;
    End m_host;
    QString m_link;
    QByteArray m_linkTarget;
    int m_wake[2] = {-1, -1};
    int m_hostOpened = -1; // inotify: the host link's terminal was opened
    std::atomic<bool> m_running{false};
    std::thread m_thread;
    Pending m_toDevice;
    Pending m_toHost;
    RateWatch m_rates;
    // The relay never waits for a lock the slower threads hold (they may be preempted while
    // holding it): events it cannot queue at once are held on its own side until it can.
    int m_ready = -1; // an eventfd, written when the queue stops being empty
    std::deque<Event> m_held;
    int m_skippedHeld = 0;
    std::mutex m_queueLock;
    std::deque<Event> m_queue;
    int m_skipped = 0;
};
