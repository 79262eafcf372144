#pragma once

#include "virtkeyboard.h"

#include <QList>
#include <QStyledItemDelegate>

// The item delegate of a grid typed into by finger: a cell's editor, when it opens on the
// tap, is bound to the on-screen keyboard with its column's keys, and the keyboard comes up.
class KeyboardDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    KeyboardDelegate(QList<VirtKeyboard::Keys> columnKeys, QObject* parent);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;

private:
    QList<VirtKeyboard::Keys> m_columnKeys;
};
