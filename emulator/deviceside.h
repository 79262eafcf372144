#pragma once

#include "devicemodel.h"
#include "faultplan.h"

#include <chrono>
#include <functional>
#include <random>
#include <string>

namespace emu {

// The device's side of the frame protocol: NAK to ENQ when idle, ACK and the pending reply
// when one is waiting, ACK to a good frame and NAK to a bad one, the reply kept until the
// host acknowledges it. Fed with the host's bytes; tells what to send back.
class DeviceSide
{
public:
    using Clock = std::chrono::steady_clock;

    // A piece of output, sent after a pause.
    struct Output
    {
        int pauseMs = 0;
        Bytes bytes;
    };

    DeviceSide(DeviceModel& model, FaultPlan plan);

    std::vector<Output> receive(const Bytes& bytes, Clock::time_point now);

    // One line per executed command and one per fault injected ("fault: reply 3: checksum
    // damaged"), for the program's console. Replies, host frames, ENQs and bytes are
    // numbered as the fault plan counts them.
    std::function<void(const std::string&)> onSummary;

    unsigned replyFrames() const { return m_replyFrames; }
    // The bytes the device has sent so far, faulty ones included.
    unsigned sentBytes() const { return m_sentBytes; }
    bool replyPending() const { return !m_pending.empty(); }

private:
    enum class State
    {
        Idle,
        Length,
        Payload,
        Checksum
    };

    void byte(uint8_t value, std::vector<Output>& out);
    void frameComplete(std::vector<Output>& out);
    void sendReply(std::vector<Output>& out, int pauseMs);
    bool chance(double rate);
    void fault(const std::string& what);
    // The reply frame being sent, as fault lines name it.
    std::string replyName() const;
    // Applies the byte faults to what is about to be sent.
    std::vector<Output> faulted(const std::vector<Output>& out);
    bool byteFault(ByteFault* fault);

    DeviceModel& m_model;
    FaultPlan m_plan;
    std::mt19937 m_random;
    State m_state = State::Idle;
    Clock::time_point m_lastByte;
    uint8_t m_length = 0;
    Bytes m_frame;
    Bytes m_pending; // the reply awaiting the host's ACK
    unsigned m_replyFrames = 0;
    unsigned m_hostFrames = 0;
    unsigned m_enqs = 0;
    unsigned m_sentBytes = 0;
};

} // namespace emu
