#pragma once

#include "link/framefollower.h"
#include "link/telnetcomport.h"
#include "ratewatch.h"

#include <QByteArray>
#include <QSerialPort>
#include <QString>

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

// The monitor's two ends: the registrar's port and the other program's side, a second serial
// port or a pseudo-terminal of its own. A thread of its own passes every byte on to the other
// end as soon as it is read, unchanged, before anything looks at it; it never sends a byte of
// its own, and an end that cannot take more holds up only the bytes bound for it (one loop
// that never blocks on one side). What it passed on goes to the printer through a bounded
// queue: a printer that falls behind loses events of every kind but the end (counted, and
// said), never a byte of the line. The rate switch after the exchange parameters command is
// the relay's own. The registrar's end may be a network port (RFC 2217 or raw TCP).
class MonitorRelay
{
public:
    using Side = FrameFollower::Side;
    struct Event
    {
        enum Kind
        {
            Passed,      // bytes passed on
            Dropped,     // `count` device bytes while no program had the host side open; the
                         // first of them in `bytes`
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
    // Events waiting for the printer at most; beyond, they are counted and skipped.
    static constexpr size_t MaxQueued = 4096;
    // The dropped bytes one Dropped event shows at most; dropped bytes in a row while one is
    // waiting join it.
    static constexpr int MaxShownDropped = 32;

    MonitorRelay();
    // Stops the threads, closes both ends and removes the link to the pseudo-terminal when it
    // is still its own.
    ~MonitorRelay();
    MonitorRelay(const MonitorRelay&) = delete;
    MonitorRelay& operator=(const MonitorRelay&) = delete;

    // A serial port by its name ("ttyUSB0") or path, raw, 8 bits, no parity, one stop bit,
    // held with the lock and the exclusive mode the tool's own link takes.
    // A network port name (rfc2217://, tcp://) connects to the server, and with RFC 2217 and
    // the server's agreement sets its line.
    bool openDevice(const QString& name, int baud, QString* error);
    // The registrar's end is a network port whose server keeps the line's rate.
    bool deviceRateIsServers() const;
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
        bool network = false;
        std::optional<TelnetComPort> telnet; // RFC 2217
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
    void pushDropped(const QByteArray& bytes, qint64 timeMs);
    // The host's bytes as they go to the registrar's end (Telnet's escapes for RFC 2217).
    QByteArray toDevice(const char* data, qint64 size) const;
    void switchRate(int baud, qint64 timeMs);
    // Writes everything to `fd`, waiting while the end cannot take more; false when it failed.
    bool writeAll(int fd, const char* data, qint64 size);
    bool hostClosed() const;
    void push(Event event);
    // Moves the events held back into the queue when its lock is free at once (or, with
    // `waitForLock`, once it is); true when none are left held.
    bool releaseHeld(bool waitForLock = false);
    bool openSerialEnd(End& end, const QString& name, int baud, QString* error);
    bool openNetworkDevice(const QString& name, int baud, QString* error);
    // Waits up to `ms` for the server's Telnet answers until `done` holds; false when the
    // connection failed (`error` says why).
    bool awaitServer(int ms, bool (*done)(const TelnetComPort::Received&, const TelnetComPort&),
                     QString* error);
    // Moves the registrar's line to `baud`: its port, or its server through RFC 2217.
    bool setDeviceRate(int baud, QString* error);
    // The registrar's bytes that came: Telnet undone for RFC 2217; false when its server
    // broke the protocol (`error`).
    bool deviceBytes(const char* data, qint64 size, QByteArray* bytes, QString* error);
    // Adds a Dropped event to the last waiting one when it is one too.
    static bool joinDropped(std::deque<Event>& events, Event& event);

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
