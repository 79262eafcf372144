#include "systemmenudialog.h"

#include "ui_systemmenudialog.h"

SystemMenuDialog::SystemMenuDialog(QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::SystemMenuDialog>())
{
    m_ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    connect(m_ui->butExit, &QPushButton::clicked, this, &SystemMenuDialog::pressExit);
    connect(m_ui->butPowerDown, &QPushButton::clicked, this, &SystemMenuDialog::pressPowerDown);
    connect(m_ui->butReboot, &QPushButton::clicked, this, &SystemMenuDialog::pressReboot);
    connect(m_ui->butCalibrate, &QPushButton::clicked, this, &SystemMenuDialog::pressCalibrate);
    for (QPushButton* hidden :
         {m_ui->butReboot, m_ui->butPowerDown, m_ui->butCalibrate, m_ui->butRunSoftUpdate,
          m_ui->butRunSoftUpdateFTP, m_ui->butRunProgram1, m_ui->butRunProgram2,
          m_ui->butRunProgram3, m_ui->butRunProgram4})
        hidden->hide();
    adjustSize();
}

SystemMenuDialog::~SystemMenuDialog() = default;
