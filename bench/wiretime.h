#pragma once

// The line's physical limit that the benchmarks measure against.
namespace wiretime {

constexpr int Baud = 115200;
// One byte on the line: a start bit, eight data bits, a stop bit.
constexpr double ByteSeconds = 10.0 / Baud;

// Bytes on the wire for one exchange: ENQ, NAK, the frame, ACK, the reply frame, ACK.
inline int exchangeBytes(int commandSize, int replySize)
{
    return 2 + (commandSize + 3) + 1 + (replySize + 3) + 1;
}

} // namespace wiretime
