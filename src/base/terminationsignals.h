#pragma once

#include <functional>

// Turns SIGTERM, SIGINT and SIGHUP into a call on the GUI thread, so a program stopped from
// outside (a service shutdown, Ctrl+C) leaves like the exit menu does and writes its
// closing log lines.
// A later call replaces the handler.
void onTerminationSignal(std::function<void()> handler);
// Once the event loop is over nothing would serve the signals: they end the process again,
// so a hang while it is torn down can still be stopped.
void restoreDefaultTerminationSignals();
