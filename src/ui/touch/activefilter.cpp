#include "activefilter.h"

#include <QEvent>

bool ActiveFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (m_enabled && event->type() == QEvent::Leave)
        emit left();
    return QObject::eventFilter(watched, event);
}
