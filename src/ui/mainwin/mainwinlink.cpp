// The main window's side of the link: the connect toggle, opening, probing and closing the
// port, the settings panel and the settings file.
#include "mainwin.h"

#include "base/settingsfile.h"
#include "catalogue/startdefaults.h"
#include "devicesearch.h"
#include "linetestwin.h"
#include "link/frvelkor.h"
#include "link/networkport.h"
#include "link/openfailure.h"
#include "procedures/programobjects.h"
#include "ui_mainwin.h"

#include <QDebug>
#include <QFileInfo>
#include <QGuiApplication>

namespace {

constexpr int kOtherPositionRate = 9600;

QString linkTitle()
{
    return MainWin::tr("Установка связи с ФР");
}

// A title naming what is tried: "Установка связи с ФР (ttyS0, 9600)".
QString linkTitle(const QStringList& tried)
{
    return linkTitle() + QStringLiteral(" (") + tried.join(QStringLiteral(", ")) + QLatin1Char(')');
}

// The busy cursor while an object of this lives.
struct BusyCursor
{
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::BusyCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

} // namespace

void MainWin::loadSettings()
{
    // Without a saved password the default table's start value stands.
    const QString defaultPassword =
        QString::fromLatin1(readStartDefaults(m_objects.symbols).passwordText);
    const AppSettings settings = SettingsFile::inAppDir(m_objects.appDirText).load(defaultPassword);
    m_devName = settings.devName;
    m_baudRate = settings.baudRate;
    m_passwordText = settings.secPass;
    m_savedPassword = settings.secPass;
}

void MainWin::saveSettings()
{
    SettingsFile::inAppDir(m_objects.appDirText).save({m_devName, m_baudRate, m_passwordText});
}

void MainWin::setPassword(quint32 password)
{
    m_password = password;
    m_objects.codec.setPassword(password, m_passwordIndex);
}

bool MainWin::mpSetComPort(const QString& portName, int baudRate, LinkLines lines)
{
    qDebug() << "mpSetComPort:" << portName << baudRate;
    const QString title = lines == LinkLines::Search ? linkTitle({portName}) : linkTitle();
    const int code = m_link.frInit(portName, baudRate);
    if (code == FrVelkor::Ok) {
        qDebug() << "/mpSetComPort:"
                 << "OK" << portName;
        return true;
    }
    m_pane.logError(title, tr("Ошибка в параметрах канала"));
    m_pane.logError(title, m_link.errText(code));
    if (code == FrVelkor::OpenFailed)
        m_pane.logError(title,
                        openFailureReason(portName, m_link.openError(), m_link.openErrorString()));
    return false;
}

bool MainWin::mpTestLink(int baudRate, LinkLines lines)
{
    const QString rate = QString::number(baudRate);
    const QString title =
        lines == LinkLines::Search ? linkTitle({m_link.portName(), rate}) : linkTitle({rate});
    ExchangeGuard guard(this);
    for (int attempt = 0; attempt < ProbeAttempts; ++attempt) {
        if (m_searchCancelled)
            return false;
        if (m_link.frSetLink(baudRate, CommandTimeoutMs) == FrVelkor::Ok) {
            m_connected = true;
            mpSetPbTestLink(false);
            m_pane.logInfo(title, tr("Связь есть."));
            if (m_link.rateIsServers())
                m_pane.logInfo(title, FrVelkor::serverRateText(m_link.portName()));
            qDebug() << "/mpTestLink"
                     << "OK";
            return true;
        }
    }
    m_pane.logInfo(title, tr("Связи нет."));
    qDebug() << "/mpTestLink"
             << "NO";
    return false;
}

void MainWin::mpCloseCurComPort()
{
    qDebug() << "mpCloseCurComPort";
    if (!m_connected)
        return;
    m_link.closeComPort();
    m_connected = false;
    mpSetPbTestLink(true);
    m_pane.setStatus(QString(), tr("Нет связи"));
}

void MainWin::mpSetPbTestLink(bool disconnected)
{
    qDebug() << "mpSetPbTestLink" << (disconnected ? "true" : "false");
    // The toggle follows the link, whoever connected it (the toggle, the panel, the search).
    showToggle(!disconnected);
    update();
}

void MainWin::showToggle(bool connected)
{
    QPushButton* toggle = m_ui->pbTestLink;
    toggle->setText(connected ? tr("Отключение") : tr("Подключение"));
    toggle->setIcon(QIcon(connected ? QStringLiteral(":/img/img/connected.png")
                                    : QStringLiteral(":/img/img/connect.png")));
    toggle->setChecked(connected);
}

bool MainWin::connectLink()
{
    ExchangeGuard guard(this);
    // With no device answering, opening and probing take seconds: the status line and the
    // cursor say meanwhile that the link is being tested.
    m_pane.setStatus(linkTitle(),
                     tr("проверка связи: %1, %2 бит/с…").arg(m_devName).arg(m_baudRate));
    const BusyCursor busy;
    if (!mpSetComPort(m_devName, m_baudRate)) {
        showToggle(false);
        return false;
    }
    if (!mpTestLink(m_baudRate)) {
        showToggle(false);
        m_pane.logError(linkTitle(), tr("Нет связи"));
        return false;
    }
    showToggle(true);
    return true;
}

void MainWin::on_pbTestLink_clicked()
{
    qDebug() << "on_pbTestLink_clicked" << m_baudRate;
    if (exchangeRunning()) {
        m_ui->pbTestLink->setChecked(m_connected);
        return;
    }
    if (m_connected) {
        mpCloseCurComPort();
        showToggle(false);
        return;
    }
    connectLink();
}

void MainWin::onPortLost(const QString& reason)
{
    const bool wasConnected = m_connected;
    m_connected = false;
    showToggle(false);
    mpSetPbTestLink(true);
    if (!wasConnected)
        return;
    m_pane.logError(QString(), m_link.portLostText(reason));
    // An adapter unplugged comes back as the same device file: its directory is watched
    // (the file itself is gone), and the user is told when it is there again. Nothing
    // reconnects by itself in the middle of a fiscal session.
    m_lostPort = m_link.portName();
    // A network port has no device file to come back: the toggle offers to connect again.
    if (NetworkPortName::parse(m_lostPort).isNetwork()) {
        m_lostPort.clear();
        return;
    }
    const QString directory = QFileInfo(portSystemPath(m_lostPort)).absolutePath();
    if (!m_lostPortWatcher.directories().contains(directory))
        m_lostPortWatcher.addPath(directory);
    onLostPortDirectoryChanged(); // it may be back already
}

void MainWin::onLostPortDirectoryChanged()
{
    if (m_lostPort.isEmpty() || !QFileInfo::exists(portSystemPath(m_lostPort)) ||
        (m_link.isOpen() && m_link.portName() == m_lostPort))
        return;
    if (!m_lostPortWatcher.directories().isEmpty())
        m_lostPortWatcher.removePaths(m_lostPortWatcher.directories());
    m_pane.logInfo(QString(), tr("Порт %1 снова доступен.").arg(m_lostPort));
    m_lostPort.clear();
    // Connected to another port meanwhile, the toggle stays as it is.
    if (!m_connected)
        showToggle(false);
}

// --- settings panel ----------------------------------------------------------------------

void MainWin::on_setButton_3_clicked()
{
    if (exchangeRunning())
        return;
    // The system's ports as they are now: an adapter plugged in after start-up is offered.
    m_ports = m_portLister();
    QListWidget* list = m_ui->sd_listWidget;
    list->clearSelection();
    list->clear();
    list->addItems(m_ports);
    placePanels();
    m_ui->frame->show();
    m_ui->frame->raise();
    qDebug() << "blur";
    m_ui->sd_br->setCurrentIndex(m_ui->sd_br->findText(QString::number(m_baudRate)));
    m_ui->sd_port->setText(m_devName);
    m_ui->sd_passInput->setText(m_passwordText);
    m_ui->sd_passMessage->hide();
    m_ui->SettingsWidget->show();
    m_ui->SettingsWidget->raise();
}

void MainWin::on_sd_listWidget_currentItemChanged(QListWidgetItem* current, QListWidgetItem*)
{
    if (current)
        m_ui->sd_port->setText(current->text());
}

void MainWin::on_sd_accept_clicked()
{
    if (exchangeRunning())
        return;
    const QString typedText = m_ui->sd_passInput->text();
    bool parsed = false;
    const quint32 typed = typedText.toUInt(&parsed, 10);
    if (!parsed) {
        // Refused in the panel, before anything is written or the link is touched: kept, it
        // went to config.ini and was shown again while another password was sent.
        m_ui->sd_passMessage->setText(
            tr("Пароль системного администратора — число от 0 до 4294967295: «%1» не принят.")
                .arg(typedText));
        m_ui->sd_passMessage->show();
        return;
    }
    m_ui->sd_passMessage->hide();
    qDebug() << "newPsa" << typed;
    m_passwordText = typedText;
    setPassword(typed);
    m_ui->sd_passInput->setText(QString::number(m_password));
    qDebug() << "/newPs";

    if (m_connected) {
        m_link.closeComPort();
        m_connected = false;
        m_pane.setStatus(QString(), tr("Нет связи"));
        mpSetPbTestLink(true);
    }
    const int position = m_ui->sd_br->currentIndex();
    m_baudRate = position >= 0 && position < int(std::size(FrVelkor::BaudRates))
                     ? FrVelkor::BaudRates[position]
                     : kOtherPositionRate;
    m_devName = m_ui->sd_port->text();
    // The panel goes first, so the status line shows the test of the link.
    m_ui->frame->hide();
    qDebug() << "ublur";
    m_ui->SettingsWidget->hide();
    connectLink();
    saveSettings();
}

void MainWin::keepFoundPort(const QString& portName, int baudRate)
{
    m_devName = portName;
    m_baudRate = baudRate;
    saveSettings();
    // The panel beneath the search shows them too, so "Принять" keeps them.
    m_ui->sd_port->setText(m_devName);
    m_ui->sd_br->setCurrentIndex(m_ui->sd_br->findText(QString::number(m_baudRate)));
}

void MainWin::on_sd_cancell_clicked()
{
    m_ui->frame->hide();
    m_ui->SettingsWidget->hide();
}

void MainWin::on_sd_searchDevs_clicked()
{
    qDebug() << "on_pbFindFR_clicked";
    if (exchangeRunning())
        return;
    if (m_connected)
        mpCloseCurComPort();
    if (!buildSearchPorts(m_portLister())) {
        m_pane.logError(tr("COM-порты для ФР"), tr("Нет COM-портов"));
        return;
    }
    m_pane.setStatus(tr("Поиск ФР"), QString());
    m_ui->pbCmdSend->setEnabled(false);
    m_deviceSearch->open();
}

void MainWin::on_sd_lineTest_clicked()
{
    if (exchangeRunning())
        return;
    if (!m_connected) {
        m_pane.logError(LineTestWin::title(), tr("Нет связи: сначала подключитесь к ФР."));
        return;
    }
    LineTestWin::open(*this, m_link, m_objects.errors);
}

void MainWin::on_tedLog_textChanged()
{
    if (m_ui->SettingsWidget->isVisible())
        emit textFromLog(m_ui->tedLog->toPlainText());
}
