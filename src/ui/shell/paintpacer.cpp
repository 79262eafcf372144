#include "paintpacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

#include <algorithm>

PaintPacer::PaintPacer(std::function<bool()> lineBusy) : m_lineBusy(std::move(lineBusy))
{
    m_sincePaint.start();
    m_fallback.setSingleShot(true);
    m_fallback.setInterval(PaintIntervalMs);
    connect(&m_fallback, &QTimer::timeout, this, &PaintPacer::paintHeld);
    m_afterExchange.setSingleShot(true);
    m_afterExchange.setInterval(0);
    connect(&m_afterExchange, &QTimer::timeout, this, &PaintPacer::exchangeOver);
    QCoreApplication::instance()->installEventFilter(this);
}

PaintPacer::~PaintPacer()
{
    QCoreApplication::instance()->removeEventFilter(this);
    for (const Request& request : m_held)
        if (request.widget)
            QCoreApplication::postEvent(request.widget, new QEvent(request.type),
                                        request.type == QEvent::UpdateRequest
                                            ? Qt::LowEventPriority
                                            : Qt::NormalEventPriority);
}

bool PaintPacer::eventFilter(QObject* watched, QEvent* event)
{
    // A window's paint, and a widget's layout, is asked for once, by these events, until it
    // has been done: held, it is sent again here later, and nothing of what changed meanwhile
    // is lost. A layout asked for while the device is busy costs the line nothing: it goes on.
    const QEvent::Type type = event->type();
    if ((type != QEvent::UpdateRequest && (type != QEvent::LayoutRequest || m_deviceBusy)) ||
        m_painting || !watched->isWidgetType() || !m_lineBusy())
        return false;
    const Request request{static_cast<QWidget*>(watched), type};
    if (std::find(m_held.begin(), m_held.end(), request) == m_held.end()) {
        if (type == QEvent::LayoutRequest)
            m_held.insert(firstPaint(), request);
        else
            m_held.push_back(request);
    }
    if (!m_fallback.isActive())
        m_fallback.start();
    return true;
}

void PaintPacer::paintIfDue()
{
    m_deviceBusy = true;
    if (!m_held.empty() && m_sincePaint.elapsed() >= PaintIntervalMs) {
        paintHeld();
        return;
    }
    const auto paints = firstPaint();
    std::vector<Request> layouts(m_held.begin(), paints);
    m_held.erase(m_held.begin(), paints);
    send(layouts);
}

std::vector<PaintPacer::Request>::iterator PaintPacer::firstPaint()
{
    return std::find_if(m_held.begin(), m_held.end(),
                        [](const Request& held) { return held.type == QEvent::UpdateRequest; });
}

void PaintPacer::paintHeld()
{
    m_fallback.stop();
    const std::vector<Request> held = std::move(m_held);
    m_held.clear();
    send(held);
    m_sincePaint.restart();
}

void PaintPacer::send(const std::vector<Request>& requests)
{
    m_painting = true;
    for (const Request& request : requests) {
        if (!request.widget)
            continue;
        QEvent asked(request.type);
        QCoreApplication::sendEvent(request.widget, &asked);
    }
    m_painting = false;
}

void PaintPacer::release()
{
    m_deviceBusy = false;
    m_fallback.stop();
    if (!m_held.empty())
        m_afterExchange.start();
}

void PaintPacer::exchangeOver()
{
    if (!m_lineBusy())
        paintHeld();
    else if (!m_held.empty())
        m_fallback.start();
}
