#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <functional>

// Follows an exchange between a host and the registrar that someone else carries, from the
// bytes of both directions as they pass, and tells what happens on the line: control bytes
// and what each answers, frames, and what is wrong. It never sends anything. The times are
// the caller's clock, in milliseconds.
class FrameFollower
{
public:
    // The protocol's wait for each byte of a frame after its STX; a longer gap cuts it.
    static constexpr int ByteWaitMs = 1000;
    // The link's wait for a reply's STX: a command answered later than this had no reply.
    static constexpr int ReplyWaitMs = 10000;

    enum class Side
    {
        Host,
        Device,
    };
    enum class Kind
    {
        Enq,
        Ack,
        Nak,
        Frame,       // a whole frame with a good checksum and LEN 1-255
        BadChecksum, // a whole frame whose CS byte is wrong
        ZeroLength,  // a frame with LEN 0
        CutFrame,    // a frame whose next byte did not come within the byte wait
        Stray,       // bytes that are no part of any frame
        NoReply,     // the device took a command and sent no reply
    };
    // What an ACK, a NAK or stray bytes answer.
    enum class Answer
    {
        Nothing, // nothing was asked
        Enq,     // the host's ENQ
        Frame,   // the frame the other side sent last
    };

    struct Event
    {
        Kind kind = Kind::Stray;
        Side side = Side::Host;
        qint64 timeMs = 0;  // when its first byte came (a cut frame and no reply: when seen)
        QByteArray bytes;   // the bytes on the line, STX to CS for a frame
        QByteArray payload; // a frame's payload
        Answer answer = Answer::Nothing;
        // A command frame: the same bytes as the command before it, which got no reply.
        bool resent = false;
        // A reply frame: the command it answers (empty when none was waiting for one: a
        // reply left pending from before) and how long after that command's last byte the
        // first reply to it began (this one, or the damaged one it repeats). The host's ACK
        // of that reply: the command too. No reply: the command that got none.
        QByteArray command;
        qint64 latencyMs = -1;
        // An ACK or NAK that answers a frame: that frame's payload (a good one only).
        QByteArray answered;
    };
    using Sink = std::function<void(const Event&)>;

    explicit FrameFollower(Sink sink) : m_sink(std::move(sink)) {}

    void feed(Side side, quint8 byte, qint64 timeMs);
    // Tells of the time passing without a byte: a frame left unfinished for the byte wait is
    // cut, a command without a reply for the reply wait is marked.
    void tick(qint64 timeMs);

private:
    // One direction's frame reader.
    struct Reader
    {
        enum class State
        {
            Idle,
            Length,
            Payload,
            Checksum,
        };
        State state = State::Idle;
        QByteArray frame; // STX onward
        qint64 frameStart = 0;
        qint64 lastByte = 0;
        QByteArray stray;
        qint64 strayStart = 0;
        Answer strayAnswer = Answer::Nothing;
    };
    Reader& reader(Side side) { return side == Side::Host ? m_host : m_device; }
    void readByte(Side side, quint8 byte, qint64 timeMs);
    void frameEnded(Side side, Kind kind, qint64 timeMs);
    void control(Side side, Kind kind, quint8 byte, qint64 timeMs);
    void commandFrame(Event& event, qint64 endMs);
    void replyFrame(Event& event);
    void hostMoved(qint64 timeMs);
    void cut(Side side, qint64 timeMs);
    void flushStray(Side side);
    // The device took the command and no reply has begun yet (nor been marked missing).
    bool awaitingReply() const;
    void markNoReply(qint64 timeMs);
    void emitEvent(Event event);

    Sink m_sink;
    Reader m_host;
    Reader m_device;
    // What the next answer of each side would answer.
    Answer m_deviceAnswers = Answer::Nothing;
    Answer m_hostAnswers = Answer::Nothing;
    QByteArray m_lastHostFrame;   // the last good frame of each side, for the ACK or NAK
    QByteArray m_lastDeviceFrame; // that answers it
    // The command last sent and where its exchange stands.
    QByteArray m_command;
    qint64 m_commandEnd = 0;
    bool m_commandTaken = false;    // the device acknowledged its frame
    bool m_replyStarted = false;    // a reply frame began after it
    qint64 m_replyStart = 0;        // when the first one did
    bool m_commandAnswered = false; // the host acknowledged a good reply to it
    bool m_noReplyMarked = false;
};
