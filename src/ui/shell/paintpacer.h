#pragma once

#include <QElapsedTimer>
#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <vector>

class QWidget;

// Holds the windows' paints and layouts back while commands are on the line and lets them out
// at moments the device is busy, at most once a PaintIntervalMs: a paint or a layout taken at a
// turnaround (the form painting the last reply, or the data window laying itself out for a new
// block number, while the NAK of the next ENQ came) kept the device waiting for the program. A
// wait with no frame going out, or a pause between commands, paints from a timer.
class PaintPacer : public QObject
{
public:
    static constexpr int PaintIntervalMs = 40;

    // `lineBusy` tells whether commands are on the line. Watches every window of the program.
    explicit PaintPacer(std::function<bool()> lineBusy);
    ~PaintPacer() override;

    // The device is busy: the paints held go out, unless the last went out too short a time ago.
    void paintIfDue();
    // The exchange is over: what is held goes out when the event loop next runs outside an
    // exchange. A procedure's next command, which starts at once, keeps it for its own
    // device-busy moment.
    void release();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // A widget's request for a layout or a paint, asked for once until it has been served.
    struct Request
    {
        QPointer<QWidget> widget;
        QEvent::Type type;
        bool operator==(const Request& other) const
        {
            return widget == other.widget && type == other.type;
        }
    };
    void paintHeld();
    void exchangeOver();

    std::function<bool()> m_lineBusy;
    std::vector<Request> m_held; // the layouts first: a paint shows the layout done before it
    bool m_painting = false;
    QElapsedTimer m_sincePaint;
    QTimer m_fallback;
    QTimer m_afterExchange;
};
