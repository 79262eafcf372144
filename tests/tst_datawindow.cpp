// The device data window against the emulator, and the dump and fiscal memory viewers.
#include "procedures/datacommands.h"
#include "procedures/dumpmodels.h"
#include "receivedcommands.h"
#include "ui/procedures/datakkmwin.h"
#include "ui/procedures/dumpwin.h"
#include "ui/procedures/specialprocedures.h"
#include "ui/procedures/viewfpwin.h"
#include "ui/shell/modaldialog.h"
#include "ui_datakkmwin.h"
#include "ui_dumpwin.h"
#include "ui_viewfpwin.h"
#include "windowrig.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QtTest>

using testsupport::WindowRig;
using testsupport::snapshot;

namespace {

const QString kPassword = QStringLiteral("1e000000");

emu::Bytes pattern(int size)
{
    emu::Bytes bytes(size_t(size), 0);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = uint8_t(i * 13 + 5);
    return bytes;
}

QByteArray toQt(const emu::Bytes& bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), int(bytes.size()));
}


// Answers every file dialog with `path` while it lives.
class FileAnswers
{
public:
    explicit FileAnswers(const QString& path)
    {
        m_previous = setFileAnswerer([path](const FileQuestion&) { return path; });
    }
    ~FileAnswers() { setFileAnswerer(m_previous); }

private:
    FileAnswerer m_previous;
};

// The main window on the emulator with the data window opened from the tree.
struct DataRig
{
    explicit DataRig(bool connect = true)
    {
        if (connect)
            rig.clickToggle();
        rig.select(QStringLiteral("Данные ККМ"));
        window = rig.startup().procedures()->dopProc.dataWindow();
        rig.emulator().withModel([](emu::DeviceModel& m) { m.clearCommands(); });
    }
    Ui::DataKkmWin& ui() { return *window->ui(); }
    QStringList received() { return testsupport::receivedCommands(rig.emulator()); }
    QString status() { return ui().labStatus->text(); }
    void click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    WindowRig rig;
    DataKkmWin* window = nullptr;
};

} // namespace

class TestDataWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void moneyAndRegisterNumbers_data()
    {
        QTest::addColumn<quint64>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << quint64(0) << "0.00";
        QTest::newRow("5") << quint64(5) << "0.05";
        QTest::newRow("100") << quint64(100) << "1.00";
        QTest::newRow("1234") << quint64(1234) << "12.34";
        QTest::newRow("six bytes full") << quint64(0xFFFFFFFFFFFFULL) << "2814749767106.55";
    }
    void moneyAndRegisterNumbers()
    {
        QFETCH(quint64, value);
        QFETCH(QString, text);
        QCOMPARE(DataCommands::moneyText(value), text);
    }

    void opensWithUnitsAndOverlay()
    {
        DataRig data;
        QVERIFY(data.window);
        QVERIFY(data.window->isVisible());
        QVERIFY(data.rig.win().findChild<QWidget*>(QStringLiteral("overlay"))->isVisible() ||
                !data.rig.win().isVisible());
        QVERIFY(!data.rig.objects().procedureRunning);
        QCOMPARE(data.ui().cbUnitData->count(), 7);
        QCOMPARE(data.ui().cbUnitDump->itemText(0), QStringLiteral("Накопитель ФП1"));
        QCOMPARE(data.ui().cbUnitData->itemText(2), QStringLiteral("Часы"));
        QVERIFY(!data.ui().pbViewData->isEnabled());
        QVERIFY(!data.ui().pbViewFp->isEnabled());
        QVERIFY(data.ui().leDataRead->isHidden());
    }

    void registers_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<bool>("money");
        QTest::addColumn<QStringList>("sent");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("status");
        const QString bad = QStringLiteral("Ошибка номера регистра");
        QTest::newRow("256") << "256" << false << QStringList{} << "" << bad;
        QTest::newRow("text") << "abc" << true << QStringList{} << "" << bad;
        QTest::newRow("negative") << "-1" << true << QStringList{} << "" << bad;
        QTest::newRow("operational 0") << "0" << false << QStringList{"1b" + kPassword + "00"}
                                       << "0" << "Без ошибок";
        QTest::newRow("operational 255") << "255" << false
                                         << QStringList{"1b" + kPassword + "ff"} << "255"
                                         << "Без ошибок";
        QTest::newRow("money 1") << "1" << true << QStringList{"1a" + kPassword + "01"} << "12.34"
                                 << "Без ошибок";
        QTest::newRow("money 0") << "0" << true << QStringList{"1a" + kPassword + "00"} << "0.00"
                                 << "Без ошибок";
    }
    void registers()
    {
        QFETCH(QString, number);
        QFETCH(bool, money);
        QFETCH(QStringList, sent);
        QFETCH(QString, value);
        QFETCH(QString, status);
        DataRig data;
        data.ui().leRegNum->setText(number);
        data.click(money ? data.ui().pbMoneyReg : data.ui().pbOperReg);
        QCOMPARE(data.received(), sent);
        QCOMPARE(data.ui().labRegVal->text(), value);
        QCOMPARE(data.status(), status);
    }

    void dumpByHand()
    {
        DataRig data;
        data.ui().cbUnitDump->setCurrentIndex(2); // "Часы", one block
        data.click(data.ui().pbReqDump);
        QCOMPARE(data.ui().labBlkCnt->text(), QStringLiteral("1"));
        data.click(data.ui().pbGetDump);
        QCOMPARE(data.ui().labBlkNum->text(), QStringLiteral("1"));
        const QByteArray block = toQt(data.rig.emulator().withModel(
                                          [](emu::DeviceModel& m) { return m.unitImage(3); }))
                                     .left(32);
        QCOMPARE(data.ui().teBlkDump->toPlainText(),
                 QString::fromLatin1(block.toHex(' ').toUpper()));
        data.click(data.ui().pbInterDump);
        QCOMPARE(data.received(), (QStringList{"01" + kPassword + "03", "02" + kPassword,
                                              "03" + kPassword}));
        // The unit is done: the next block is refused with the device's error.
        data.click(data.ui().pbGetDump);
        QVERIFY2(data.status().startsWith(QStringLiteral("Ошибка:")), qPrintable(data.status()));
    }

    void withoutLinkEveryCommandSays()
    {
        DataRig data(false);
        data.ui().leRegNum->setText(QStringLiteral("1"));
        for (QPushButton* button : {data.ui().pbReqDump, data.ui().pbGetDump, data.ui().pbInterDump,
                                    data.ui().pbOperReg, data.ui().pbMoneyReg,
                                    data.ui().pbReadData}) {
            data.ui().labStatus->clear();
            data.click(button);
            QCOMPARE(data.status(), QStringLiteral("Ошибка: Нет связи"));
        }
        QVERIFY(data.received().isEmpty());
    }

    // A reply without the bytes a command reads fails the exchange; nothing is shown.
    void shortRepliesFail_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("length");
        QTest::newRow("dump request without bytes 2-3") << 0x01 << 3;
        QTest::newRow("data block under 5 bytes") << 0x02 << 4;
        QTest::newRow("money register without byte 8") << 0x1A << 8;
        QTest::newRow("operational register without byte 4") << 0x1B << 4;
        QTest::newRow("no error byte") << 0x1B << 1;
    }
    void shortRepliesFail()
    {
        QFETCH(int, code);
        QFETCH(int, length);
        DataRig data;
        data.rig.emulator().withModel(
            [&](emu::DeviceModel& m) { m.cutReplies(uint8_t(code), size_t(length)); });
        data.ui().leRegNum->setText(QStringLiteral("1"));
        data.ui().cbUnitDump->setCurrentIndex(2);
        QPushButton* button = code == 0x01   ? data.ui().pbReqDump
                              : code == 0x1A ? data.ui().pbMoneyReg
                              : code == 0x1B ? data.ui().pbOperReg
                                             : data.ui().pbGetDump;
        if (code == 0x02)
            data.click(data.ui().pbReqDump);
        data.click(button);
        QCOMPARE(data.status(), QStringLiteral("Ошибка при обмене"));
        QVERIFY(data.ui().labRegVal->text().isEmpty());
        QVERIFY(data.ui().labBlkNum->text().isEmpty());
        if (code == 0x01)
            QVERIFY(data.ui().labBlkCnt->text().isEmpty());
    }

    void viewButtonsFollowTheUnit()
    {
        DataRig data;
        data.ui().cbUnitData->setCurrentIndex(2); // "Часы"
        data.click(data.ui().pbReadData);
        QVERIFY(data.ui().pbViewData->isEnabled());
        QVERIFY(!data.ui().pbViewFp->isEnabled());
        data.ui().cbUnitData->setCurrentIndex(1);
        QVERIFY(!data.ui().pbViewData->isEnabled());
        QVERIFY(!data.ui().pbViewFp->isEnabled());
    }

    // "Прервать" after block 10 of 100: blocks 1-10 kept and saved, 03h sent.
    void interruptedReadingKeepsTheBlocksRead()
    {
        DataRig data;
        const emu::Bytes image = pattern(100 * emu::DeviceModel::BlockSize);
        data.rig.emulator().withModel([&](emu::DeviceModel& m) { m.setUnitImage(4, image); });
        data.ui().cbUnitData->setCurrentIndex(3);
        QTimer watcher;
        connect(&watcher, &QTimer::timeout, this, [&data] {
            if (data.rig.executions(0x02) == 10)
                data.click(data.ui().pbInterData);
        });
        watcher.start(0);
        data.click(data.ui().pbReadData);
        watcher.stop();
        const QByteArray expected = toQt(image).left(10 * emu::DeviceModel::BlockSize);
        QCOMPARE(data.window->dumpData(), expected);
        QCOMPARE(data.ui().labDataCnt->text(), QStringLiteral("100"));
        QCOMPARE(testsupport::readBytes(data.rig.appDir + QStringLiteral("/dumpfp.bin")), expected);
        const QStringList sent = data.received();
        QCOMPARE(sent.size(), 12);
        QCOMPARE(sent.front(), "01" + kPassword + "04");
        QCOMPARE(sent.mid(1, 10), QStringList(10, "02" + kPassword));
        QCOMPARE(sent.back(), "03" + kPassword);
        QVERIFY(data.ui().pbViewData->isEnabled());
        QCOMPARE(data.ui().labDataNum->text(), QStringLiteral("10")); // the last block kept
    }

    // A file opened in a viewer while a reading runs never mixes with the blocks read: the
    // dump and dumpfp.bin are the device's blocks, and the data window stays within reach.
    void viewerFileDuringAReading()
    {
        DataRig data;
        data.ui().cbUnitData->setCurrentIndex(2);
        data.click(data.ui().pbReadData);
        data.click(data.ui().pbViewData);
        auto* viewer = qobject_cast<DumpWin*>(data.window->viewers().value(0));
        QVERIFY(viewer);
        QVERIFY(!QApplication::activeModalWidget());
        const emu::Bytes image = pattern(100 * emu::DeviceModel::BlockSize);
        data.rig.emulator().withModel([&](emu::DeviceModel& m) { m.setUnitImage(4, image); });
        const QString file = data.rig.appDir + QStringLiteral("/other.bin");
        QVERIFY(testsupport::writeBytes(file, QByteArray(77, 'x')));
        FileAnswers answers(file);
        bool viewButtonsOff = false;
        QTimer watcher;
        connect(&watcher, &QTimer::timeout, this, [&] {
            if (data.rig.executions(0x02) == 10 && !viewButtonsOff) {
                viewButtonsOff = !data.ui().pbViewData->isEnabled();
                viewer->on_pbOpen_clicked();
            }
        });
        watcher.start(0);
        data.ui().cbUnitData->setCurrentIndex(3);
        data.click(data.ui().pbReadData);
        watcher.stop();
        QVERIFY(viewButtonsOff);
        QCOMPARE(data.window->dumpData(), toQt(image));
        QCOMPARE(testsupport::readBytes(data.rig.appDir + QStringLiteral("/dumpfp.bin")),
                 toQt(image));
        QCOMPARE(data.ui().labDataNum->text(), QStringLiteral("100"));
    }

    // A whole first unit: the dump file, both viewers on the emulator's fiscal memory.
    void wholeFiscalMemory()
    {
        DataRig data;
        data.rig.showOnTerminal();
        data.click(data.ui().pbReadData);
        const QByteArray image = toQt(
            data.rig.emulator().withModel([](emu::DeviceModel& m) { return m.unitImage(1); }));
        QCOMPARE(data.window->dumpData(), image);
        QCOMPARE(testsupport::readBytes(data.rig.appDir + QStringLiteral("/dumpfp.bin")), image);
        QCOMPARE(data.ui().labDataNum->text(), QStringLiteral("882"));
        QCOMPARE(data.status(), QStringLiteral("Данные сохранены в файл ") + data.rig.appDir +
                                    QStringLiteral("/dumpfp.bin"));
        QVERIFY(data.ui().pbViewFp->isEnabled());
        // The picture shows where the installed program keeps the file, not this test's.
        data.ui().labStatus->setText(data.status().replace(
            data.rig.appDir, QStringLiteral("~/.local/share/velkor-testdriver")));
        snapshot(data.window, "datakkm");

        data.click(data.ui().pbViewData);
        data.click(data.ui().pbViewFp);
        const QList<QWidget*> viewers = data.window->viewers();
        QCOMPARE(viewers.size(), 2);
        auto* dump = qobject_cast<DumpWin*>(viewers.at(0));
        auto* fp = qobject_cast<ViewFpWin*>(viewers.at(1));
        QVERIFY(dump && fp);
        QCOMPARE(dump->ui()->labUnit->text(), QStringLiteral("Накопитель ФП1"));
        QAbstractItemModel* cells = dump->ui()->tabDump->model();
        QCOMPARE(cells->rowCount(), 882 * 2);
        QCOMPARE(cells->headerData(15, Qt::Horizontal).toString(), QStringLiteral("0F"));
        QCOMPARE(cells->index(0, 0).data().toString(), QStringLiteral("15"));
        snapshot(dump, "dumpwin");
        QAbstractItemModel* fisc = fp->ui()->tabFisc->model();
        QCOMPARE(fisc->index(0, 1).data().toString(), QStringLiteral("15/03/25"));
        QCOMPARE(fisc->index(0, 2).data().toString(), QStringLiteral("0987654321"));
        QCOMPARE(fisc->index(2, 4).data().toString(), QStringLiteral("0262"));
        QVERIFY(fisc->index(3, 1).data().isNull());
        QAbstractItemModel* shifts = fp->ui()->tabSmenItog->model();
        QCOMPARE(shifts->rowCount(), 2100);
        QVERIFY(!shifts->index(319, 2).data().isNull());
        QVERIFY(shifts->index(320, 2).data().isNull());
        QCOMPARE(shifts->index(2099, 0).data().toInt(), 2100);
        snapshot(fp, "viewfp");
        // Each viewer closes by its button and by Escape.
        QTest::mouseClick(dump->ui()->pbClose, Qt::LeftButton);
        QVERIFY(!dump->isVisible());
        fp->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(fp));
        QTest::keyClick(fp->ui()->tabFisc, Qt::Key_Escape);
        QVERIFY(!fp->isVisible());

        // Closing the data window takes its viewers with it and hides the overlay.
        QPointer<DataKkmWin> window(data.window);
        data.click(data.ui().butClose);
        QTRY_VERIFY(window.isNull());
        QVERIFY(data.rig.startup().procedures()->dopProc.dataWindow() == nullptr);
        QVERIFY(data.rig.win().findChild<QWidget*>(QStringLiteral("overlay"))->isHidden());
    }

    void dumpTable_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("rows");
        QTest::newRow("40 bytes: 2 rows, the last 8 not shown") << 40 << 2;
        QTest::newRow("empty") << 0 << 0;
        QTest::newRow("15 bytes") << 15 << 0;
        QTest::newRow("one row") << 16 << 1;
    }
    void dumpTable()
    {
        QFETCH(int, size);
        QFETCH(int, rows);
        DumpTableModel model;
        QCOMPARE(model.rowCount(), DumpTableModel::EmptyRows);
        const QByteArray data = toQt(pattern(size));
        model.setDump(&data);
        QCOMPARE(model.rowCount(), rows);
        if (rows > 0)
            QCOMPARE(model.index(rows - 1, 15).data().toString(),
                     QString::asprintf("%02X", quint8(data.at(rows * 16 - 1))));
    }

    void fiscalRecords_data()
    {
        QTest::addColumn<QByteArray>("dump");
        QTest::addColumn<int>("fiscalizations");
        QTest::addColumn<int>("shifts");
        QByteArray record = QByteArray::fromHex("050324" "2143658709" "563412907856" "3412"
                                                "78563412");
        QByteArray shift = QByteArray::fromHex("010426" "11223344556677" "a5");
        QByteArray areas = record + QByteArray(5120 - 20, char(0xFF)) + shift + shift;
        QTest::newRow("empty") << QByteArray() << 0 << 0;
        QTest::newRow("first byte FFh") << QByteArray(20, char(0xFF)) + record << 0 << 0;
        QTest::newRow("one record, 5120 bytes") << record + QByteArray(5100, char(0xFF)) << 1 << 0;
        QTest::newRow("record cut short") << record.left(19) << 0 << 0;
        QTest::newRow("both areas") << areas << 1 << 2;
        QTest::newRow("a shift record cut short") << areas.chopped(1) << 1 << 1;
        QTest::newRow("16 records, no end mark") << record.repeated(17) << 16 << 0;
    }
    void fiscalRecords()
    {
        QFETCH(QByteArray, dump);
        QFETCH(int, fiscalizations);
        QFETCH(int, shifts);
        std::unique_ptr<FiscalRecordModel> fisc(FiscalRecordModel::fiscalizations());
        std::unique_ptr<FiscalRecordModel> totals(FiscalRecordModel::shiftTotals());
        fisc->setDump(&dump);
        totals->setDump(&dump);
        QCOMPARE(fisc->records(), fiscalizations);
        QCOMPARE(totals->records(), shifts);
        QCOMPARE(fisc->rowCount(), 16);
        QCOMPARE(fisc->index(15, 0).data().toInt(), 16);
        if (fiscalizations > 0) {
            QCOMPARE(fisc->index(0, 1).data().toString(), QStringLiteral("05/03/24"));
            QCOMPARE(fisc->index(0, 2).data().toString(), QStringLiteral("0987654321"));
            QCOMPARE(fisc->index(0, 3).data().toString(), QStringLiteral("567890123456"));
            QCOMPARE(fisc->index(0, 4).data().toString(), QStringLiteral("1234"));
            QCOMPARE(fisc->index(0, 5).data().toString(), QStringLiteral("12345678"));
        }
        if (shifts > 0) {
            QCOMPARE(totals->index(0, 1).data().toString(), QStringLiteral("01/04/26"));
            QCOMPARE(totals->index(0, 2).data().toString(), QStringLiteral("77665544332211"));
            QCOMPARE(totals->index(0, 3).data().toString(), QStringLiteral("A5"));
        }
        QVERIFY(fisc->index(fiscalizations, 1).data().isNull());
        QVERIFY(totals->index(shifts, 1).data().isNull());
    }

    // Saving and reopening gives the same bytes; a file opened in the viewer becomes the
    // data window's data; a file that cannot be read or written is named in the pane.
    void dumpFiles()
    {
        DataRig data;
        const QByteArray original = toQt(pattern(100));
        const QString path = data.rig.appDir + QStringLiteral("/saved.bin");
        testsupport::writeBytes(path, original);
        {
            FileAnswers answers(path);
            data.click(data.ui().pbOpen);
        }
        QCOMPARE(data.window->dumpData(), original);
        QVERIFY(data.ui().pbViewFp->isEnabled()); // the first unit is chosen
        data.click(data.ui().pbViewData);
        auto* dump = qobject_cast<DumpWin*>(data.window->viewers().value(0));
        QVERIFY(dump);
        const QString copy = data.rig.appDir + QStringLiteral("/copy.bin");
        testsupport::writeBytes(copy, "old");
        {
            FileAnswers answers(copy);
            QTest::mouseClick(dump->ui()->pbSaveAs, Qt::LeftButton);
        }
        QCOMPARE(testsupport::readBytes(copy), original);

        const QByteArray other = toQt(pattern(48)).mid(1) + "x";
        testsupport::writeBytes(path, other);
        {
            FileAnswers answers(path);
            QTest::mouseClick(dump->ui()->pbOpen, Qt::LeftButton);
        }
        QCOMPARE(data.window->dumpData(), other);
        QCOMPARE(dump->ui()->tabDump->model()->rowCount(), 3);

        {
            FileAnswers answers(data.rig.appDir + QStringLiteral("/absent.bin"));
            QTest::mouseClick(dump->ui()->pbOpen, Qt::LeftButton);
            data.click(data.ui().pbOpen);
        }
        QCOMPARE(data.window->dumpData(), other);
        QCOMPARE(data.rig.paneTexts().value(0),
                 QStringLiteral("Просмотр данных: Не удалось прочитать файл absent.bin"));
        QCOMPARE(data.status(), QStringLiteral("Не удалось прочитать файл absent.bin"));
        {
            FileAnswers answers(data.rig.appDir); // a directory cannot be written as a file
            QTest::mouseClick(dump->ui()->pbSaveAs, Qt::LeftButton);
        }
        QVERIFY(data.rig.paneTexts().value(0).startsWith(
            QStringLiteral("Просмотр данных: Не удалось записать файл")));
        {
            FileAnswers answers{QString()};
            data.click(data.ui().pbOpen); // cancelled: nothing changes
        }
        QCOMPARE(data.window->dumpData(), other);
    }

    // Closing during a reading stops it first; the window then closes and is deleted.
    void closeDuringReading()
    {
        DataRig data;
        QPointer<DataKkmWin> window(data.window);
        QTimer::singleShot(50, window, [window] { window->close(); });
        data.click(data.ui().pbReadData);
        QTRY_VERIFY(window.isNull());
        const QStringList sent = testsupport::receivedCommands(data.rig.emulator());
        QCOMPARE(sent.back(), "03" + kPassword);
        QVERIFY(sent.size() < 882);
    }
};

QTEST_MAIN(TestDataWindow)
#include "tst_datawindow.moc"
