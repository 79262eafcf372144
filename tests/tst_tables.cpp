// Table programming in the real window against the emulator: the table list in the tree,
// the one-row window and the grid, reading, collecting and writing every field.
#include "procedures/devicetable.h"
#include "receivedcommands.h"
#include "ui/procedures/specialprocedures.h"
#include "ui/procedures/tabdialog.h"
#include "ui/procedures/tabmemwin.h"
#include "ui/shell/modaldialog.h"
#include "ui/touch/virtkeyboard.h"
#include "windowrig.h"

#include <QApplication>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

#include <functional>

using testsupport::snapshot;
using testsupport::WindowRig;

namespace {

using emu::DeviceModel;

// Answers the modal runs of the table windows in turn; a run past the last answer cancels.
class WindowAnswers
{
public:
    using Answer = std::function<int(QDialog*)>;
    explicit WindowAnswers(QList<Answer> answers) : m_answers(std::move(answers))
    {
        m_previous = setModalRunner([this](QDialog* dialog) {
            ++runs;
            return m_answers.isEmpty() ? int(QDialog::Rejected) : m_answers.takeFirst()(dialog);
        });
    }
    ~WindowAnswers() { setModalRunner(m_previous); }

    int runs = 0;

private:
    QList<Answer> m_answers;
    ModalRunner m_previous;
};

QTableWidget* gridOf(QDialog* dialog)
{
    auto* window = qobject_cast<TabDialog*>(dialog);
    return window ? window->grid() : nullptr;
}

// The hexadecimal command a write of `value` to table/row/field would be, password 30.
QString writeCommand(int table, int row, int field, const QByteArray& value)
{
    QByteArray command = QByteArray::fromHex("1e1e000000");
    command.append(char(table)).append(char(row & 0xFF)).append(char(row >> 8));
    return QString::fromLatin1(command.append(char(field)).append(value).toHex());
}

QStringList writesIn(const QStringList& commands)
{
    QStringList writes;
    for (const QString& command : commands)
        if (command.startsWith(QLatin1String("1e")))
            writes << command;
    return writes;
}

// A table window shown modally: a tap on its first number field (in the grid, row 2's)
// brings the figures clear of the field and the buttons, and their keys type 12 into it
// through the window system, which keeps a modal window's taps from other windows.
void typeTwelve(WindowRig& rig, QDialog* dialog)
{
    dialog->show();
    if (auto* grid = dialog->findChild<QTableWidget*>())
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                          grid->visualItemRect(grid->item(1, 1)).center());
    else
        QTest::mouseClick(qobject_cast<TabMemWin*>(dialog)->edits().at(0), Qt::LeftButton);
    QWidget* host = rig.win().keyboardHost();
    QTRY_VERIFY(host->isVisible()); // a cell's editor opens on the replay
    VirtKeyboard* keyboard = rig.win().keyboard();
    QCOMPARE(keyboard->mode(), int(VirtKeyboard::Figures));
    for (QWidget* widget : {keyboard->target(), dialog->findChild<QWidget*>("pbEnter"),
                            dialog->findChild<QWidget*>("pbExit")})
        QVERIFY(!QRect(widget->mapToGlobal(QPoint()), widget->size()).intersects(host->geometry()));
    snapshot(dialog, qobject_cast<TabDialog*>(dialog) ? "tabdialog-keyboard" : "tabmemwin-keyboard",
             host);
    qobject_cast<QLineEdit*>(keyboard->target())->clear();
    for (const char* name : {"10", "11", "42"}) // 1, 2, Ввод
        QTest::mouseClick(host->windowHandle(), Qt::LeftButton, {},
                          keyboard->findChild<QWidget*>(name)->mapTo(host, QPoint(10, 10)));
    QVERIFY(!host->isVisible());
    QCoreApplication::sendPostedEvents(); // a grid's editor puts its text in on Return, queued
}

} // namespace

class TestTables : public QObject
{
    Q_OBJECT

    // A connected window with the table list read from the emulator.
    static void listTables(WindowRig& rig)
    {
        rig.clickToggle();
        rig.select(QStringLiteral("Таблицы"));
        rig.emulator().withModel([](DeviceModel& m) { m.clearCommands(); });
    }

