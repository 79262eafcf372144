#include "deviceside.h"

#include <cstdio>
#include <iterator>

namespace emu {

namespace {

constexpr uint8_t STX = 0x02;
constexpr uint8_t ENQ = 0x05;
constexpr uint8_t ACK = 0x06;
constexpr uint8_t NAK = 0x15;

// A host that stops in the middle of a frame for this long has given it up.
constexpr auto kFrameGap = std::chrono::milliseconds(1500);

std::string hexByte(uint8_t value)
{
    char text[4];
    std::snprintf(text, sizeof text, "%02Xh", value);
    return text;
}

} // namespace

DeviceSide::DeviceSide(DeviceModel& model, FaultPlan plan)
    : m_model(model), m_plan(std::move(plan)), m_random(m_plan.seed)
{
    if (m_plan.pendingAtStart)
        m_pending = m_model.execute({0x10, 30, 0, 0, 0});
}

void DeviceSide::fault(const std::string& what)
{
    if (onSummary)
        onSummary("fault: " + what);
}

std::string DeviceSide::replyName() const
{
    return "reply " + std::to_string(m_replyFrames);
}

bool DeviceSide::chance(double rate)
{
    return rate > 0 && std::uniform_real_distribution<double>(0, 1)(m_random) < rate;
}

std::vector<DeviceSide::Output> DeviceSide::receive(const Bytes& bytes, Clock::time_point now)
{
    std::vector<Output> out;
    if (m_state != State::Idle && now - m_lastByte > kFrameGap)
        m_state = State::Idle;
    m_lastByte = now;
    for (const uint8_t value : bytes)
        byte(value, out);
    return faulted(out);
}

bool DeviceSide::byteFault(ByteFault* fault)
{
    const auto planned = m_plan.byteFaults.find(m_sentBytes);
    if (planned != m_plan.byteFaults.end()) {
        *fault = planned->second;
        return true;
    }
    if (chance(m_plan.byteLoseRate)) {
        *fault = {ByteFault::Lose, 0};
        return true;
    }
    if (chance(m_plan.byteReplaceRate)) {
        auto pick = std::uniform_int_distribution<size_t>(0, std::size(ReplacementBytes) - 1);
        *fault = {ByteFault::Replace, ReplacementBytes[pick(m_random)]};
        return true;
    }
    if (chance(m_plan.byteHoldRate)) {
        *fault = {ByteFault::Hold, 0};
        return true;
    }
    return false;
}

std::vector<DeviceSide::Output> DeviceSide::faulted(const std::vector<Output>& out)
{
    std::vector<Output> result;
    for (const Output& output : out) {
        Output piece{output.pauseMs, {}};
        for (uint8_t value : output.bytes) {
            ++m_sentBytes;
            const auto byteName = [this] { return "byte " + std::to_string(m_sentBytes); };
            if (m_plan.silentFrom != 0 && m_sentBytes >= m_plan.silentFrom) {
                if (m_sentBytes == m_plan.silentFrom)
                    fault(byteName() + ": the line falls silent");
                continue; // the line has died
            }
            ByteFault planned;
            if (byteFault(&planned)) {
                if (planned.kind == ByteFault::Lose) {
                    fault(byteName() + ": lost");
                    continue;
                }
                if (planned.kind == ByteFault::Replace) {
                    fault(byteName() + ": " + hexByte(value) + " replaced by " +
                          hexByte(planned.value));
                    value = planned.value;
                }
                if (planned.kind == ByteFault::Hold) {
                    fault(byteName() + ": held " + std::to_string(m_plan.holdMs) + " ms");
                    // Bytes on a line stay in order: everything after the held byte waits too.
                    if (!piece.bytes.empty())
                        result.push_back(std::move(piece));
                    piece = {m_plan.holdMs, {}};
                }
            }
            piece.bytes.push_back(value);
        }
        if (!piece.bytes.empty())
            result.push_back(std::move(piece));
    }
    return result;
}

void DeviceSide::byte(uint8_t value, std::vector<Output>& out)
{
    if (m_plan.silent)
        return;
    switch (m_state) {
    case State::Idle:
        if (value == ENQ) {
            ++m_enqs;
            if (m_plan.garbageEnqs.count(m_enqs) || chance(m_plan.garbageRate)) {
                fault("ENQ " + std::to_string(m_enqs) + ": answered with garbage");
                out.push_back({0, {0x33, 0x7E, 0x41}});
            } else if (m_pending.empty())
                out.push_back({0, {NAK}});
            else {
                out.push_back({0, {ACK}});
                sendReply(out, 0);
            }
        } else if (value == STX) {
            m_state = State::Length;
        } else if (value == ACK && !m_pending.empty()) {
            m_pending.clear();
            if (const int baud = m_model.takePendingBaudRate())
                m_model.setBaudRate(baud);
        }
        // NAK and anything else: wait for the host's ENQ.
        break;
    case State::Length:
        m_length = value;
        m_frame.clear();
        m_state = m_length == 0 ? State::Checksum : State::Payload;
        break;
    case State::Payload:
        m_frame.push_back(value);
        if (m_frame.size() == m_length)
            m_state = State::Checksum;
        break;
    case State::Checksum: {
        m_state = State::Idle;
        uint8_t sum = m_length;
        for (const uint8_t b : m_frame)
            sum ^= b;
        ++m_hostFrames;
        const std::string frameName = "frame " + std::to_string(m_hostFrames);
        if (m_plan.ignoreFrames.count(m_hostFrames)) {
            fault(frameName + ": ignored");
            break;
        }
        const bool good = sum == value && m_length != 0;
        if (!good || m_plan.refuseFrames.count(m_hostFrames)) {
            if (good)
                fault(frameName + ": refused with NAK");
            out.push_back({0, {NAK}});
            break;
        }
        out.push_back({0, {ACK}});
        frameComplete(out);
        break;
    }
    }
}

void DeviceSide::frameComplete(std::vector<Output>& out)
{
    m_pending = m_model.execute(m_frame);
    if (onSummary) {
        std::string line = "command " + hexByte(m_frame[0]) + " (" +
                           std::to_string(m_frame.size()) + " bytes) -> ";
        line += m_pending.size() > 1 ? "error " + std::to_string(m_pending[1]) : "no reply";
        line += ", reply " + std::to_string(m_pending.size()) + " bytes";
        onSummary(line);
    }
    sendReply(out, m_plan.replyDelayMs);
}

void DeviceSide::sendReply(std::vector<Output>& out, int pauseMs)
{
    if (m_pending.empty())
        return;
    ++m_replyFrames;
    if (m_plan.loseReplies.count(m_replyFrames) || chance(m_plan.loseRate)) {
        fault(replyName() + ": not sent");
        return;
    }
    if (m_plan.zeroLengthReplies.count(m_replyFrames)) {
        fault(replyName() + ": sent with LEN 0");
        out.push_back({pauseMs, {STX, 0}});
        return;
    }
    Bytes frame{STX, uint8_t(m_pending.size())};
    uint8_t sum = frame[1];
    for (const uint8_t b : m_pending) {
        frame.push_back(b);
        sum ^= b;
    }
    if (m_plan.corruptReplies.count(m_replyFrames) || chance(m_plan.corruptRate)) {
        fault(replyName() + ": checksum damaged");
        sum ^= 0x5A;
    }
    frame.push_back(sum);
    if (m_plan.dropByteRate > 0) {
        Bytes kept;
        for (size_t i = 0; i < frame.size(); ++i) {
            if (chance(m_plan.dropByteRate))
                fault(replyName() + ": byte " + std::to_string(i + 1) + " of " +
                      std::to_string(frame.size()) + " dropped");
            else
                kept.push_back(frame[i]);
        }
        frame.swap(kept);
    }
    if (chance(m_plan.stallRate) && frame.size() > 2) {
        fault(replyName() + ": stalled " + std::to_string(m_plan.stallMs) + " ms in its middle");
        const auto middle = frame.begin() + long(frame.size() / 2);
        out.push_back({pauseMs, Bytes(frame.begin(), middle)});
        out.push_back({m_plan.stallMs, Bytes(middle, frame.end())});
        return;
    }
    out.push_back({pauseMs, frame});
}

} // namespace emu
