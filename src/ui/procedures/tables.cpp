#include "tables.h"

#include "base/logpane.h"
#include "dattimwin.h"
#include "procedures/procedurehost.h"
#include "procedures/procedurelink.h"
#include "procedures/programobjects.h"
#include "tabdialog.h"
#include "tablefieldkeys.h"
#include "tableprogresswindow.h"
#include "tabmemwin.h"
#include "ui/shell/modaldialog.h"
#include "ui/shell/windowplacement.h"
#include "ui/touch/keyboarddelegate.h"
#include "ui/touch/touchscroller.h"
#include "ui_dattimwin.h"

#include <QDebug>
#include <QHeaderView>
#include <QLineEdit>
#include <QTableWidget>

#include <memory>

Tables::Tables(ProgramObjects& objects, ProcedureLink& link, QObject* parent)
    : QObject(parent), m_objects(objects), m_link(link), m_exchange(link)
{
}

int Tables::sendRead(const QByteArray& command, const QString& title, int allowedError)
{
    const ProcedureLink::Result result = m_link.send(command, {title, title, title}, allowedError);
    m_lastError = result.code;
    m_lastReply = result.reply;
    return result.code;
}

void Tables::datTimProc()
{
    qDebug() << "datTimProc";
    const auto window = std::make_unique<DatTimWin>();
    Ui::DatTimWin* ui = window->ui();
    m_date = m_now().date();
    ui->calendarWidget->setSelectedDate(m_date);
    ui->sbDay->setValue(m_date.day());
    ui->sbMonth->setValue(m_date.month());
    ui->sbYear->setValue(m_date.year());
    for (;;) {
        window->followClock(m_now);
        const int result = runModal(window.get());
        qDebug() << "datTimWin->exec" << result;
        if (result == DatTimWin::Closed || result == DatTimWin::Accepted)
            break;
        if (result < DatTimWin::DateEntry || result > DatTimWin::TimeEntry)
            continue;
        m_date = ui->calendarWidget->selectedDate();
        m_time = window->timeToSend();
        qDebug() << "Date/Time" << m_date << m_time;
        qDebug() << "Time" << m_time.hour() << m_time.minute() << m_time.second();
        qDebug() << "Date" << m_date.day() << m_date.month() << m_date.year() - 2000;
        const quint32 password = m_link.host().password();
        QString title;
        QByteArray command;
        if (result == DatTimWin::DateEntry) {
            title = tr("Программирование даты");
            command = m_clock.programDate(password, m_date);
            m_sent = m_date.toString(QStringLiteral("dd.MM.yyyy"));
        } else if (result == DatTimWin::DateConfirm) {
            title = tr("Подтверждение программирования даты");
            command = m_clock.confirmDate(); // the last command's date or time again
        } else {
            title = tr("Программирование времени");
            command = m_clock.programTime(password, m_time);
            m_sent = m_time.toString(QStringLiteral("hh:mm:ss"));
        }
        // The window and the status line both tell this command's outcome, naming the date
        // or the time it carried: a failure's line sets the status, a success sets it here.
        LogPane& pane = m_link.host().logPane();
        if (sendRead(command, title) == 0)
            pane.setStatus(title, m_sent + tr(" - без ошибок."));
        ui->labResult->setText(pane.statusText());
    }
    m_objects.procedureRunning = false;
}

bool Tables::getTabList()
{
    return m_exchange.discover();
}

void Tables::openTable(int table)
{
    qDebug() << "openTable" << table;
    const bool oneRow =
        table >= 1 && table <= m_exchange.count() && m_exchange.listed(table).rows == 1;
    if (oneRow)
        getTableOneRow(table);
    else
        getTableRows(table, tr("Ряд"));
    m_objects.procedureRunning = false;
}

bool Tables::collectValue(int row, int field, const QString& text)
{
    DeviceTable& table = m_exchange.table();
    const TableField& description = table.fieldList.at(field);
    QByteArray value;
    if (!description.collect(text, &value)) {
        m_link.host().logPane().logError(table.displayName(),
                                         tr("Ошибка в параметре ") + QLatin1Char('"') +
                                             description.displayName() + QLatin1Char('"'));
        return false;
    }
    std::copy_n(value.constData(), description.size, table.value(row, field));
    return true;
}

