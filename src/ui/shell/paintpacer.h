#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <vector>

class QWidget;

// Holds the windows' paints back while commands are on the line and lets them out at moments
// the device is busy, at most once a PaintIntervalMs: a paint taken at a turnaround (the form
// painting the last reply while the NAK of the next ENQ came) kept the device waiting for the
// program. A wait with no frame going out, or a pause between commands, paints from a timer.
class PaintPacer : public QObject
{
public:
    static constexpr int PaintIntervalMs = 40;

    // `lineBusy` tells whether commands are on the line. Watches every window of the program.
    explicit PaintPacer(std::function<bool()> lineBusy);
    ~PaintPacer() override;

    // The device is busy: the paints held go out, unless the last went out too short a time ago.
    void paintIfDue();
    // The exchange is over: the paints held go out from the event loop.
    void release();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void paintHeld();

    std::function<bool()> m_lineBusy;
    std::vector<QPointer<QWidget>> m_held;
    bool m_painting = false;
    QElapsedTimer m_sincePaint;
    QTimer m_fallback;
};
