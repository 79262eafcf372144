#pragma once

#include <QElapsedTimer>
#include <QObject>

class QIODevice;

// The link's time: what its waits read and how they wait. The program's clock is the event
// loop's (EventLoopClock); tests give a virtual clock that jumps to the next event.
class LinkClock
{
public:
    virtual ~LinkClock() = default;
    // Milliseconds since a start of the clock's own.
    virtual qint64 nowMs() const = 0;
    // The same in microseconds, for measuring an exchange.
    virtual qint64 nowUs() const = 0;
    // Returns at `deadlineMs` at the latest, earlier when `device` may have bytes to read or
    // wake() was called. False when no wait can run any more: the application is ending.
    virtual bool waitUntil(qint64 deadlineMs, QIODevice& device) = 0;
    // Ends the wait under way, if any.
    virtual void wake() = 0;
};

// Real time, waited for in a local event loop, so windows stay live and a wait costs no CPU.
class EventLoopClock : public QObject, public LinkClock
{
    Q_OBJECT

public:
    EventLoopClock() { m_clock.start(); }
    qint64 nowMs() const override { return m_clock.elapsed(); }
    qint64 nowUs() const override { return m_clock.nsecsElapsed() / 1000; }
    bool waitUntil(qint64 deadlineMs, QIODevice& device) override;
    void wake() override { emit woken(); }

Q_SIGNALS:
    void woken();

private:
    QElapsedTimer m_clock;
};
