#include "linetestchart.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

constexpr int Left = 64; // room for the scale's labels
constexpr int Top = 28;  // room for the legend
constexpr int Bottom = 8;
constexpr int Right = 8;

QColor outcomeColour(LineReport::Outcome outcome)
{
    switch (outcome) {
    case LineReport::Outcome::FirstAttempt:
        return QColor(0x2E, 0x8B, 0x57);
    case LineReport::Outcome::Retried:
        return QColor(0xE0, 0x8A, 0x00);
    case LineReport::Outcome::Failed:
        break;
    }
    return QColor(0xC8, 0x00, 0x00);
}

QString decadeText(int decade)
{
    if (decade < 0)
        return QStringLiteral("0,%1 мс").arg(QString(-decade - 1, QLatin1Char('0')) +
                                             QLatin1Char('1'));
    if (decade < 3)
        return QStringLiteral("%1 мс").arg(std::pow(10, decade));
    return QStringLiteral("%1 с").arg(std::pow(10, decade - 3));
}

} // namespace

LineTestChart::LineTestChart(QWidget* parent) : QWidget(parent)
{
    setMinimumHeight(240);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void LineTestChart::start(int planned)
{
    m_planned = std::max(planned, 1);
    m_wireMs = 0;
    m_exchanges.clear();
    update();
}

void LineTestChart::add(const LineReport::Exchange& exchange, double wireMs)
{
    m_exchanges << exchange;
    m_wireMs = wireMs;
    update();
}

void LineTestChart::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    const QRect plot(Left, Top, width() - Left - Right, height() - Top - Bottom);
    painter.setPen(Qt::gray);
    painter.drawRect(plot);

    // The scale spans the decades the times and the wire time reach, two at least.
    double least = m_wireMs > 0 ? m_wireMs : 1;
    double most = least;
    for (const LineReport::Exchange& exchange : std::as_const(m_exchanges)) {
        least = std::min(least, std::max(exchange.ms, 0.01));
        most = std::max(most, exchange.ms);
    }
    const int low = int(std::floor(std::log10(least)));
    const int high = std::max(int(std::ceil(std::log10(most))), low + 2);
    const auto y = [&](double ms) {
        const double at = (std::log10(std::max(ms, 0.01)) - low) / (high - low);
        return plot.bottom() - at * plot.height();
    };
    const QFontMetrics metrics(font());
    for (int decade = low; decade <= high; ++decade) {
        const int at = int(y(std::pow(10, decade)));
        painter.setPen(QColor(0xDD, 0xDD, 0xDD));
        painter.drawLine(plot.left(), at, plot.right(), at);
        painter.setPen(Qt::black);
        const QString label = decadeText(decade);
        painter.drawText(Left - 6 - metrics.horizontalAdvance(label), at + metrics.ascent() / 2,
                         label);
    }

    const double step = double(plot.width()) / m_planned;
    for (int i = 0; i < m_exchanges.size(); ++i) {
        const LineReport::Exchange& exchange = m_exchanges.at(i);
        const QRectF bar(plot.left() + i * step, y(exchange.ms), std::max(step - 1, 1.0),
                         plot.bottom() - y(exchange.ms));
        painter.fillRect(bar, outcomeColour(exchange.outcome));
        // A repeat or a failure is marked above its bar too, so one among hundreds is seen.
        if (exchange.outcome != LineReport::Outcome::FirstAttempt) {
            QPainterPath mark;
            const double middle = bar.center().x();
            mark.moveTo(middle - 4, plot.top() + 2);
            mark.lineTo(middle + 4, plot.top() + 2);
            mark.lineTo(middle, plot.top() + 9);
            mark.closeSubpath();
            painter.fillPath(mark, outcomeColour(exchange.outcome));
        }
    }
    if (m_wireMs > 0) {
        painter.setPen(QPen(Qt::blue, 1, Qt::DashLine));
        painter.drawLine(plot.left(), int(y(m_wireMs)), plot.right(), int(y(m_wireMs)));
    }

    // The legend.
    int x = Left;
    const int base = Top - 8;
    const auto entry = [&](const QColor& colour, const QString& text) {
        painter.fillRect(x, base - metrics.ascent() + 2, 12, 12, colour);
        painter.setPen(Qt::black);
        painter.drawText(x + 16, base, text);
        x += 16 + metrics.horizontalAdvance(text) + 18;
    };
    entry(outcomeColour(LineReport::Outcome::FirstAttempt), tr("с первой попытки"));
    entry(outcomeColour(LineReport::Outcome::Retried), tr("с повтором"));
    entry(outcomeColour(LineReport::Outcome::Failed), tr("не выполнен"));
    entry(Qt::blue, tr("время на линии"));
}
