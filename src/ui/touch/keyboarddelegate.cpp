#include "keyboarddelegate.h"

KeyboardDelegate::KeyboardDelegate(QList<VirtKeyboard::Keys> columnKeys, QObject* parent)
    : QStyledItemDelegate(parent), m_columnKeys(std::move(columnKeys))
{
}

QWidget* KeyboardDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                        const QModelIndex& index) const
{
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    VirtKeyboard::bondOpened(editor, m_columnKeys.value(index.column(), VirtKeyboard::Keys::Text));
    return editor;
}
