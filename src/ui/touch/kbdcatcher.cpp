#include "kbdcatcher.h"

#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QKeyEvent>

namespace {

// A text edit is touched on its viewport, a spin box on its line; the field is the edit or
// the box itself.
QWidget* fieldOf(QObject* watched)
{
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget)
        return nullptr;
    if (auto* area = qobject_cast<QAbstractScrollArea*>(widget->parentWidget()))
        if (area->viewport() == widget)
            return area;
    if (auto* box = qobject_cast<QAbstractSpinBox*>(widget->parentWidget()))
        return box;
    return widget;
}

} // namespace

bool KbdCatcher::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_enabled)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::RequestSoftwareInputPanel:
        m_touched = fieldOf(watched);
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
