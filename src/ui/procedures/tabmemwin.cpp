#include "tabmemwin.h"

#include "procedures/devicetable.h"
#include "tablefieldkeys.h"
#include "ui/touch/sendbutton.h"
#include "ui/touch/touchscroller.h"
#include "ui/touch/virtkeyboard.h"
#include "ui_tabmemwin.h"

#include <QDebug>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// How many characters narrower than the row the label is: the value and two more.
int labelShortfall(const TableField& field)
{
    if (field.type == TableField::Char)
        return field.size + 2;
    if (field.hexadecimal())
        return field.valueWidth() + 2;
    return field.size == 1 ? 5 : field.size == 2 ? 7 : 12;
}

} // namespace

TabMemWin::TabMemWin(QWidget* parent) : QDialog(parent), m_ui(new Ui::TabMemWin)
{
    m_ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::WindowTitleHint);
    makeSendButtons({m_ui->pbEnter});
    // Nor does Return leave the window with the values typed in it.
    m_ui->pbExit->setAutoDefault(false);
    VirtKeyboard::keepUncovered({m_ui->pbEnter, m_ui->pbExit});
    TouchScroller::drive(m_ui->saTab);
}

TabMemWin::~TabMemWin() = default;

void TabMemWin::showTable(const DeviceTable& table)
{
    const int charSize = DeviceTable::CharSize;
    setFont(QFont(QStringLiteral("Times New Roman"), charSize));
    setWindowTitle(table.title());

    int width = int(table.displayName().size()) * font().pointSize();
    for (int k = 0; k < table.fieldList.size(); ++k) {
        const TableField& field = table.fieldList.at(k);
        const QString text = QStringLiteral("(%1) %2").arg(k + 1).arg(field.displayName());
        width = std::max(width, (int(text.size()) + 1 + field.valueWidth()) * charSize);
    }
    resize(width + 20, height());

    // The content is as wide as the scroll area's inside once the window has that width.
    const QMargins margins = layout()->contentsMargins();
    const int contentWidth =
        width + 20 - margins.left() - margins.right() - 2 * m_ui->saTab->frameWidth();

    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("widTab"));
    auto* rows = new QVBoxLayout(content);
    rows->setContentsMargins(5, 5, 5, 5);
    rows->setSpacing(2);
    m_edits.clear();
    for (int k = 0; k < table.fieldList.size(); ++k) {
        const TableField& field = table.fieldList.at(k);
        auto* label = new QLabel(field.displayName(), content);
        label->setFixedWidth(std::max(0, contentWidth - labelShortfall(field) * charSize - 20));
        label->setToolTip(QStringLiteral("(%1) %2").arg(k + 1).arg(field.displayName()));
        auto* edit = new QLineEdit(content);
        VirtKeyboard::bond(edit, tableFieldKeys(field));
        edit->setText(field.valueText(table.value(0, k)));
        auto* row = new QHBoxLayout;
        row->addWidget(label);
        row->addWidget(edit);
        rows->addLayout(row);
        m_edits << edit;
    }
    rows->addStretch(1);
    m_ui->saTab->setWidget(content);
    m_ui->widTab = content;
    qDebug() << "TabMemWin" << size();
}
