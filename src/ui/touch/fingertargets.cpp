#include "fingertargets.h"

#include <QWidget>

#include <algorithm>

void makeFingerTargets(QWidget* root)
{
    const int side = std::max(28, qRound(8 * root->logicalDpiX() / 25.4));
    // A drop-down's rows as high as the buttons: about 12 mm.
    const int row = std::max(44, qRound(12 * root->logicalDpiX() / 25.4));
    root->setStyleSheet(root->styleSheet() +
                        QStringLiteral(" QCheckBox::indicator, QRadioButton::indicator, "
                                       "QAbstractItemView::indicator { width: %1px; height: %1px; }"
                                       " QComboBox { combobox-popup: 0; }"
                                       " QComboBox QAbstractItemView::item { min-height: %2px; }")
                            .arg(side)
                            .arg(row));
}
