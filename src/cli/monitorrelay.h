#pragma once

#include "link/framefollower.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <thread>

// The monitor's two ends: the registrar's port and the other program's side, a second serial
// port or a pseudo-terminal of its own. A thread of its own passes every byte on to the
// other end as soon as it is read, unchanged, whatever the program does meanwhile with what
// it saw; it never sends a byte of its own.
class MonitorRelay
{
public:
    using Side = FrameFollower::Side;
    struct Chunk
    {
        Side from = Side::Host;
        QByteArray bytes;
        qint64 timeMs = 0; // when it was read, milliseconds since the epoch
        // Set on the last chunk when an end failed (an adapter pulled out): what the system
        // said. Nothing is passed on after it.
        QString failure;
    };

    MonitorRelay();
    // Stops the thread, closes both ends and removes the link to the pseudo-terminal.
    ~MonitorRelay();
    MonitorRelay(const MonitorRelay&) = delete;
    MonitorRelay& operator=(const MonitorRelay&) = delete;

    // A serial port by its name ("ttyUSB0") or path, raw, 8 bits, no parity, one stop bit.
    bool openDevice(const QString& name, int baud, QString* error);
    bool openHostPort(const QString& name, int baud, QString* error);
    // A new pseudo-terminal for a program on this machine, reached through a symlink at
    // `linkPath` (replaced when it is a link already).
    bool openHostLink(const QString& linkPath, QString* error);

    // Starts passing bytes on; every chunk read is handed to `received` on the thread of
    // `context`, in order.
    void start(QObject* context, std::function<void(const Chunk&)> received);
    void stop();
    // Both serial ends to another rate (a pseudo-terminal has none of its own).
    bool setBaudRate(int baud, QString* error);

private:
    void run();
    // Writes everything to `fd`, waiting while the end cannot take more.
    bool writeAll(int fd, const char* data, qint64 size);

    int m_device = -1;
    int m_host = -1;
    bool m_hostIsSerial = false;
    int m_ptySlave = -1; // held open, so the other program's closing does not end the link
    QString m_link;
    int m_wake[2] = {-1, -1};
    std::atomic<bool> m_running{false};
    std::thread m_thread;
    QObject* m_context = nullptr;
    std::function<void(const Chunk&)> m_received;
};
