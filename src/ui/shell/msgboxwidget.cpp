#include "msgboxwidget.h"

#include "base/msgbox.h"

#include <QFont>
#include <QMessageBox>

void installWidgetMsgBox()
{
    setMsgBoxHandler([](MsgIcon icon, const QString& title, const QString& text) {
        auto* box = new QMessageBox(
            icon == MsgIcon::Critical ? QMessageBox::Critical : QMessageBox::Information, title,
            text, QMessageBox::NoButton, nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
        box->setAttribute(Qt::WA_DeleteOnClose);
        QFont font(QStringLiteral("Times"), 12);
        font.setBold(true);
        box->setFont(font);
        // A button a finger can hit on the touch terminal.
        box->setStyleSheet(QStringLiteral("QPushButton { min-height: 44px; min-width: 120px; }"));
        box->exec();
    });
}
