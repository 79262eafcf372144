#include "irreversiblequestion.h"

#include "modaldialog.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

bool askIrreversible(QWidget* parent, const QString& question)
{
    const auto tr = [](const char* text) { return QCoreApplication::translate("MainWin", text); };
    QMessageBox box(QMessageBox::Warning, tr("Подтверждение"), question, QMessageBox::NoButton,
                    parent);
    box.setObjectName(QStringLiteral("confirmCommand"));
    QPushButton* run = box.addButton(tr("Выполнить"), QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(tr("Отмена"), QMessageBox::RejectRole);
    run->setObjectName(QStringLiteral("pbConfirmRun"));
    cancel->setObjectName(QStringLiteral("pbConfirmCancel"));
    // Large enough for a finger on the touch terminal.
    box.setStyleSheet(QStringLiteral("QLabel { font: 14pt \"DejaVu Serif\"; }"
                                     "QPushButton { font: 14pt \"Times New Roman\"; "
                                     "min-height: 48px; min-width: 160px; }"));
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    runModal(&box);
    return box.clickedButton() == run;
}
