#pragma once

// The line's physical limit: how long an exchange's bytes take on the wire.
namespace wiretime {

// One byte on the line: a start bit, eight data bits, a stop bit.
constexpr double byteSeconds(int baud)
{
    return 10.0 / baud;
}

// Bytes on the wire for one exchange: ENQ, NAK, the frame, ACK, the reply frame, ACK.
constexpr int exchangeBytes(int commandSize, int replySize)
{
    return 2 + (commandSize + 3) + 1 + (replySize + 3) + 1;
}

} // namespace wiretime
