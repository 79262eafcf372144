#include "tabdialog.h"

#include "ui/touch/sendbutton.h"
#include "ui/touch/virtkeyboard.h"

#include <QDebug>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QPushButton* button(const QString& text, const char* name, QWidget* parent)
{
    auto* pushButton = new QPushButton(text, parent);
    pushButton->setObjectName(QLatin1String(name));
    pushButton->setFont(QFont(QStringLiteral("Times New Roman"), 14));
    pushButton->setMinimumHeight(44);
    return pushButton;
}

} // namespace

TabDialog::TabDialog(QTableWidget* grid, const QString& title) : QDialog(nullptr), m_grid(grid)
{
    setObjectName(QStringLiteral("TabDialog"));
    setWindowModality(Qt::ApplicationModal);
    setStyleSheet(QStringLiteral("font: 11pt \"DejaVu Serif\";"));
    setWindowFlags(Qt::Dialog | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::WindowTitleHint);
    setWindowTitle(title);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(5, 5, 5, 5);
    grid->setParent(this);
    layout->addWidget(grid);
    auto* buttons = new QHBoxLayout;
    m_enter = button(tr("Применить"), "pbEnter", this);
    makeSendButtons({m_enter});
    m_exit = button(tr("Отменить"), "pbExit", this);
    // Neither is the default: Return in the grid would write the table, or drop its edits.
    m_exit->setAutoDefault(false);
    VirtKeyboard::keepUncovered({m_enter, m_exit});
    buttons->addWidget(m_enter);
    buttons->addStretch(1);
    buttons->addWidget(m_exit);
    layout->addLayout(buttons);
    connect(m_enter, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_exit, &QPushButton::clicked, this, &QDialog::reject);

    // A long table would make a window taller than the screen: the grid scrolls instead.
    QSize wanted = grid->size() + QSize(20, 30 + buttons->sizeHint().height());
    if (const QScreen* screen = this->screen())
        wanted = wanted.boundedTo(screen->availableSize());
    resize(wanted);
    qDebug() << "TabDialog" << size();
    qDebug() << "TabDialog hLayout" << buttons->sizeHint().height();
}
