#include "touchscroller.h"

#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStyleHints>
#include <QToolTip>

#include <algorithm>
#include <memory>

TouchScroller::TouchScroller(QObject* parent) : QObject(parent)
{
    m_timer.setInterval(TimerIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &TouchScroller::onTouchTimerElapsed);
    m_holdTimer.setSingleShot(true);
    m_holdTimer.setInterval(LongPressMs);
    connect(&m_holdTimer, &QTimer::timeout, this, &TouchScroller::showHeldText);
}

void TouchScroller::attach(QAbstractScrollArea* area)
{
    if (!m_area.isNull()) {
        m_area->removeEventFilter(this);
        m_area->viewport()->removeEventFilter(this);
    }
    m_area = area;
    if (area) {
        area->installEventFilter(this);
        area->viewport()->installEventFilter(this);
        // The finger moves pixels: an item view's bars must count pixels, not items.
        if (auto* view = qobject_cast<QAbstractItemView*>(area)) {
            view->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
            view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
        }
    }
}

TouchScroller* TouchScroller::drive(QAbstractScrollArea* area)
{
    auto* scroller = new TouchScroller(area);
    scroller->attach(area);
    return scroller;
}

int TouchScroller::pixelsPerStep(Qt::Orientation orientation) const
{
    // A plain text edit's vertical bar counts lines.
    const auto* text = qobject_cast<const QPlainTextEdit*>(m_area.data());
    if (orientation == Qt::Vertical && text)
        return std::max(1, text->fontMetrics().lineSpacing());
    return 1;
}

void TouchScroller::scrollTo(double pixelsY, double pixelsX)
{
    QScrollBar* vertical = m_area->verticalScrollBar();
    QScrollBar* horizontal = m_area->horizontalScrollBar();
    const int stepY = pixelsPerStep(Qt::Vertical);
    m_pixelsY = std::clamp(pixelsY, double(vertical->minimum() * stepY),
                           double(vertical->maximum() * stepY));
    m_pixelsX = std::clamp(pixelsX, double(horizontal->minimum()), double(horizontal->maximum()));
    vertical->setValue(int(std::lround(m_pixelsY / stepY)));
    horizontal->setValue(int(std::lround(m_pixelsX)));
}

void TouchScroller::stop()
{
    m_scrolling = false;
    m_speedY = 0;
    m_speedX = 0;
    m_timer.stop();
}

void TouchScroller::replayClick(QObject* target)
{
    const QPointF local(m_pressPoint);
    auto* widget = qobject_cast<QWidget*>(target);
    const QPointF global = widget ? widget->mapToGlobal(local) : local;
    QCoreApplication::postEvent(target,
                                new QMouseEvent(QEvent::MouseButtonPress, local, global,
                                                Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(target,
                                new QMouseEvent(QEvent::MouseButtonRelease, local, global,
                                                Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
    m_replayTarget = target;
    m_passes = 2;
}

bool TouchScroller::deliverReplayed(QObject* watched, QEvent* event)
{
    --m_passes;
    // Sent on from here, so that the copies the toolkit hands up to the parents when nobody
    // takes the click (a label, blank space) pass as the replay's own: taken for a new tap by
    // the area's filter, they were replayed again, and again, for ever.
    const std::unique_ptr<QEvent> copy(event->clone());
    const QPointer<TouchScroller> self(this);
    m_replaying = true;
    QCoreApplication::sendEvent(watched, copy.get());
    if (self)
        m_replaying = false;
    return true;
}

void TouchScroller::followFinger(const QPoint& position)
{
    scrollTo(m_pixelsAtPressY - (position.y() - m_pressPoint.y()),
             m_pixelsAtPressX - (position.x() - m_pressPoint.x()));
}

bool TouchScroller::movedAway(const QPoint& position) const
{
    return (position - m_pressPoint).manhattanLength() >
           QGuiApplication::styleHints()->startDragDistance();
}

void TouchScroller::showHeldText()
{
    auto* view = qobject_cast<QAbstractItemView*>(m_area.data());
    if (!view || !m_pressed || m_scrolling)
        return;
    const QModelIndex index = view->indexAt(m_pressPoint);
    const QString text = index.data().toString();
    if (text.isEmpty())
        return;
    QToolTip::showText(view->viewport()->mapToGlobal(m_pressPoint), text, view->viewport());
    m_held = true;
}

bool TouchScroller::eventFilter(QObject* watched, QEvent* event)
{
    // The type first: the area's own destruction sends events through here, and the area
    // must not be touched then (it is no longer a scroll area).
    const QEvent::Type type = event->type();
    if ((type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
         type != QEvent::MouseMove) ||
        m_area.isNull())
        return QObject::eventFilter(watched, event);
    if (m_replaying)
        return false;
    if (type != QEvent::MouseMove && m_passes > 0 && watched == m_replayTarget)
        return deliverReplayed(watched, event);
    const QPoint position = static_cast<QMouseEvent*>(event)->position().toPoint();
    QScrollBar* vertical = m_area->verticalScrollBar();
    QScrollBar* horizontal = m_area->horizontalScrollBar();
    switch (type) {
    case QEvent::MouseButtonPress:
        m_pressed = true;
        m_moves = 0;
        m_pressPoint = position;
        m_pixelsAtPressY = vertical->value() * pixelsPerStep(Qt::Vertical);
        m_pixelsAtPressX = horizontal->value();
        if (m_scrolling)
            stop();
        m_held = false;
        m_holdTimer.start();
        return true;
    case QEvent::MouseButtonRelease:
        m_pressed = false;
        m_holdTimer.stop();
        if (m_held)
            m_held = false;
        else if (!m_scrolling && !movedAway(position))
            replayClick(watched);
        else if (!m_scrolling) // a flick too quick for its moves to be counted: no tap
            followFinger(position);
        return true;
    default:
        break;
    }
    if (m_scrolling) {
        followFinger(position);
        return true;
    }
    if (m_moves < MoveThreshold && !movedAway(position)) {
        ++m_moves;
        return true;
    }
    m_moves = 0;
    m_scrolling = true;
    m_holdTimer.stop();
    // The content goes where the finger is already: a quick one has moved far by now.
    followFinger(position);
    m_lastY = position.y();
    m_lastX = position.x();
    if (!m_timer.isActive())
        m_timer.start();
    return true;
}

void TouchScroller::onTouchTimerElapsed()
{
    if (m_area.isNull()) {
        stop();
        return;
    }
    if (m_pressed && m_scrolling) {
        // The viewport, whose coordinates the press and the moves came in.
        const QPoint cursor = m_area->viewport()->mapFromGlobal(QCursor::pos());
        m_speedY = cursor.y() - m_lastY;
        m_lastY = cursor.y();
        m_speedX = cursor.x() - m_lastX;
        m_lastX = cursor.x();
        return;
    }
    if (!m_pressed && m_scrolling) {
        const auto slowDown = [](int speed) {
            speed = std::clamp(speed, -SpeedLimit, SpeedLimit);
            return speed > 0 ? speed - Friction : speed < 0 ? speed + Friction : 0;
        };
        m_speedY = slowDown(m_speedY);
        m_speedX = slowDown(m_speedX);
        // The glide ends when both directions have come to rest: a fling straight down has
        // no horizontal speed and must glide all the same.
        if (m_speedY == 0 && m_speedX == 0) {
            stop();
            return;
        }
        scrollTo(m_pixelsY - m_speedY, m_pixelsX - m_speedX);
        return;
    }
    stop();
}
