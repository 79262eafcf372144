#include "dumpwin.h"

#include "base/logpane.h"
#include "procedures/dumpfile.h"
#include "procedures/dumpmodels.h"
#include "ui/shell/closebutton.h"
#include "ui/shell/modaldialog.h"
#include "ui/touch/touchscroller.h"
#include "ui_dumpwin.h"

#include <QDebug>
#include <QFileInfo>
#include <QHeaderView>

DumpWin::DumpWin(const QString& appDir, LogPane& pane, QWidget* parent)
    : QWidget(parent),
      m_ui(std::make_unique<Ui::DumpWin>()),
      m_appDir(appDir),
      m_pane(pane),
      m_model(new DumpTableModel(this))
{
    m_ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowMaximizeButtonHint);
    makeClosable(this, m_ui->pbClose);
    QTableView* table = m_ui->tabDump;
    table->setModel(m_model);
    TouchScroller::drive(table);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->verticalHeader()->hide();
    QHeaderView* columns = table->horizontalHeader();
    columns->setMinimumSectionSize(10);
    columns->setDefaultSectionSize(30);
    for (int c = 0; c < DumpTableModel::Columns; ++c)
        columns->resizeSection(c, 34);
    // Every row holds the same two digits a cell: one height fitted to them serves all
    // rows, so a dump of millions of rows opens at once.
    QHeaderView* rows = table->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(table->fontMetrics().height() + 6);
}

DumpWin::~DumpWin() = default;

void DumpWin::setViewDump(QByteArray* data, const QString& unitName)
{
    qDebug() << "setViewDump";
    m_data = data;
    m_ui->labUnit->setText(unitName);
    viewDump();
    qDebug() << "/setViewDump";
}

void DumpWin::viewDump()
{
    qDebug() << "viewDump";
    m_model->setDump(m_data);
    qDebug() << "/viewDump";
}

void DumpWin::on_pbOpen_clicked()
{
    const QString path = askFileName({false, tr("Открыть"), m_appDir,
                                      tr("Двоичные файлы (*.bin);; Все (*.*)")});
    if (path.isEmpty() || !m_data)
        return;
    qDebug() << "DumpWin open" << ('"' + path + '"');
    QByteArray bytes;
    if (!DumpFile::read(path, &bytes)) {
        m_pane.logError(tr("Просмотр данных"),
                        tr("Не удалось прочитать файл %1").arg(QFileInfo(path).fileName()));
        return;
    }
    *m_data = std::move(bytes);
    viewDump();
    Q_EMIT dumpReplaced();
}

void DumpWin::on_pbSaveAs_clicked()
{
    const QString path = askFileName({true, tr("Сохранить как"), m_appDir, tr("*.bin *.*")});
    if (path.isEmpty() || !m_data)
        return;
    if (!DumpFile::write(path, *m_data))
        m_pane.logError(tr("Просмотр данных"),
                        tr("Не удалось записать файл %1").arg(QFileInfo(path).fileName()));
}
