#pragma once

#include <cstdint>
#include <set>

namespace emu {

// What the emulated device does wrong, and how fast it talks. Reply frames, host frames
// and ENQs are counted from 1 in the order the device sees or sends them.
struct FaultPlan
{
    std::set<unsigned> corruptReplies;    // reply frames sent with a wrong checksum
    std::set<unsigned> loseReplies;       // reply frames not sent at all (the reply stays pending)
    std::set<unsigned> zeroLengthReplies; // reply frames sent as STX, LEN 0 and nothing else
    std::set<unsigned> ignoreFrames;      // host frames dropped without an answer
    std::set<unsigned> garbageEnqs;       // ENQs answered with garbage
    bool silent = false;                  // never answers anything
    bool pendingAtStart = false;          // starts holding a reply to a status request
    int replyDelayMs = 0;                 // between the ACK of a frame and the reply's STX
    bool pace = false;                    // bytes take their time on the line: 10 bits each

    // Random faults for soak runs, each a probability per event.
    double corruptRate = 0;  // per reply frame
    double dropByteRate = 0; // per byte of a reply frame
    double garbageRate = 0;  // per ENQ
    double stallRate = 0;    // per reply frame: a pause of stallMs in its middle
    double loseRate = 0;     // per reply frame: not sent (the reply stays pending)
    int stallMs = 1500;
    uint32_t seed = 1;

    bool randomFaults() const
    {
        return corruptRate > 0 || dropByteRate > 0 || garbageRate > 0 || stallRate > 0 ||
               loseRate > 0;
    }
};

} // namespace emu
