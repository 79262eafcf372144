#include "framefollower.h"

#include "frvelkor.h"

namespace {

constexpr quint8 STX = FrVelkor::STX;
constexpr quint8 ENQ = FrVelkor::ENQ;
constexpr quint8 ACK = FrVelkor::ACK;
constexpr quint8 NAK = FrVelkor::NAK;
// Stray bytes are told as one event once their side has been quiet this long (the link's
// own quiet wait when it drops bytes), and at least this often and this many at a time on a
// line that never falls quiet, so they never pile up.
constexpr int StrayQuietMs = 100;
constexpr int StrayMostBytes = 256;

} // namespace

void FrameFollower::feed(Side side, quint8 byte, qint64 timeMs)
{
    tick(timeMs);
    readByte(side, byte, timeMs);
    reader(side).lastByte = timeMs;
}

void FrameFollower::tick(qint64 timeMs)
{
    for (const Side side : {Side::Host, Side::Device}) {
        Reader& r = reader(side);
        if (r.state != Reader::State::Idle && timeMs - r.lastByte > ByteWaitMs)
            cut(side, r.lastByte + ByteWaitMs);
        if (!r.stray.isEmpty() && timeMs - r.strayStart >= StrayQuietMs)
            flushStray(side);
    }
    if (awaitingReply() && timeMs - m_commandEnd > ReplyWaitMs)
        markNoReply(m_commandEnd + ReplyWaitMs);
}

void FrameFollower::readByte(Side side, quint8 byte, qint64 timeMs)
{
    Reader& r = reader(side);
    switch (r.state) {
    case Reader::State::Idle:
        if (byte == STX) {
            r.state = Reader::State::Length;
            r.frame = QByteArray(1, char(byte));
            r.frameStart = timeMs;
            if (side == Side::Device && !m_replyStarted) {
                m_replyStarted = true;
                m_replyStart = timeMs;
            }
        } else if (byte == ENQ && side == Side::Host) {
            control(side, Kind::Enq, byte, timeMs);
        } else if (byte == ACK || byte == NAK) {
            control(side, byte == ACK ? Kind::Ack : Kind::Nak, byte, timeMs);
        } else {
            if (r.stray.isEmpty()) {
                r.strayStart = timeMs;
                // Bytes in the place of an answer answer what was asked.
                Answer& asked = side == Side::Device ? m_deviceAnswers : m_hostAnswers;
                r.strayAnswer = asked;
                asked = Answer::Nothing;
            }
            r.stray.append(char(byte));
            if (r.stray.size() >= StrayMostBytes)
                flushStray(side);
        }
        return;
    case Reader::State::Length:
        r.frame.append(char(byte));
        if (byte != 0) {
            r.state = Reader::State::Payload;
        } else if (side == Side::Device) {
            // The host stops reading a reply at its LEN 0; a device reads the CS that
            // follows the LEN 0 of an empty command.
            r.state = Reader::State::Idle;
            frameEnded(side, Kind::ZeroLength, timeMs);
        } else {
            r.state = Reader::State::Checksum;
        }
        return;
    case Reader::State::Payload:
        r.frame.append(char(byte));
        if (r.frame.size() == 2 + quint8(r.frame.at(1)))
            r.state = Reader::State::Checksum;
        return;
    case Reader::State::Checksum: {
        quint8 sum = 0;
        for (int i = 1; i < r.frame.size(); ++i)
            sum ^= quint8(r.frame.at(i));
        r.frame.append(char(byte));
        r.state = Reader::State::Idle;
        const Kind kind = r.frame.at(1) == 0 ? Kind::ZeroLength
                          : sum == byte      ? Kind::Frame
                                             : Kind::BadChecksum;
        frameEnded(side, kind, timeMs);
        return;
    }
    }
}

