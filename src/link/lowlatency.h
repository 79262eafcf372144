#pragma once

#include <QString>

// Asks the serial driver to pass received bytes on at once rather than after its latency
// timer (16 ms on some USB adapters, paid at every turnaround of an exchange). False, with
// the system's reason, where the driver cannot (a pseudo-terminal, some drivers).
bool requestLowLatency(int descriptor, QString* reason);
