#include "linkclock.h"

#include <QEventLoop>
#include <QIODevice>
#include <QTimer>

bool EventLoopClock::waitUntil(qint64 deadlineMs, QIODevice& device)
{
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(&device, &QIODevice::readyRead, &loop, &QEventLoop::quit);
    connect(this, &EventLoopClock::woken, &loop, &QEventLoop::quit);
    deadline.start(int(std::max<qint64>(0, deadlineMs - nowMs())));
    // Once the application has been told to quit, no event loop runs any more (exec returns
    // at once): the wait would spin until its deadline, and no byte could arrive anyway.
    return loop.exec() >= 0;
}
