#include "viewfpwin.h"

#include "procedures/dumpmodels.h"
#include "ui/shell/closebutton.h"
#include "ui/touch/touchscroller.h"
#include "ui_viewfpwin.h"

#include <QDebug>
#include <QHeaderView>
#include <QLayout>
#include <QScreen>
#include <QScrollBar>

#include <algorithm>

ViewFpWin::ViewFpWin(QWidget* parent)
    : QWidget(parent),
      m_ui(std::make_unique<Ui::ViewFpWin>()),
      m_fiscalizations(FiscalRecordModel::fiscalizations(this)),
      m_shiftTotals(FiscalRecordModel::shiftTotals(this))
{
    m_ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowMaximizeButtonHint);
    makeClosable(this, m_ui->pbClose);
    setUpTable(m_ui->tabFisc, m_fiscalizations);
    setUpTable(m_ui->tabSmenItog, m_shiftTotals);
    // Wide enough for every column of the fiscalizations, as far as the screen allows.
    const QHeaderView* columns = m_ui->tabFisc->horizontalHeader();
    const QMargins around = layout()->contentsMargins();
    const int margins = around.left() + around.right();
    int wanted = columns->length() + m_ui->tabFisc->verticalScrollBar()->sizeHint().width() +
                 2 * m_ui->tabFisc->frameWidth() + margins;
    if (const QScreen* screen = this->screen())
        wanted = std::min(wanted, screen->availableSize().width());
    resize(std::max(width(), wanted), height());
}

ViewFpWin::~ViewFpWin() = default;

void ViewFpWin::setUpTable(QTableView* table, FiscalRecordModel* model)
{
    table->setModel(model);
    TouchScroller::drive(table);
    // The columns keep their given widths; a narrow fixed-pitch face fits the digits in.
    table->setStyleSheet(QStringLiteral("font: 9pt \"DejaVu Sans Mono\";"));
    table->verticalHeader()->hide();
    QHeaderView* rows = table->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(table->fontMetrics().height() + 6);
    for (int c = 0; c < model->columnCount(); ++c)
        table->horizontalHeader()->resizeSection(c, model->columnWidth(c));
}

void ViewFpWin::setViewFp(QByteArray* data)
{
    qDebug() << "setViewFp";
    m_data = data;
    setViewFisc();
    setViewSmenItog();
    qDebug() << "/setViewFp";
}

void ViewFpWin::reload()
{
    setViewFp(m_data);
}

void ViewFpWin::setViewFisc()
{
    qDebug() << "setViewFisc";
    m_fiscalizations->setDump(m_data);
    qDebug() << "/setViewFisc";
}

void ViewFpWin::setViewSmenItog()
{
    qDebug() << "setViewSmenItog";
    m_shiftTotals->setDump(m_data);
    qDebug() << "/setViewSmenItog";
}
