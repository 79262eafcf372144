#include "ratewatch.h"

#include <utility>

namespace {

constexpr quint8 STX = 0x02;
constexpr quint8 ACK = 0x06;
// A frame whose next byte is this late was cut short: the reader starts again.
constexpr qint64 FrameGapMs = 100;

} // namespace

bool RateWatch::FrameReader::feed(quint8 byte, qint64 timeMs)
{
    if (state != Idle && timeMs - lastMs > FrameGapMs)
        state = Idle;
    lastMs = timeMs;
    switch (state) {
    case Idle:
        if (byte == STX) {
            state = Length;
            payload.clear();
        }
        return false;
    case Length:
        length = byte;
        sum = byte;
        state = length == 0 ? Idle : Payload;
        return false;
    case Payload:
        payload.append(char(byte));
        sum ^= byte;
        if (payload.size() == length)
            state = Checksum;
        return false;
    case Checksum:
        state = Idle;
        return byte == sum;
    }
    return false;
}

void RateWatch::setRule(const Rule& rule)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_rule = rule;
}

int RateWatch::hostByte(quint8 byte, qint64 timeMs)
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_host.state == FrameReader::Idle && byte == ACK) {
        const QByteArray reply = std::exchange(m_reply, QByteArray());
        const Rule& rule = m_rule;
        if (reply.size() < 2 || quint8(reply.at(0)) != rule.code || reply.at(1) != 0 ||
            m_command.isEmpty() || quint8(m_command.at(0)) != rule.code || rule.rateOffset < 0 ||
            rule.rateOffset >= m_command.size())
            return 0;
        if (rule.portOffset >= 0 && (rule.portOffset >= m_command.size() ||
                                     quint8(m_command.at(rule.portOffset)) != rule.devicePort))
            return 0; // another port of the registrar changes its rate
        const auto rate = rule.rates.find(quint8(m_command.at(rule.rateOffset)));
        return rate == rule.rates.end() ? 0 : rate->second;
    }
    if (m_host.feed(byte, timeMs)) {
        m_command = m_host.payload;
        m_reply.clear();
    }
    return 0;
}

void RateWatch::deviceByte(quint8 byte, qint64 timeMs)
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_device.feed(byte, timeMs) && !m_command.isEmpty() && !m_device.payload.isEmpty() &&
        m_device.payload.at(0) == m_command.at(0))
        m_reply = m_device.payload;
}
