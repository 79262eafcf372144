#pragma once

#include "link/wiretime.h"

// The rate the benchmarks measure the line's limit at.
namespace wiretime {

constexpr int Baud = 115200;
constexpr double ByteSeconds = byteSeconds(Baud);

} // namespace wiretime
