#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QTimer>

class QAbstractScrollArea;
class QMouseEvent;

// Lets a finger drag a scroll area's content and keeps it gliding after release; a touch
// without movement reaches the area as an ordinary click. A finger held still on an item
// view's entry shows the entry's whole text (a tool tip needs a mouse) and clicks nothing.
class TouchScroller : public QObject
{
    Q_OBJECT

public:
    static constexpr int MoveThreshold = 4;
    static constexpr int TimerIntervalMs = 30;
    static constexpr int SpeedLimit = 30;
    static constexpr int Friction = 1;
    static constexpr int LongPressMs = 700;

    explicit TouchScroller(QObject* parent = nullptr);

    // Drives this area (and its viewport) from now on, leaving the one driven before.
    void attach(QAbstractScrollArea* area);
    // A scroller of the area's own, going with it.
    static TouchScroller* drive(QAbstractScrollArea* area);
    bool scrolling() const { return m_scrolling; }
    int speedY() const { return m_speedY; }
    int speedX() const { return m_speedX; }
    bool timerActive() const { return m_timer.isActive(); }

public Q_SLOTS:
    void onTouchTimerElapsed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Farther from the press than a tap's jitter: a drag, even before its moves are counted
    // (a quick flick may bring only one or two; replayed as a tap, it ran the row it began on).
    bool movedAway(const QPoint& position) const;
    // The content moved by as much as the finger has since the press.
    void followFinger(const QPoint& position);
    void stop();
    void replayClick(QObject* target);
    // The replayed press or release reaching its target: handed on with what it causes.
    bool deliverReplayed(QObject* watched, QEvent* event);
    void showHeldText();
    // How many pixels of the finger's path one step of the area's scroll bar is.
    int pixelsPerStep(Qt::Orientation orientation) const;
    // Scrolls to a position in pixels of the content, kept within the bars' range.
    void scrollTo(double pixelsY, double pixelsX);

    QPointer<QAbstractScrollArea> m_area;
    bool m_pressed = false;
    bool m_scrolling = false;
    QPoint m_pressPoint;
    int m_lastY = 0;
    int m_lastX = 0;
    int m_pixelsAtPressY = 0;
    int m_pixelsAtPressX = 0;
    double m_pixelsY = 0; // where the content is, in pixels, between a bar's steps too
    double m_pixelsX = 0;
    int m_speedY = 0;
    int m_speedX = 0;
    int m_moves = 0;
    int m_passes = 0; // replayed events still to come to m_replayTarget
    QPointer<QObject> m_replayTarget;
    bool m_replaying = false; // a replayed event is being delivered: every filter lets it by
    QTimer m_timer;
    QTimer m_holdTimer;
    bool m_held = false; // the held entry's text is shown: the release clicks nothing
};
