#include "eventwait.h"

#include <QEventLoop>
#include <QTimer>

bool waitEvents(int ms, const std::function<void(QEventLoop& loop)>& wakers)
{
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    if (wakers)
        wakers(loop);
    deadline.start(ms);
    return loop.exec() >= 0;
}
