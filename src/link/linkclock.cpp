#include "linkclock.h"

#include "eventwait.h"

#include <QEventLoop>
#include <QIODevice>

bool EventLoopClock::waitUntil(qint64 deadlineMs, QIODevice& device)
{
    return waitEvents(int(std::max<qint64>(0, deadlineMs - nowMs())), [&](QEventLoop& loop) {
        connect(&device, &QIODevice::readyRead, &loop, &QEventLoop::quit);
        connect(this, &EventLoopClock::woken, &loop, &QEventLoop::quit);
    });
}
