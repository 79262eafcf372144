#pragma once

#include <cstdint>
#include <map>
#include <set>

namespace emu {

// The bytes a replaced byte may become: the protocol's control bytes and a plain byte.
constexpr uint8_t ReplacementBytes[] = {0x06, 0x15, 0x02, 0x05, 0xA5};

// One fault on one byte the device sends.
struct ByteFault
{
    enum Kind
    {
        Lose,    // the byte never reaches the host
        Replace, // the host reads `value` in its place
        Hold,    // the byte and all after it reach the host holdMs late
    };
    Kind kind = Lose;
    uint8_t value = 0;
};

// What the emulated device does wrong, and how fast it talks. Reply frames, host frames,
// ENQs and the bytes the device sends are counted from 1 in the order the device sees or
// sends them.
struct FaultPlan
{
    std::set<unsigned> corruptReplies;    // reply frames sent with a wrong checksum
    std::set<unsigned> loseReplies;       // reply frames not sent at all (the reply stays pending)
    std::set<unsigned> zeroLengthReplies; // reply frames sent as STX, LEN 0 and nothing else
    std::set<unsigned> ignoreFrames;      // host frames dropped without an answer
    std::set<unsigned> refuseFrames;      // host frames answered NAK as unreadable, not executed
    std::set<unsigned> garbageEnqs;       // ENQs answered with garbage
    bool silent = false;                  // never answers anything
    bool pendingAtStart = false;          // starts holding a reply to a status request
    int replyDelayMs = 0;                 // between the ACK of a frame and the reply's STX
    bool pace = false;                    // bytes take their time on the line: 10 bits each
    std::map<unsigned, ByteFault> byteFaults; // by the position of the byte the device sends
    int holdMs = 1500;                        // how late a held byte comes
    unsigned silentFrom = 0; // from this byte it sends on, nothing reaches the host (0: never)

    // Random faults for soak runs, each a probability per event.
    double corruptRate = 0;  // per reply frame
    double dropByteRate = 0; // per byte of a reply frame
    double garbageRate = 0;  // per ENQ
    double stallRate = 0;    // per reply frame: a pause of stallMs in its middle
    double loseRate = 0;     // per reply frame: not sent (the reply stays pending)
    // Per byte the device sends, answers to ENQ and frames included.
    double byteLoseRate = 0;
    double byteReplaceRate = 0; // by ACK, NAK, STX, ENQ or a plain byte, one of them at random
    double byteHoldRate = 0;    // held holdMs
    int stallMs = 1500;
    uint32_t seed = 1;
};

} // namespace emu
