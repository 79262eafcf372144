#pragma once

#include <functional>

class QEventLoop;

// The link's one way to wait: runs a local event loop for at most `ms`, or until what
// `wakers` connects to the loop's quit fires. False once the application has been told to
// quit: no event loop runs any more then (it returns at once), so every wait must give up
// rather than spin until its deadline.
bool waitEvents(int ms, const std::function<void(QEventLoop& loop)>& wakers);
