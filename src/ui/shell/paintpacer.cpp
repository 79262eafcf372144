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
    QCoreApplication::instance()->installEventFilter(this);
}

PaintPacer::~PaintPacer()
{
    QCoreApplication::instance()->removeEventFilter(this);
    release();
}

bool PaintPacer::eventFilter(QObject* watched, QEvent* event)
{
    // A window's paint is asked for once, by this event, until the window has painted: held,
    // it is sent again here later, and nothing of what changed meanwhile is lost.
    if (event->type() != QEvent::UpdateRequest || m_painting || !watched->isWidgetType() ||
        !m_lineBusy())
        return false;
    auto* window = static_cast<QWidget*>(watched);
    if (std::find(m_held.begin(), m_held.end(), window) == m_held.end())
        m_held.emplace_back(window);
    if (!m_fallback.isActive())
        m_fallback.start();
    return true;
}

void PaintPacer::paintIfDue()
{
    if (!m_held.empty() && m_sincePaint.elapsed() >= PaintIntervalMs)
        paintHeld();
}

void PaintPacer::paintHeld()
{
    m_fallback.stop();
    const std::vector<QPointer<QWidget>> held = std::move(m_held);
    m_held.clear();
    m_painting = true;
    for (const QPointer<QWidget>& window : held) {
        if (!window)
            continue;
        QEvent paint(QEvent::UpdateRequest);
        QCoreApplication::sendEvent(window, &paint);
    }
    m_painting = false;
    m_sincePaint.restart();
}

void PaintPacer::release()
{
    m_fallback.stop();
    for (const QPointer<QWidget>& window : m_held)
        if (window)
            QCoreApplication::postEvent(window, new QEvent(QEvent::UpdateRequest),
                                        Qt::LowEventPriority);
    m_held.clear();
}
