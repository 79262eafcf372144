#pragma once

#include <QByteArray>

#include <map>
#include <mutex>

// Follows the frames of both directions just far enough to see the host acknowledge a good
// reply to the exchange parameters command, and tells the rate both ends then move to, as
// the registrar does once it has that ACK. Fed by the relay's thread, byte by byte as it
// passes them on.
class RateWatch
{
public:
    struct Rule
    {
        quint8 code = 0x14;
        int portOffset = -1; // the command's port byte; -1 when the command has none
        int devicePort = 0;  // the port number the registrar's line is
        int rateOffset = -1; // the command's rate byte; -1: never a switch
        std::map<quint8, int> rates; // the rate byte's symbol values, in bit/s
    };

    void setRule(const Rule& rule);
    // A byte the host sent; the rate to move to once it has gone out, or 0.
    int hostByte(quint8 byte, qint64 timeMs);
    void deviceByte(quint8 byte, qint64 timeMs);

private:
    // One direction's frames: STX, LEN, payload, XOR checksum.
    struct FrameReader
    {
        enum State
        {
            Idle,
            Length,
            Payload,
            Checksum
        };
        State state = Idle;
        QByteArray payload;
        int length = 0;
        quint8 sum = 0;
        qint64 lastMs = 0;
        // True when the byte completed a frame with a good checksum.
        bool feed(quint8 byte, qint64 timeMs);
    };

    std::mutex m_lock;
    Rule m_rule;
    FrameReader m_host;
    FrameReader m_device;
    QByteArray m_command; // the host's last whole frame
    QByteArray m_reply;   // the device's good reply to it, until the host's ACK
};
