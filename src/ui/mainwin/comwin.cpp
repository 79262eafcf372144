#include "comwin.h"

#include "link/frvelkor.h"
#include "mainwin.h"
#include "ui/touch/fingertargets.h"
#include "ui/touch/sendbutton.h"
#include "ui/touch/touchscroller.h"
#include "ui/touch/virtkeyboard.h"
#include "ui_comwin.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDebug>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <iterator>

ComWin::ComWin(MainWin& window)
    : QWidget(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint), m_ui(new Ui::ComWin),
      m_window(window), m_ports(window.searchPorts())
{
    m_ui->setupUi(this);
    makeSendButtons({m_ui->pbSearch});
    connect(this, &ComWin::sTestLink, this, &ComWin::pTestLink);
    connect(this, &ComWin::sComNext, this, &ComWin::pComNext);
    connect(this, &ComWin::sBaudNext, this, &ComWin::pBaudNext);
    m_window.setSearchCancelled(false);
    fillPorts();
    TouchScroller::drive(m_ui->saWid);
}

ComWin::~ComWin()
{
    // A cancelled search must not keep the next connect from probing.
    m_window.setSearchCancelled(false);
}

void ComWin::fillPorts()
{
    auto* content = new QWidget;
    makeFingerTargets(content);
    auto* rows = new QVBoxLayout(content);
    rows->setContentsMargins(5, 5, 5, 5);
    rows->setSpacing(2);
    for (const SearchPort& port : m_ports) {
        auto* row = new QHBoxLayout;
        auto* name = new QLabel(port.name, content);
        auto* tick = new QCheckBox(content);
        tick->setChecked(port.selected);
        auto* rate = new QLineEdit(content);
        rate->setFixedWidth(100);
        rate->setReadOnly(true);
        VirtKeyboard::bond(rate);
        row->addWidget(name, 1);
        row->addWidget(tick);
        row->addWidget(rate);
        rows->addLayout(row);
        m_ticks << tick;
        m_rateFields << rate;
    }
    rows->addStretch(1);
    m_ui->saWid->setWidget(content);
}

void ComWin::on_pbSetAll_clicked()
{
    for (QCheckBox* tick : m_ticks)
        tick->setChecked(true);
}

void ComWin::on_pbClearAll_clicked()
{
    for (QCheckBox* tick : m_ticks)
        tick->setChecked(false);
}

void ComWin::on_pbSearch_clicked()
{
    // "Искать" again while a probe waits would start a second chain inside the first.
    if (m_searching || m_closing)
        return;
    m_searching = true;
    m_window.setSearchCancelled(false);
    qDebug() << "on_pbSearch_clicked";
    m_port = -1;
    emit sComNext();
    m_searching = false;
    qDebug() << "/on_pbSearch_clicked";
    m_window.hideOverlay();
    if (m_closing)
        deleteLater();
}

void ComWin::on_pbCancel_clicked()
{
    if (m_closing)
        return;
    m_window.hideOverlay();
    m_window.setSearchCancelled(true);
    emit sCanceled();
}

void ComWin::pComNext()
{
    qDebug() << "pComNext";
    for (;;) {
        if (m_window.searchCancelled())
            return;
        m_window.mpCloseCurComPort();
        if (++m_port >= int(m_ports.size()))
            break;
        SearchPort& port = m_ports[m_port];
        port.selected = m_ticks.at(m_port)->isChecked();
        if (port.selected) {
            // A port that does not open is still probed: every probe then fails.
            m_rates = FrVelkor::searchRates(port.name, m_window.baudRate());
            if (m_rates.size() == 1)
                m_window.logPane().logInfo(tr("Поиск ФР"), FrVelkor::serverRateText(port.name));
            m_window.mpSetComPort(port.name, m_rates.front(), MainWin::LinkLines::Search);
            m_rate = -1;
            emit sBaudNext();
            qDebug() << "/pComNext baud";
            return;
        }
    }
    emit sNotFinded();
    qDebug() << "/pComNext no";
    m_window.hideOverlay();
}

void ComWin::pBaudNext()
{
    qDebug() << "pBaudNext";
    ++m_rate;
    if (m_window.searchCancelled())
        return;
    if (m_rate < int(m_rates.size())) {
        qDebug() << "pBaudNext test:";
        emit sTestLink();
        qDebug() << "/pBaudNext test:";
    } else {
        m_rate = 0;
        emit sComNext();
        qDebug() << "/pBaudNext com:";
    }
}

void ComWin::pTestLink()
{
    const SearchPort& port = m_ports.at(m_port);
    const int rate = m_rates.at(m_rate);
    qDebug() << "ComWin::pTestLink:" << port.name << rate;
    QLineEdit* field = m_rateFields.at(m_port);
    field->setText(QString::number(rate));
    field->repaint();
    if (!m_window.mpTestLink(rate, MainWin::LinkLines::Search)) {
        if (!m_window.searchCancelled())
            emit sBaudNext();
        return;
    }
    m_window.logPane().logInfo(tr("Поиск ФР"), tr("ФР найден. %1 %2").arg(port.name).arg(rate));
    m_window.keepFoundPort(port.name, rate);
    qDebug() << "/pBudNext ok";
    emit sFinded();
}

void ComWin::catchText(const QString& text)
{
    // Plain text: the pane's lines keep their breaks and no text is taken as markup.
    m_ui->miniLog->setPlainText(text);
}

void ComWin::closeWhenIdle()
{
    m_closing = true;
    hide();
    if (!m_searching)
        deleteLater();
}

void ComWin::closeEvent(QCloseEvent* event)
{
    // Closed by its frame: as "Отменить", or the overlay would stay over the main window.
    if (!m_closing)
        on_pbCancel_clicked();
    event->accept();
}
