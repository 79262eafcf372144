#include "sendhex.h"

#include "base/logpane.h"
#include "procedures/hexcommand.h"
#include "procedures/procedurehost.h"
#include "procedures/procedurelink.h"
#include "procedures/programobjects.h"
#include "sendhexwin.h"
#include "ui/shell/irreversiblequestion.h"
#include "ui/shell/windowplacement.h"
#include "ui/touch/virtkeyboard.h"
#include "ui_sendhexwin.h"

#include <QDebug>
#include <QStringList>

SendHex::SendHex(ProgramObjects& objects, ProcedureLink& link, QObject* parent)
    : QObject(parent), m_objects(objects), m_link(link)
{
}

SendHex::~SendHex()
{
    delete m_window;
}

void SendHex::open()
{
    qDebug() << "SendHex::open";
    // One window at a time: a second opening brings the open one forward.
    if (!m_window) {
        m_window = new SendHexWin;
        connect(m_window, &SendHexWin::send, this, &SendHex::sendHex);
        connect(m_window, &SendHexWin::exit, this, &SendHex::exitHex);
        placeOverMainWindow(m_window);
    }
    m_link.host().showOverlay();
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    VirtKeyboard::bond(m_window->ui()->tedHex, VirtKeyboard::Keys::Hex);
}

void SendHex::sendHex()
{
    if (!m_window)
        return;
    qDebug() << "SendHex::sendHex";
    SendHexWin* window = m_window;
    const HexCommand::Sent sent = HexCommand::send(
        window->ui()->tedHex->toPlainText(), m_link, m_objects.catalogue,
        [window](const QString& question) { return askIrreversible(window, question); });
    if (m_window != window)
        return; // closed meanwhile
    // The window answers for itself: the status line behind it is dimmed.
    QStringList result;
    if (!sent.reply.isEmpty())
        result << tr("Ответ: %1").arg(QString::fromLatin1(sent.reply.toHex(' ').toUpper()));
    if (HexCommand::decode(window->ui()->tedHex->toPlainText()).isEmpty())
        result << tr("Нет байтов в HEX формате: команда не отправлена.");
    else
        result << m_link.host().logPane().statusText();
    window->ui()->labResult->setText(result.join(QLatin1Char('\n')));
}

void SendHex::exitHex()
{
    qDebug() << "SendHex::exitHex";
    m_link.host().hideOverlay();
    m_objects.procedureRunning = false;
    if (m_window) {
        m_window->deleteLater();
        m_window = nullptr;
    }
}