void FrameFollower::frameEnded(Side side, Kind kind, qint64 timeMs)
{
    Reader& r = reader(side);
    Event event;
    event.kind = kind;
    event.side = side;
    event.timeMs = r.frameStart;
    event.bytes = r.frame;
    event.payload = r.frame.mid(2, quint8(r.frame.at(1)));
    r.frame.clear();
    const QByteArray good = kind == Kind::Frame ? event.payload : QByteArray();
    if (side == Side::Host) {
        hostMoved(r.frameStart);
        m_deviceAnswers = Answer::Frame;
        m_lastHostFrame = good;
        if (kind == Kind::Frame)
            commandFrame(event, timeMs);
    } else {
        m_hostAnswers = Answer::Frame;
        m_lastDeviceFrame = good;
        if (kind == Kind::Frame)
            replyFrame(event);
    }
    emitEvent(std::move(event));
}

void FrameFollower::commandFrame(Event& event, qint64 endMs)
{
    event.resent = !m_command.isEmpty() && event.payload == m_command && !m_commandAnswered;
    m_command = event.payload;
    m_commandEnd = endMs;
    m_commandTaken = m_replyStarted = m_commandAnswered = m_noReplyMarked = false;
}

void FrameFollower::replyFrame(Event& event)
{
    if (m_command.isEmpty() || m_commandAnswered || event.payload.at(0) != m_command.at(0))
        return;
    event.command = m_command;
    // The device's own answer time: to its first reply, even when that one was damaged and
    // this is its repetition.
    event.latencyMs = m_replyStart - m_commandEnd;
}

void FrameFollower::control(Side side, Kind kind, quint8 byte, qint64 timeMs)
{
    Event event;
    event.kind = kind;
    event.side = side;
    event.timeMs = timeMs;
    event.bytes = QByteArray(1, char(byte));
    if (kind == Kind::Enq) {
        hostMoved(timeMs);
        m_deviceAnswers = Answer::Enq;
        emitEvent(std::move(event));
        return;
    }
    Answer& asked = side == Side::Device ? m_deviceAnswers : m_hostAnswers;
    event.answer = asked;
    asked = Answer::Nothing;
    if (event.answer == Answer::Frame)
        event.answered = side == Side::Device ? m_lastHostFrame : m_lastDeviceFrame;
    const bool answersCommand = !event.answered.isEmpty() && !m_command.isEmpty();
    if (kind == Kind::Ack && answersCommand) {
        if (side == Side::Device && event.answered == m_command)
            m_commandTaken = true;
        if (side == Side::Host && event.answered.at(0) == m_command.at(0) && !m_commandAnswered) {
            m_commandAnswered = true;
            event.command = m_command;
        }
    }
    emitEvent(std::move(event));
}

void FrameFollower::hostMoved(qint64 timeMs)
{
    // The host no longer answers the device's frame; and when it asks again after the device
    // took its command without replying, it has given up waiting for the reply.
    m_hostAnswers = Answer::Nothing;
    if (awaitingReply())
        markNoReply(timeMs);
}

void FrameFollower::cut(Side side, qint64 timeMs)
{
    Reader& r = reader(side);
    Event event;
    event.kind = Kind::CutFrame;
    event.side = side;
    event.timeMs = timeMs;
    event.bytes = r.frame;
    r.frame.clear();
    r.state = Reader::State::Idle;
    emitEvent(std::move(event));
}

void FrameFollower::flushStray(Side side)
{
    Reader& r = reader(side);
    if (r.stray.isEmpty())
        return;
    Event event;
    event.kind = Kind::Stray;
    event.side = side;
    event.timeMs = r.strayStart;
    event.bytes = r.stray;
    event.answer = r.strayAnswer;
    r.stray.clear();
    m_sink(event);
}

bool FrameFollower::awaitingReply() const
{
    return m_commandTaken && !m_replyStarted && !m_commandAnswered && !m_noReplyMarked;
}

void FrameFollower::markNoReply(qint64 timeMs)
{
    m_noReplyMarked = true;
    Event event;
    event.kind = Kind::NoReply;
    event.side = Side::Device;
    event.timeMs = timeMs;
    event.command = m_command;
    emitEvent(std::move(event));
}

void FrameFollower::emitEvent(Event event)
{
    // Stray bytes came before whatever is told now.
    flushStray(Side::Host);
    flushStray(Side::Device);
    m_sink(event);
}