    static void openTable(WindowRig& rig, int n)
    {
        rig.startup().procedures()->tables.openTable(n);
    }

private Q_SLOTS:
    // Return in the grid neither writes the table nor drops its edits: no button of the
    // window is its default.
    void returnInTheGridChoosesNothing()
    {
        auto* grid = new QTableWidget(2, 2);
        TabDialog window(grid, QStringLiteral("Таблица"));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Return);
        QTest::keyClick(grid, Qt::Key_Enter);
        QVERIFY(window.isVisible());
        QCOMPARE(window.result(), 0);
        QVERIFY(!window.findChild<QPushButton*>(QStringLiteral("pbEnter"))->isDefault());
    }
    // Discovery stops at the first table that is not defined; another error leaves the
    // list unread and it is asked again at the next selection of the group.
    void discovery_data()
    {
        QTest::addColumn<int>("tables");
        QTest::addColumn<int>("failingTable");
        QTest::addColumn<int>("count");
        QTest::newRow("nine tables") << 9 << 0 << 9;
        QTest::newRow("no table") << 0 << 0 << 0;
        QTest::newRow("error 79 at table 3") << 9 << 3 << -1;
    }
    void discovery()
    {
        QFETCH(int, tables);
        QFETCH(int, failingTable);
        QFETCH(int, count);
        WindowRig rig;
        rig.emulator().withModel([&](DeviceModel& m) {
            m.tables().resize(std::min<size_t>(m.tables().size(), size_t(tables)));
            while (int(m.tables().size()) < tables)
                m.tables().push_back(
                    DeviceModel::makeTable("ДОП. ТАБЛИЦА", 2, {{"Поле", false, 1}}));
            if (failingTable)
                m.failTable(failingTable, 79);
        });
        rig.clickToggle();
        rig.select(QStringLiteral("Таблицы"));
        QCOMPARE(rig.objects().tableCount, count);
        QTreeWidgetItem* group = rig.treeItem(QStringLiteral("Таблицы"));
        QCOMPARE(group->childCount(), std::max(count, 0));
        if (count == 9) {
            QCOMPARE(group->child(0)->text(0), QStringLiteral("Таблица 1. Тип и режим кассы"));
            QCOMPARE(group->child(8)->text(0), QStringLiteral("Таблица 9. Доп. таблица"));
        }
        const unsigned asked = rig.executions(0x2D);
        QCOMPARE(asked, unsigned(failingTable ? failingTable : tables + 1));
        // Selected again: a failed list is asked again, a read one (even empty) is not.
        rig.select(QStringLiteral("Гудок"));
        rig.select(QStringLiteral("Таблицы"));
        QCOMPARE(rig.executions(0x2D), failingTable ? 2 * asked : asked);
        if (failingTable)
            QVERIFY(rig.paneTexts().contains(
                QStringLiteral("Запрос структуры таблицы: [79]: Неверный пароль.")));
    }

    // A one-row table: its values in the line edits; "Применить" writes every field, a
    // read-only field's 122 is logged and the next field is written.
    void oneRowWindow()
    {
        WindowRig rig;
        listTables(rig);
        rig.emulator().withModel([](DeviceModel& m) {
            uint8_t* serial = m.tables()[0].value(0, 3);
            std::fill_n(serial, 4, 0xFF);
        });
        QStringList shown;
        WindowAnswers answers({[&](QDialog* dialog) {
            auto* window = qobject_cast<TabMemWin*>(dialog);
            if (!window)
                return 0;
            snapshot(window, "tabmemwin");
            for (QLineEdit* edit : window->edits())
                shown << edit->text();
            window->edits()[0]->setText(QStringLiteral("7"));
            window->edits()[4]->setText(QStringLiteral("Ёлка"));
            return int(QDialog::Accepted);
        }});
        openTable(rig, 1);
        QCOMPARE(answers.runs, 1);
        QCOMPARE(shown, QStringList({"1", "2", "3", "4294967295", "Название магазина 1"}));
        const QStringList writes = writesIn(testsupport::receivedCommands(rig.emulator()));
        QCOMPARE(
            writes,
            QStringList(
                {writeCommand(1, 1, 1, QByteArray::fromHex("07")),
                 writeCommand(1, 1, 2, QByteArray::fromHex("02")),
                 writeCommand(1, 1, 3, QByteArray::fromHex("0300")),
                 writeCommand(1, 1, 4, QByteArray::fromHex("ffffffff")),
                 writeCommand(1, 1, 5, QByteArray::fromHex("a8ebeae0") + QByteArray(26, '\0'))}));
        const QStringList texts = rig.paneTexts();
        QVERIFY(texts.contains(
            QStringLiteral("Запись поля: Поле 3 Номер смены [122]: Поле не редактируется.")));
        QVERIFY(texts.contains(
            QStringLiteral("Запись поля: Поле 4 Заводской номер [122]: Поле не редактируется.")));
        const QString summary =
            QStringLiteral("Запись таблицы: Таблица 1: записано полей 3, отказано 2.");
        QCOMPARE(texts.value(0), summary);
        QCOMPARE(rig.status(), summary);
        QVERIFY(texts.contains(
            QStringLiteral("Чтение таблицы: Таблица 1: прочитано рядов 1, полей 5.")));
        QVERIFY(!rig.objects().procedureRunning);
    }

    // With the keyboard on, a number field of the one-row window and a number cell of the
    // grid are typed into by finger, and what was typed is written.
    void typedByTheKeyboard()
    {
        WindowRig::Options options;
        options.touchKeyboard = true;
        WindowRig rig(options);
        rig.showOnTerminal();
        listTables(rig);
        const auto answer = [&rig](QDialog* dialog) {
            typeTwelve(rig, dialog);
            return int(QDialog::Accepted);
        };
        WindowAnswers answers({answer, answer});
        openTable(rig, 1);
        openTable(rig, 6);
        const QStringList writes = writesIn(testsupport::receivedCommands(rig.emulator()));
        QVERIFY(writes.contains(writeCommand(1, 1, 1, QByteArray::fromHex("0c"))));
        QVERIFY(writes.contains(writeCommand(6, 2, 1, QByteArray::fromHex("0c00"))));
    }

    // A table listed with one row that reports three when read opens the grid, from the one
    // reading.
    void oneRowTableFoundLonger()
    {
        WindowRig rig;
        listTables(rig);
        rig.emulator().withModel([](DeviceModel& m) {
            DeviceModel::Table& table = m.tables()[0];
            table.data.resize(table.data.size() * 3);
            table.rows = 3;
        });
        int rows = 0;
        WindowAnswers answers({[&rows](QDialog* dialog) {
            rows = gridOf(dialog) ? gridOf(dialog)->rowCount() : -1;
            return int(QDialog::Rejected);
        }});
        openTable(rig, 1);
        QCOMPARE(rows, 3);
        QCOMPARE(testsupport::receivedCommands(rig.emulator()).filter(QRegularExpression("^2d")).size(),
                 1);
    }

    // The grid of a 300-row table: row 256 goes as 00h 01h; values typed into cells are
    // written byte for byte, numbers in their size, texts cut or padded to theirs.
    void gridOf300Rows()
    {
        WindowRig rig;
        listTables(rig);
        rig.emulator().withModel([](DeviceModel& m) {
            uint8_t* stock = m.tables()[7].value(0, 1);
            stock[0] = 0x00;
            stock[1] = 0x01;
        });
        QString firstStock;
        int rows = 0;
        WindowAnswers answers({[&](QDialog* dialog) {
            QTableWidget* grid = gridOf(dialog);
            if (!grid)
                return 0;
            snapshot(dialog, "tabdialog");
            rows = grid->rowCount();
            firstStock = grid->item(0, 2)->text();
            grid->item(255, 1)->setText(QStringLiteral("4294967295"));
            grid->item(255, 4)->setText(QStringLiteral("123456789012345678901234567"));
            grid->item(299, 4)->setText(QStringLiteral("abc"));
            return int(QDialog::Accepted);
        }});
        openTable(rig, 8);
        QCOMPARE(rows, 300);
        QCOMPARE(firstStock, QStringLiteral("256"));
        const QStringList received = testsupport::receivedCommands(rig.emulator());
        QVERIFY(received.contains(QStringLiteral("1f1e000000080001") + QStringLiteral("01")));
        const QStringList writes = writesIn(received);
        QCOMPARE(writes.size(), 1200);
        QCOMPARE(writes.at(0), writeCommand(8, 1, 1, QByteArray::fromHex("01000000")));
        QCOMPARE(writes.at(1), writeCommand(8, 1, 2, QByteArray::fromHex("0001")));
        QCOMPARE(writes.at(255 * 4), writeCommand(8, 256, 1, QByteArray::fromHex("ffffffff")));
        QCOMPARE(writes.at(255 * 4 + 3),
                 writeCommand(8, 256, 4, QByteArray("123456789012345678901234")));
        QCOMPARE(writes.at(299 * 4 + 3),
                 writeCommand(8, 300, 4, QByteArray("abc") + QByteArray(21, '\0')));
        rig.emulator().withModel([](DeviceModel& m) {
            QCOMPARE(QByteArray(reinterpret_cast<const char*>(m.tables()[7].value(255, 0)), 4),
                     QByteArray::fromHex("ffffffff"));
        });
    }

    // "12a" in a number cell: the error line names the field, the grid comes back with the
    // text still in the cell, and nothing is written until the value is put right.
    void invalidCellShownAgain()
    {
        WindowRig rig;
        listTables(rig);
        QStringList secondRun;
        WindowAnswers answers({[&](QDialog* dialog) {
                                   gridOf(dialog)->item(1, 1)->setText(QStringLiteral("12a"));
                                   return int(QDialog::Accepted);
                               },
                               [&](QDialog* dialog) {
                                   secondRun << gridOf(dialog)->item(1, 1)->text();
                                   gridOf(dialog)->item(1, 1)->setText(QStringLiteral("65535"));
                                   return int(QDialog::Accepted);
                               }});
        openTable(rig, 6);
        QCOMPARE(secondRun, QStringList{QStringLiteral("12a")});
        QVERIFY(rig.paneTexts().contains(
            QStringLiteral("Налоговые ставки: Ошибка в параметре \"Ставка\"")));
        const QStringList writes = writesIn(testsupport::receivedCommands(rig.emulator()));
        QCOMPARE(writes.size(), 12);
        QCOMPARE(writes.at(2), writeCommand(6, 2, 1, QByteArray::fromHex("ffff")));
    }

    // Table 5's first row is protected: applying writes rows 2 onward only.
    void tableFiveFirstRowSkipped()
    {
        WindowRig rig;
        listTables(rig);
        WindowAnswers answers({[](QDialog*) { return int(QDialog::Accepted); }});
        openTable(rig, 5);
        const QStringList writes = writesIn(testsupport::receivedCommands(rig.emulator()));
        QCOMPARE(writes.size(), 3);
        for (int i = 0; i < 3; ++i)
            QVERIFY(writes.at(i).startsWith(writeCommand(5, i + 2, 1, {})));
    }

    // A failed write shows the window again; "Отменить" then ends with nothing more sent.
    void failedWriteShowsWindowAgain()
    {
        WindowRig rig;
        listTables(rig);
        // The device loses all rows but the first: writing row 2 is refused with 51.
        WindowAnswers answers({[&](QDialog*) {
            rig.emulator().withModel([](DeviceModel& m) { m.tables()[6].rows = 1; });
            return int(QDialog::Accepted);
        }});
        openTable(rig, 7);
        QCOMPARE(answers.runs, 2);
        const QStringList writes = writesIn(testsupport::receivedCommands(rig.emulator()));
        QCOMPARE(writes.size(), 2);
        QVERIFY(rig.paneTexts().contains(QStringLiteral(
            "Запись поля: Поле 1 Название ряд 2 [51]: Некорректные параметры в команде.")));
        QVERIFY(rig.paneTexts().contains(QStringLiteral(
            "Запись таблицы: Таблица 7: записано полей 1, отказано 1. Запись прервана.")));
    }

    // Tables the tool cannot hold are refused with a line naming them; nothing is shown.
    void oversizedTablesRefused_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("fields");
        QTest::addColumn<QString>("line");
        QTest::newRow("65 fields") << 2 << 65
                                   << "Запрос структуры таблицы: Таблица 9 \"Широкая\": полей "
                                      "65, допустимо не более 64. Таблица не открыта.";
        QTest::newRow("over a megabyte")
            << 65535 << 20
            << "Запрос структуры таблицы: Таблица 9 \"Широкая\": рядов 65535 по 20 байт, "
               "допустимо не более 1048576 байт. Таблица не открыта.";
    }
    void oversizedTablesRefused()
    {
        QFETCH(int, rows);
        QFETCH(int, fields);
        QFETCH(QString, line);
        WindowRig rig;
        rig.emulator().withModel([&](DeviceModel& m) {
            DeviceModel::Table table = DeviceModel::makeTable("Широкая", 1, {});
            table.rows = rows;
            table.fields.assign(size_t(fields), {"Байт", false, 1});
            m.tables().push_back(table);
        });
        listTables(rig);
        WindowAnswers answers({});
        openTable(rig, 9);
        QCOMPARE(answers.runs, 0);
        QVERIFY2(rig.paneTexts().contains(line), qPrintable(rig.paneTexts().join('\n')));
        QCOMPARE(rig.executions(0x1F), 0u);
    }

    // "Прекратить" during the reading ends the procedure: no window, no further reads.
    void cancelledReading()
    {
        WindowRig rig;
        listTables(rig);
        QTimer canceller;
        QObject::connect(&canceller, &QTimer::timeout, [] {
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (auto* progress = qobject_cast<QProgressDialog*>(widget))
                    progress->cancel();
        });
        canceller.start(0);
        WindowAnswers answers({});
        openTable(rig, 8);
        QCOMPARE(answers.runs, 0);
        QVERIFY(rig.executions(0x1F) < 1200u);
        QVERIFY(!rig.objects().procedureRunning);
    }

    // Without the link nothing is read and the log pane says so.
    void notConnected()
    {
        WindowRig rig;
        WindowAnswers answers({});
        openTable(rig, 1);
        QCOMPARE(answers.runs, 0);
        QVERIFY(rig.paneTexts().contains(QStringLiteral("Запрос структуры таблицы: Нет связи")));
    }
};

QTEST_MAIN(TestTables)
#include "tst_tables.moc"
