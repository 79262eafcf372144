// The monitor fed arbitrary byte streams in both directions: every pair of input bytes is
// one byte on the line, the first telling its side (bit 0) and how many 20-ms steps passed
// before it (the other bits: up to the byte wait and past it). Every frame it reports is
// decoded through the shipped catalogue, as the monitor prints it.
#include "catalogue/errortexts.h"
#include "codec/framedecoding.h"
#include "fuzzsupport.h"
#include "link/framefollower.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    auto& shipped = shippedCodec();
    static const ErrorTexts errors;
    FrameDecoding decoding(shipped.catalogue, shipped.codec, errors);
    using F = FrameFollower;
    F follower([&decoding](const F::Event& event) {
        if (event.kind == F::Kind::Frame && event.side == F::Side::Host)
            decoding.command(event.payload);
        else if (event.kind == F::Kind::Frame)
            decoding.reply(event.payload);
        else if (event.kind == F::Kind::NoReply)
            decoding.command(event.command);
    });
    qint64 now = 0;
    for (size_t i = 0; i + 1 < size; i += 2) {
        now += 20 * (data[i] >> 1);
        follower.feed(data[i] & 1 ? F::Side::Device : F::Side::Host, data[i + 1], now);
    }
    follower.tick(now + F::ReplyWaitMs + 1);
    return 0;
}
