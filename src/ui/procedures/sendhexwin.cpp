#include "sendhexwin.h"

#include "ui/touch/sendbutton.h"
#include "ui/touch/virtkeyboard.h"
#include "ui_sendhexwin.h"

#include <QCloseEvent>

SendHexWin::SendHexWin(QWidget* parent) : QWidget(parent), m_ui(std::make_unique<Ui::SendHexWin>())
{
    m_ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowMaximizeButtonHint | Qt::WindowStaysOnTopHint);
    makeSendButtons({m_ui->pbSend});
    VirtKeyboard::keepUncovered({m_ui->pbSend, m_ui->pbExit});
}

void SendHexWin::on_pbSend_clicked()
{
    Q_EMIT send();
    m_ui->tedHex->setFocus(Qt::OtherFocusReason); // the next command is typed here
}

SendHexWin::~SendHexWin() = default;

void SendHexWin::on_pbExit_clicked()
{
    Q_EMIT exit();
}

void SendHexWin::closeEvent(QCloseEvent* event)
{
    event->accept();
    Q_EMIT exit();
}
