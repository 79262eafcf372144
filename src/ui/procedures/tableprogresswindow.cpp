#include "tableprogresswindow.h"

#include "ui/shell/windowplacement.h"

#include <QCoreApplication>
#include <QProgressDialog>

namespace {

QString trTables(const char* text)
{
    return QCoreApplication::translate("Tables", text);
}

} // namespace

TableProgressWindow::~TableProgressWindow()
{
    close();
}

void TableProgressWindow::open(Mode mode, int table, int maximum)
{
    close();
    m_dialog = new QProgressDialog(
        mode == Reading ? trTables("Чтение таблицы") : trTables("Запись таблицы"),
        trTables("Прекратить"), 0, maximum, nullptr, Qt::Dialog | Qt::FramelessWindowHint);
    m_dialog->setObjectName(QStringLiteral("tableProgress"));
    m_dialog->setWindowTitle(trTables("Таблица ") + QString::number(table));
    m_dialog->setMinimumDuration(0);
    m_dialog->setAutoClose(false);
    m_dialog->setAutoReset(false);
    m_dialog->setValue(0);
    placeOverMainWindow(m_dialog);
    m_dialog->show();
}

bool TableProgressWindow::step(int value)
{
    if (!m_dialog)
        return false;
    m_dialog->setValue(value);
    QCoreApplication::processEvents();
    return m_dialog && !m_dialog->wasCanceled();
}

void TableProgressWindow::complete()
{
    if (m_dialog)
        m_dialog->setValue(m_dialog->maximum());
}

void TableProgressWindow::close()
{
    delete m_dialog.data();
}

QProgressDialog* TableProgressWindow::dialog() const
{
    return m_dialog.data();
}
