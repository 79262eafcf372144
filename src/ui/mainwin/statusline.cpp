#include "statusline.h"

#include <QPainter>
#include <QStyle>

StatusLine::StatusLine(QWidget* parent) : QLabel(parent)
{
    setWordWrap(false);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

QSize StatusLine::sizeHint() const
{
    return {0, QLabel::sizeHint().height()};
}

QSize StatusLine::minimumSizeHint() const
{
    return sizeHint();
}

void StatusLine::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect room = contentsRect();
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, room.width());
    style()->drawItemText(&painter, room, int(alignment()), palette(), isEnabled(), shown,
                          foregroundRole());
}