void Tables::getTableOneRow(int table)
{
    qDebug() << "getTableOneRow" << table;
    TableProgressWindow progress;
    if (!m_exchange.read(table, progress))
        return;
    // The device may report another row count than its list did: the grid shows what was
    // read, without reading it again.
    if (m_exchange.table().rows != 1) {
        editRows(tr("Ряд"), progress);
        return;
    }
    TabMemWin window;
    window.showTable(m_exchange.table());
    for (;;) {
        if (runModal(&window) != QDialog::Accepted)
            return;
        bool valid = true;
        for (int k = 0; valid && k < window.edits().size(); ++k)
            valid = collectValue(0, k, window.edits().at(k)->text());
        if (valid && m_exchange.write(progress))
            return;
    }
}

QTableWidget* Tables::buildGrid(const QString& rowHeader) const
{
    const DeviceTable& table = m_exchange.table();
    const int charSize = DeviceTable::CharSize;
    auto* grid = new QTableWidget(table.rows, table.fields + 1);
    grid->setObjectName(QStringLiteral("twTable"));
    grid->setFont(QFont(QStringLiteral("Times New Roman"), 14));
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setSelectionBehavior(QAbstractItemView::SelectItems);
    grid->verticalHeader()->hide();
    // A finger drags the grid; a tap on a cell opens its editor, since the scroller's replayed
    // taps make no double click.
    TouchScroller::drive(grid);
    grid->setEditTriggers(QAbstractItemView::AllEditTriggers);
    QList<VirtKeyboard::Keys> columnKeys{VirtKeyboard::Keys::Text};
    for (const TableField& field : table.fieldList)
        columnKeys << tableFieldKeys(field);
    grid->setItemDelegate(new KeyboardDelegate(columnKeys, grid));
    grid->setHorizontalHeaderItem(0, new QTableWidgetItem(rowHeader));
    grid->setColumnWidth(0, std::max(4, int(rowHeader.size())) * charSize);
    for (int k = 0; k < table.fields; ++k) {
        const TableField& field = table.fieldList.at(k);
        const QString name = field.displayName();
        grid->setHorizontalHeaderItem(k + 1, new QTableWidgetItem(name));
        // Nine pixels a character cuts most names in the window's font: the header's own
        // width is the least a column gets.
        const int headerWidth = grid->fontMetrics().horizontalAdvance(name) + 12;
        grid->setColumnWidth(
            k + 1, std::max(std::max(field.valueWidth(), int(name.size())) * 9, headerWidth));
    }
    qDebug() << "getTableRows put";
    for (int r = 0; r < table.rows; ++r) {
        auto* number = new QTableWidgetItem(QString::number(r + 1));
        number->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        number->setFlags(Qt::ItemIsEnabled);
        grid->setItem(r, 0, number);
        for (int k = 0; k < table.fields; ++k) {
            const TableField& field = table.fieldList.at(k);
            auto* cell = new QTableWidgetItem(field.valueText(table.value(r, k)));
            cell->setTextAlignment(field.type == TableField::Char
                                       ? Qt::AlignLeft | Qt::AlignVCenter
                                       : Qt::AlignRight | Qt::AlignVCenter);
            grid->setItem(r, k + 1, cell);
        }
    }
    // Every row holds one line of text: row 0's height fits them all.
    if (table.rows > 0) {
        grid->resizeRowToContents(0);
        grid->verticalHeader()->setDefaultSectionSize(grid->rowHeight(0));
    }
    int width = 0;
    for (int c = 0; c < grid->columnCount(); ++c)
        width += grid->columnWidth(c) + 3;
    const int rowHeight = grid->verticalHeader()->defaultSectionSize();
    grid->resize(width, rowHeight * (table.rows + 2));
    return grid;
}

void Tables::getTableRows(int table, const QString& rowHeader)
{
    qDebug() << "getTableRows" << table;
    TableProgressWindow progress;
    if (!m_exchange.read(table, progress))
        return;
    editRows(rowHeader, progress);
}

void Tables::editRows(const QString& rowHeader, TableProgressWindow& progress)
{
    qDebug() << "getTableRows setup";
    const DeviceTable& record = m_exchange.table();
    TabDialog dialog(buildGrid(rowHeader), record.title());
    QTableWidget* grid = dialog.grid();
    for (;;) {
        if (runModal(&dialog) != QDialog::Accepted)
            return;
        bool valid = true;
        for (int r = 0; valid && r < record.rows; ++r)
            for (int k = 0; valid && k < record.fields; ++k)
                valid = collectValue(r, k, grid->item(r, k + 1)->text());
        if (valid && m_exchange.write(progress))
            return;
    }
}
