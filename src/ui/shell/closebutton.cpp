#include "closebutton.h"

#include <QAbstractButton>
#include <QShortcut>
#include <QWidget>

void makeClosable(QWidget* window, QAbstractButton* closeButton)
{
    QObject::connect(closeButton, &QAbstractButton::clicked, window, &QWidget::close);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), window);
    QObject::connect(escape, &QShortcut::activated, window, &QWidget::close);
}
