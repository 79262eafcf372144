#include "datakkmwin.h"

#include "base/logpane.h"
#include "catalogue/symboltables.h"
#include "dumpwin.h"
#include "procedures/dumpfile.h"
#include "procedures/procedurehost.h"
#include "procedures/procedurelink.h"
#include "ui/shell/modaldialog.h"
#include "ui/shell/windowplacement.h"
#include "ui/touch/sendbutton.h"
#include "ui/touch/virtkeyboard.h"
#include "ui_datakkmwin.h"
#include "viewfpwin.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

namespace {

const QByteArray kUnitPrefix = QByteArrayLiteral("UN_");
// The first unit, the first fiscal memory storage: the only one its viewer reads.
constexpr int FiscalMemoryUnit = 0;

// Holds a flag set for as long as it lives.
class FlagScope
{
public:
    explicit FlagScope(bool& flag) : m_flag(flag) { m_flag = true; }
    ~FlagScope() { m_flag = false; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& m_flag;
};

} // namespace

DataKkmWin::DataKkmWin(ProcedureLink& link, const SymbolTables& tables, const QString& appDir,
                       QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::DataKkmWin>()), m_link(link), m_tables(tables),
      m_appDir(appDir), m_commands(link)
{
    m_ui->setupUi(this);
    makeSendButtons({m_ui->pbReqDump, m_ui->pbGetDump, m_ui->pbInterDump, m_ui->pbOperReg,
                     m_ui->pbMoneyReg, m_ui->pbReadData, m_ui->pbInterData});
    VirtKeyboard::bond(m_ui->leRegNum, VirtKeyboard::Keys::Figures);
    setWindowFlags(Qt::Dialog | Qt::WindowMaximizeButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);
    const QStringList units = m_tables.enumNames(kUnitPrefix);
    m_ui->cbUnitDump->addItems(units);
    m_ui->cbUnitData->addItems(units);
    m_ui->labDataRead->hide();
    m_ui->leDataRead->hide();
    setViewButtons(false);
}

DataKkmWin::~DataKkmWin()
{
    for (const QPointer<QWidget>& viewer : m_viewers)
        delete viewer.data();
}

QList<QWidget*> DataKkmWin::viewers() const
{
    QList<QWidget*> open;
    for (const QPointer<QWidget>& viewer : m_viewers)
        if (viewer)
            open << viewer.data();
    return open;
}

quint8 DataKkmWin::unitCode(int position) const
{
    const QByteArray value = m_tables.enumValue(kUnitPrefix, position, 1);
    return value.isEmpty() ? 0 : quint8(value.at(0));
}

bool DataKkmWin::report(const DataCommands::Result& result)
{
    m_ui->labStatus->setText(result.status);
    return result.ok;
}

void DataKkmWin::on_cbUnitDump_currentIndexChanged(int) {}

void DataKkmWin::on_pbReqDump_clicked()
{
    if (m_reading)
        return;
    int blocks = 0;
    if (report(m_commands.requestDump(unitCode(m_ui->cbUnitDump->currentIndex()), &blocks)))
        m_ui->labBlkCnt->setText(QString::number(blocks));
    qDebug() << "/pbReqDump";
}

void DataKkmWin::on_pbGetDump_clicked()
{
    if (m_reading)
        return;
    int number = 0;
    QByteArray block;
    if (report(m_commands.dataBlock(&number, &block))) {
        m_ui->labBlkNum->setText(QString::number(number));
        m_ui->teBlkDump->setPlainText(DataCommands::blockText(block));
    }
    qDebug() << "/pbGetDump";
}

void DataKkmWin::on_pbInterDump_clicked()
{
    if (m_reading)
        return;
    report(m_commands.interruptOutput());
    qDebug() << "/pbInterDump";
}

bool DataKkmWin::readRegisterNumber(quint8* number)
{
    if (DataCommands::registerNumber(m_ui->leRegNum->text(), number))
        return true;
    m_ui->labStatus->setText(tr("Ошибка номера регистра"));
    return false;
}

// A failed reading empties the value: the register read before is not this one.
void DataKkmWin::on_pbOperReg_clicked()
{
    if (m_reading)
        return;
    quint8 number = 0;
    int value = 0;
    const bool read = readRegisterNumber(&number) &&
                      report(m_commands.operationalRegister(number, &value));
    m_ui->labRegVal->setText(read ? QString::number(value) : QString());
    qDebug() << "/pbOperReg";
}

void DataKkmWin::on_pbMoneyReg_clicked()
{
    if (m_reading)
        return;
    quint8 number = 0;
    quint64 value = 0;
    const bool read =
        readRegisterNumber(&number) && report(m_commands.moneyRegister(number, &value));
    m_ui->labRegVal->setText(read ? DataCommands::moneyText(value) : QString());
    qDebug() << "/pbMoneyReg";
}

void DataKkmWin::setViewButtons(bool present)
{
    m_ui->pbViewData->setEnabled(present);
    m_ui->pbViewFp->setEnabled(present && m_dumpUnit == FiscalMemoryUnit);
}

void DataKkmWin::on_cbUnitData_currentIndexChanged(int)
{
    setViewButtons(false);
}

void DataKkmWin::on_pbReadData_clicked()
{
    if (m_reading)
        return;
    {
        const FlagScope reading(m_reading);
        readWholeDump();
    }
    if (m_closeRequested)
        close();
}

void DataKkmWin::readWholeDump()
{
    m_stopRequest = false;
    const int unit = m_ui->cbUnitData->currentIndex();
    int blocks = 0;
    if (!report(m_commands.requestDump(unitCode(unit), &blocks)))
        return;
    m_dumpUnit = unit;
    m_ui->labDataCnt->setText(QString::number(blocks));
    m_ui->labDataCnt->repaint();
    // The blocks are gathered apart from the data the viewers show: a file opened in a
    // viewer meanwhile never mixes with them, and the dump is exactly the blocks read.
    setViewButtons(false);
    QByteArray dump;
    int lastNumber = -1;
    bool failed = false;
    QElapsedTimer shown;
    shown.start();
    for (int i = 1; i <= blocks && !m_stopRequest; ++i) {
        int number = 0;
        QByteArray block;
        if (!report(m_commands.dataBlock(&number, &block))) {
            failed = true;
            break;
        }
        dump.append(block);
        lastNumber = number;
        // The block number is shown as often as the eye can follow: painting it for every
        // block would cost the line a quarter of its speed. It is painted, and "Прервать"
        // heard, while the link waits for the next block's bytes.
        if (shown.elapsed() >= ProgressIntervalMs) {
            m_ui->labDataNum->setText(QString::number(number));
            shown.restart();
        }
    }
    // The last block kept, whatever ended the loop.
    if (lastNumber >= 0)
        m_ui->labDataNum->setText(QString::number(lastNumber));
    m_dump = std::move(dump);
    setViewButtons(true);
    refreshViewers();
    if (failed)
        return;
    if (m_stopRequest) {
        report(m_commands.interruptOutput());
        m_stopRequest = false;
    }
    const QString path = m_appDir + QLatin1String(DumpFileName);
    if (DumpFile::write(path, m_dump))
        m_ui->labStatus->setText(
            tr("Данные сохранены в файл %1").arg(QDir::toNativeSeparators(path)));
    else
        m_ui->labStatus->setText(
            tr("Не удалось записать файл %1").arg(QLatin1String(DumpFileName)));
    qDebug() << "ReadData";
}

void DataKkmWin::on_pbViewData_clicked()
{
    auto* viewer = new DumpWin(m_appDir, m_link.host().logPane());
    viewer->setViewDump(&m_dump, m_ui->cbUnitData->currentText());
    connect(viewer, &DumpWin::dumpReplaced, this, &DataKkmWin::refreshViewers);
    keepViewer(viewer);
}

void DataKkmWin::on_pbViewFp_clicked()
{
    auto* viewer = new ViewFpWin;
    viewer->setViewFp(&m_dump);
    keepViewer(viewer);
}

void DataKkmWin::keepViewer(QWidget* viewer)
{
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    // "Прервать" and "Закрыть" of this window stay within reach while a viewer is open.
    viewer->setWindowModality(Qt::NonModal);
    m_viewers.removeAll(nullptr);
    m_viewers << viewer;
    placeOverMainWindow(viewer);
    viewer->show();
}

// The viewers show the data in place; after it has changed they count its rows again.
void DataKkmWin::refreshViewers()
{
    for (QWidget* viewer : viewers()) {
        if (auto* dump = qobject_cast<DumpWin*>(viewer))
            dump->reload();
        else if (auto* fp = qobject_cast<ViewFpWin*>(viewer))
            fp->reload();
    }
}

void DataKkmWin::on_pbOpen_clicked()
{
    if (m_reading)
        return;
    const QString path =
        askFileName({false, tr("Открыть"), m_appDir, tr("Двоичные файлы (*.bin);; Все (*.*)")});
    if (path.isEmpty())
        return;
    QByteArray bytes;
    if (!DumpFile::read(path, &bytes)) {
        m_ui->labStatus->setText(
            tr("Не удалось прочитать файл %1").arg(QFileInfo(path).fileName()));
        return;
    }
    m_dump = std::move(bytes);
    m_dumpUnit = m_ui->cbUnitData->currentIndex();
    setViewButtons(true);
    refreshViewers();
    qDebug() << "DataKkmWin open" << ('"' + path + '"');
}

void DataKkmWin::on_butClose_clicked()
{
    close();
}

void DataKkmWin::closeEvent(QCloseEvent* event)
{
    // The reading runs in this window's own slot: it ends first, then the window closes.
    if (m_reading) {
        m_stopRequest = true;
        m_closeRequested = true;
        event->ignore();
        return;
    }
    m_link.host().hideOverlay();
    event->accept();
}
