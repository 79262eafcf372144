#include "kbdcatcher.h"

#include <QKeyEvent>

bool KbdCatcher::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_enabled)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::RequestSoftwareInputPanel:
        emit inputRequested();
        return true;
    case QEvent::CloseSoftwareInputPanel:
        emit inputQuited();
        break;
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (m_closeOnEnter && (key == Qt::Key_Return || key == Qt::Key_Enter))
            emit inputQuited();
        break;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
