#include "fingertargets.h"

#include <QWidget>

#include <algorithm>

void makeFingerTargets(QWidget* root)
{
    const int side = std::max(28, qRound(8 * root->logicalDpiX() / 25.4));
    root->setStyleSheet(
        root->styleSheet() +
        QStringLiteral(" QCheckBox::indicator, QRadioButton::indicator, "
                       "QAbstractItemView::indicator { width: %1px; height: %1px; }"
                       " QComboBox { combobox-popup: 0; }")
            .arg(side));
}
