#pragma once

#include <QElapsedTimer>
#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <vector>

class QWidget;

// Holds the windows' paints back while commands are on the line and lets them out at moments the
// device is busy, at most once a PaintIntervalMs: a paint taken at a turnaround (the form
// painting the last reply while the NAK of the next ENQ came) kept the device waiting for the
// program. Layouts asked for at a turnaround (the data window's new block number) are held to
// the device's busy moment too, so that an exchange leaves every layout it saw done. A wait with
// no frame going out, or a pause between commands, paints from a timer.
class PaintPacer : public QObject
{
public:
    static constexpr int PaintIntervalMs = 40;

    // `lineBusy` tells whether commands are on the line. Watches every window of the program.
    explicit PaintPacer(std::function<bool()> lineBusy);
    ~PaintPacer() override;

    // The device is busy until the exchange is over: the layouts held go out, and the paints
    // unless the last went out too short a time ago.
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
    // The held layouts come first; this is where the paints begin.
    std::vector<Request>::iterator firstPaint();
    void paintHeld();
    void send(const std::vector<Request>& requests);
    void exchangeOver();

    std::function<bool()> m_lineBusy;
    std::vector<Request> m_held; // the layouts first: a paint shows the layout done before it
    bool m_painting = false;
    bool m_deviceBusy = false; // a frame has gone out and the exchange is not over
    QElapsedTimer m_sincePaint;
    QTimer m_fallback;
    QTimer m_afterExchange;
};
