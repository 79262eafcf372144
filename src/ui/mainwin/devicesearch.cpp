#include "devicesearch.h"

#include "comwin.h"
#include "mainwin.h"
#include "ui/shell/windowplacement.h"

#include <QDebug>

DeviceSearch::DeviceSearch(MainWin& window) : QObject(&window), m_window(window) {}

void DeviceSearch::open()
{
    qDebug() << "comItem";
    // One search window at a time.
    if (m_comWin) {
        m_comWin->raise();
        return;
    }
    m_window.showOverlay();
    m_comWin = new ComWin(m_window);
    // The main log pane's text, for the search window's mini log.
    connect(&m_window, &MainWin::textFromLog, m_comWin, &ComWin::catchText);
    connect(m_comWin, &ComWin::sNotFinded, this, &DeviceSearch::notFound);
    connect(m_comWin, &ComWin::sCanceled, this, &DeviceSearch::cancelled);
    connect(m_comWin, &ComWin::sFinded, this, &DeviceSearch::found);
    placeOverMainWindow(m_comWin);
    m_comWin->show();
    qDebug() << "/comItem";
}

ComWin* DeviceSearch::searchWindow() const
{
    return m_comWin.data();
}

void DeviceSearch::endSearch(const QString& outcome)
{
    if (m_comWin)
        m_comWin->closeWhenIdle();
    if (!outcome.isEmpty())
        m_window.logPane().logInfo(tr("Поиск ФР"), outcome);
    m_window.repaint();
}

void DeviceSearch::found()
{
    qDebug() << "slFindComProg" << m_comWin.data();
    endSearch(QString());
    qDebug() << "/slFindComProg";
}

void DeviceSearch::notFound()
{
    endSearch(tr("ФР не найден."));
}

void DeviceSearch::cancelled()
{
    m_window.hideOverlay();
    endSearch(tr("Прерван."));
}
