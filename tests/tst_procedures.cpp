// The special procedures in the real window against the emulator: the flag rows, the
// dispatcher, the date and time window and the hex command window.
#include "base/msgbox.h"
#include "receivedcommands.h"
#include "ui/procedures/dattimwin.h"
#include "ui/procedures/sendhexwin.h"
#include "ui/procedures/specialprocedures.h"
#include "ui/shell/modaldialog.h"
#include "ui/shell/msgboxwidget.h"
#include "ui_dattimwin.h"
#include "ui_sendhexwin.h"
#include "windowrig.h"

#include <QCalendarWidget>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QTimeEdit>
#include <QVBoxLayout>
#include <QtTest>

#include <deque>
#include <functional>

using testsupport::WindowRig;
using testsupport::snapshot;

namespace {

using Row = QPair<QString, QString>;

// The flag rows of a form container: a label of six blanks and a name beside its value.
QList<Row> flagRows(QWidget* container)
{
    QList<Row> rows;
    if (!container || !container->layout())
        return rows;
    QLayout* form = container->layout();
    for (int i = 0; i < form->count(); ++i) {
        QLayout* row = form->itemAt(i)->layout();
        if (!row || row->count() != 2)
            continue;
        auto* label = qobject_cast<QLabel*>(row->itemAt(0)->widget());
        auto* value = qobject_cast<QLineEdit*>(row->itemAt(1)->widget());
        if (label && value && label->text().startsWith(QStringLiteral("      ")))
            rows << Row(label->text().mid(6), value->text());
    }
    return rows;
}

QStringList received(WindowRig& rig)
{
    return testsupport::receivedCommands(rig.emulator());
}

void clearReceived(WindowRig& rig)
{
    rig.emulator().withModel([](emu::DeviceModel& m) { m.clearCommands(); });
}

// Answers the modal runs of the date and time window with the given steps in turn; each
// step may change the window and returns its result. Puts the real runner back at the end.
class DialogSteps
{
public:
    using Step = std::function<int(DatTimWin*)>;
    explicit DialogSteps(std::deque<Step> steps) : m_steps(std::move(steps))
    {
        m_previous = setModalRunner([this](QDialog* dialog) {
            ++runs;
            auto* window = qobject_cast<DatTimWin*>(dialog);
            if (!window || m_steps.empty())
                return 0;
            if (shots)
                shots(window);
            const Step step = m_steps.front();
            m_steps.pop_front();
            return step(window);
        });
    }
    ~DialogSteps() { setModalRunner(m_previous); }

    int runs = 0;
    std::function<void(DatTimWin*)> shots;

private:
    std::deque<Step> m_steps;
    ModalRunner m_previous;
};


const char* const kRegistrarNames[] = {
    "Рулон контрольной ленты", "Рулон чековой ленты", "Верхний датчик подкладного документа",
    "Нижний датчик подкладного документа", "Положение десятичной точки", "ЭКЛЗ",
    "Оптический датчик контрольной ленты", "Оптический датчик чековой ленты",
    "Рычаг термоголовки контрольной ленты", "Рычаг термоголовки чековой ленты",
    "Крышка корпуса ФР", "Денежный ящик"};

// Records the questions asked and answers none of them, which is "Отмена"; returns the
// runner it replaces.
ModalRunner recordQuestions(QStringList* questions)
{
    return setModalRunner([questions](QDialog* box) {
        *questions << static_cast<QMessageBox*>(box)->text();
        return 0;
    });
}

} // namespace

class TestProcedures : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // One window, the flags changed between runs: each run shows exactly one set of rows.
    void registrarFlagRows()
    {
        struct Case
        {
            int flags;
            QStringList tail; // the rows after "Денежный ящик"
            QString drawer;
        };
        const QList<Case> cases = {
            {0x0000, {"Точность количества=Нормальная"}, "Закрыт"},
            {0x0020, {"ЭКЛЗ почти заполнена=Нет", "Точность количества=Увеличенная"}, "Закрыт"},
            {0x8000, {"Точность количества=Увеличенная"}, "Закрыт"},
            {0x8020, {"ЭКЛЗ почти заполнена=Нет", "Точность количества=Нормальная"}, "Закрыт"},
            {0x3000, {"Точность количества=Нормальная"}, "Закрыт"},
            {0x4820, {"ЭКЛЗ почти заполнена=Да", "Точность количества=Увеличенная"}, "Открыт"},
        };
        WindowRig rig;
        rig.showConnected();
        rig.select(QStringLiteral("Короткий запрос"));
        for (const Case& c : cases) {
            const QString tag = QString::number(c.flags, 16);
            rig.emulator().withModel(
                [&c](emu::DeviceModel& m) { m.setStatusFlags(quint16(c.flags), 0); });
            // The shipped entry has no run button: run it as an enabled button would, so
            // that only the reply part is rebuilt.
            rig.win().on_pbCmdSend_clicked();
            const QList<Row> rows = flagRows(rig.ui().saWid->widget());
            QCOMPARE(rows.size(), 12 + c.tail.size());
            for (int i = 0; i < 12; ++i)
                QCOMPARE(rows.at(i).first, QString::fromUtf8(kRegistrarNames[i]));
            QCOMPARE(rows.at(5).second, c.flags & 0x20 ? QStringLiteral("Есть") : QStringLiteral("Нет"));
            QCOMPARE(rows.at(11).second, c.drawer);
            QStringList got;
            for (int i = 12; i < rows.size(); ++i)
                got << rows.at(i).first + QLatin1Char('=') + rows.at(i).second;
            QVERIFY2(got == c.tail, qPrintable(tag + QStringLiteral(": ") + got.join(", ")));
        }
    }

    // 11h shows both panels, the registrar's under flagFR and the fiscal memory's under
    // flagFP.
    void fullStatusPanels()
    {
        WindowRig rig;
        rig.showConnected();
        // A fresh emulator is a registrar in good order.
        rig.select(QStringLiteral("Состояние ККМ"));
        const QList<Row> healthy = flagRows(rig.ui().saWid->widget());
        QCOMPARE(healthy.size(), 13 + 7);
        for (int i : {0, 1, 6, 7})
            QCOMPARE(healthy.at(i).second, QStringLiteral("Есть"));
        QCOMPARE(healthy.at(8).second, QStringLiteral("Опущен"));
        QCOMPARE(healthy.at(9).second, QStringLiteral("Опущен"));
        QCOMPARE(healthy.mid(13), (QList<Row>{{"ФП 1", "Есть"},
                                              {"ФП 2", "Нет"},
                                              {"Переполнение ФП", "Нет"},
                                              {"Батарея ФП", ">80%"},
                                              {"Последняя запись ФП", "Корректна"},
                                              {"Смена в ФП", "Закрыта"},
                                              {"24 часа в ФП", "Не кончились"}}));
        rig.emulator().withModel([](emu::DeviceModel& m) { m.setStatusFlags(0x0001, 0x59); });
        rig.select(QStringLiteral("Короткий запрос"));
        rig.select(QStringLiteral("Состояние ККМ"));
        const QList<Row> rows = flagRows(rig.ui().saWid->widget());
        QCOMPARE(rows.size(), 13 + 7);
        QCOMPARE(rows.at(0), Row("Рулон контрольной ленты", "Есть"));
        const QList<Row> memory = rows.mid(13);
        QCOMPARE(memory, (QList<Row>{{"ФП 1", "Есть"},
                                     {"ФП 2", "Нет"},
                                     {"Переполнение ФП", "Есть"},
                                     {"Батарея ФП", "<80%"},
                                     {"Последняя запись ФП", "Испорчена"},
                                     {"Смена в ФП", "Открыта"},
                                     {"24 часа в ФП", "Не кончились"}}));
        snapshot(&rig.win(), "flags");
        // A good reply too short for the flags: their rows show no state rather than 0s.
        rig.emulator().withModel([](emu::DeviceModel& m) { m.cutReplies(0x11, 12); });
        rig.select(QStringLiteral("Короткий запрос"));
        rig.select(QStringLiteral("Состояние ККМ"));
        const QList<Row> unknown = flagRows(rig.ui().saWid->widget());
        QCOMPARE(unknown.size(), 13 + 7);
        for (const Row& row : unknown)
            QVERIFY2(row.second.isEmpty(), qPrintable(row.first + ": " + row.second));
    }

    // Only 10h (any identifier) and 11h with flagFR or flagFP, in any case, add rows.
    void flagProcChoosesPanels_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("ident");
        QTest::addColumn<int>("rows");
        QTest::newRow("10h, any identifier") << 0x10 << QByteArray("other") << 13;
        QTest::newRow("11h flagFR") << 0x11 << QByteArray("flagFR") << 13;
        QTest::newRow("11h FLAGFR") << 0x11 << QByteArray("FLAGFR") << 13;
        QTest::newRow("11h FlagFp") << 0x11 << QByteArray("FlagFp") << 7;
        QTest::newRow("11h other identifier") << 0x11 << QByteArray("flagXX") << 0;
        QTest::newRow("another command") << 0x12 << QByteArray("flagFR") << 0;
        QTest::newRow("not yet encoded") << 0x00 << QByteArray("flagFR") << 0;
    }
    void flagProcChoosesPanels()
    {
        QFETCH(int, code);
        QFETCH(QByteArray, ident);
        QFETCH(int, rows);
        WindowRig rig;
        const std::vector<FlagRow> flags =
            rig.startup().procedures()->statusFlags.flagProc(quint8(code), ident);
        QCOMPARE(int(flags.size()), rows);
        // Before any exchange every row shows its text for 0.
        for (const FlagRow& row : flags)
            QVERIFY(row.value == "Нет" || row.value == "Поднят" || row.value == "Опущена" ||
                    row.value == "Закрыт" || row.value == "0 знаков" ||
                    row.value == "Нормальная" || row.value == ">80%" ||
                    row.value == "Испорчена" || row.value == "Закрыта" ||
                    row.value == "Не кончились");
    }

    // Numbers that name no procedure clear the mark at once; above 4 nothing happens until
    // the tables are listed.
    void dispatcherIgnoresUnknownNumbers_data()
    {
        QTest::addColumn<int>("proc");
        QTest::newRow("0") << 0;
        QTest::newRow("negative") << -3;
        QTest::newRow("5 before the tables") << 5;
        QTest::newRow("200 before the tables") << 200;
    }
    void dispatcherIgnoresUnknownNumbers()
    {
        QFETCH(int, proc);
        WindowRig rig;
        rig.objects().procedureRunning = true;
        rig.startup().procedures()->dopProc.cmdDopProc(proc);
        QVERIFY(!rig.objects().procedureRunning);
        QVERIFY(!rig.startup().procedures()->sendHex.window());
    }

    void dateAndTimeWindowKeepsControlsInStep()
    {
        DatTimWin window;
        Ui::DatTimWin* ui = window.ui();
        QVERIFY(ui->pbEnter->isHidden());
        QCalendarWidget* calendar = ui->calendarWidget;

        calendar->setSelectedDate(QDate(2023, 1, 31));
        QCOMPARE(ui->sbDay->value(), 31);
        calendar->setCurrentPage(2023, 2);
        QCOMPARE(ui->sbDay->value(), 28);
        QCOMPARE(ui->sbMonth->value(), 2);
        calendar->setSelectedDate(QDate(2024, 1, 31));
        calendar->setCurrentPage(2024, 2);
        QCOMPARE(ui->sbDay->value(), 29);
        QCOMPARE(ui->sbMonth->value(), 2);
        QCOMPARE(calendar->selectedDate(), QDate(2024, 2, 29));

        calendar->setSelectedDate(QDate(2024, 4, 10));
        ui->sbDay->setValue(31);
        QCOMPARE(calendar->selectedDate(), QDate(2024, 4, 10));
        QCOMPARE(ui->sbDay->value(), 10);
        ui->sbDay->setValue(30);
        QCOMPARE(calendar->selectedDate(), QDate(2024, 4, 30));

        // A new month without the selected day takes its last day.
        calendar->setSelectedDate(QDate(2024, 3, 31));
        ui->sbMonth->setValue(4);
        QCOMPARE(calendar->selectedDate(), QDate(2024, 4, 30));
        QCOMPARE(ui->sbDay->value(), 30);
        ui->sbYear->setValue(2030);
        QCOMPARE(calendar->selectedDate(), QDate(2030, 4, 30));

        ui->sbYear->setValue(1999);
        QCOMPARE(ui->sbYear->value(), 2000);
        ui->sbYear->setValue(2100);
        QCOMPARE(ui->sbYear->value(), 2099);
    }

    // The exact commands of the three buttons, the window shown again after each, and the
    // confirmation repeating the command sent just before it.
    void dateAndTimeCommands()
    {
        WindowRig rig;
        rig.clickToggle();
        clearReceived(rig);
        const auto press = [](int result, QDate date = {}, QTime time = {}) {
            return [=](DatTimWin* window) {
                if (date.isValid())
                    window->ui()->calendarWidget->setSelectedDate(date);
                if (time.isValid())
                    window->ui()->timeEdit->setTime(time);
                return result;
            };
        };
        {
            // Not edited, the time sent is the clock's of the tap, seconds included.
            rig.startup().procedures()->tables.setClock(
                [] { return QDateTime(QDate(2024, 3, 5), QTime(19, 39, 10)); });
            DialogSteps steps(
                {press(DatTimWin::DateConfirm), press(DatTimWin::DateEntry, QDate(2024, 3, 5)),
                 press(DatTimWin::DateConfirm), press(DatTimWin::TimeEntry, {}, QTime(0, 45)),
                 press(DatTimWin::DateConfirm), press(7), press(DatTimWin::TimeEntry),
                 press(DatTimWin::Closed)});
            QStringList shown; // the window's outcome line as each showing finds it
            steps.shots = [&shown](DatTimWin* window) {
                shown << window->ui()->labResult->text();
                if (window->ui()->calendarWidget->selectedDate() == QDate(2024, 3, 5))
                    snapshot(window, "datetime");
            };
            rig.select(QStringLiteral("Программирование даты и времени"));
            QCOMPARE(steps.runs, 8);
            const QString refused =
                QStringLiteral("Подтверждение программирования даты:  [115]: Команда не "
                               "поддерживается в данном режиме.");
            const QString clockTime =
                QStringLiteral("Программирование времени: 19:39:10 - без ошибок.");
            QCOMPARE(shown,
                     (QStringList{"", refused, "Программирование даты: 05.03.2024 - без ошибок.",
                                  "Подтверждение программирования даты: 05.03.2024 - без ошибок.",
                                  "Программирование времени: 00:45:00 - без ошибок.", refused,
                                  refused, clockTime}));
            QCOMPARE(rig.status(), clockTime);
        }
        QCOMPARE(received(rig),
                 (QStringList{"23", "221e000000050318", "231e000000050318", "211e000000002d00",
                              "231e000000002d00", "211e00000013270a"}));
        QVERIFY(!rig.objects().procedureRunning);
        QCOMPARE(rig.emulator().withModel([](emu::DeviceModel& m) { return m.mode(); }), 4);
        // The lone 23h is refused by the device; its error carries the action's title.
        QVERIFY(rig.paneTexts().filter(QStringLiteral("Подтверждение программирования даты:")).size() >= 1);

        // The last command outlives the window: a new opening confirms the time again.
        clearReceived(rig);
        {
            DialogSteps steps({press(DatTimWin::DateConfirm), press(DatTimWin::Accepted)});
            rig.select(QStringLiteral("Программирование даты и времени"));
        }
        QCOMPARE(received(rig), QStringList{"231e00000013270a"});
    }

    void dateAndTimeWithoutLink()
    {
        WindowRig rig;
        DialogSteps steps({[](DatTimWin*) { return int(DatTimWin::TimeEntry); },
                           [](DatTimWin*) { return int(DatTimWin::Closed); }});
        rig.select(QStringLiteral("Программирование даты и времени"));
        QCOMPARE(rig.paneTexts().value(0), QStringLiteral("Программирование времени: Нет связи"));
        QVERIFY(received(rig).isEmpty());
        QVERIFY(!rig.objects().procedureRunning);
    }

    void hexCommands_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("sent");
        QTest::newRow("with blanks") << "0A 0B 0C" << QStringList{"0a0b0c"};
        QTest::newRow("lower case") << "0a0b0c" << QStringList{"0a0b0c"};
        QTest::newRow("digits apart") << "1 2 3c" << QStringList{"123c"};
        QTest::newRow("FC") << "FC" << QStringList{"fc"};
        QTest::newRow("odd digit first") << "ABC" << QStringList{"0abc"};
        QTest::newRow("line breaks and punctuation") << "fc;\n" << QStringList{"fc"};
        QTest::newRow("no digits") << "xyz !" << QStringList{};
        QTest::newRow("empty") << "" << QStringList{};
        QTest::newRow("255 bytes") << QString("EE") + QString("00").repeated(254)
                                   << QStringList{"ee" + QString("00").repeated(254)};
    }
    void hexCommands()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, sent);
        WindowRig rig;
        rig.clickToggle();
        clearReceived(rig);
        const int paneBefore = int(rig.paneLines().size());
        rig.select(QStringLiteral("Команда в HEX-формате"));
        SendHexWin* window = rig.startup().procedures()->sendHex.window();
        QVERIFY(window);
        QVERIFY(window->isVisible());
        QVERIFY(rig.objects().procedureRunning);
        window->ui()->tedHex->setPlainText(text);
        QTest::mouseClick(window->ui()->pbSend, Qt::LeftButton);
        QCOMPARE(received(rig), sent);
        if (sent.isEmpty())
            QCOMPARE(int(rig.paneLines().size()), paneBefore);
        else
            QVERIFY(rig.paneTexts().filter(QStringLiteral("Ошибка драйвера")).isEmpty());
    }

    // The on-screen keyboard over the HEX window leaves its field and its two buttons free.
    void hexWindowKeyboardLeavesButtons()
    {
        WindowRig::Options options;
        options.touchKeyboard = true;
        WindowRig rig(options);
        rig.showOnTerminal();
        rig.select(QStringLiteral("Команда в HEX-формате"));
        const auto* ui = rig.startup().procedures()->sendHex.window()->ui();
        QTest::mouseClick(ui->tedHex->viewport(), Qt::LeftButton);
        QWidget* host = rig.win().keyboardHost();
        QTRY_VERIFY(host->isVisible());
        for (QWidget* widget : std::initializer_list<QWidget*>{ui->tedHex, ui->pbSend, ui->pbExit}) {
            const QRect place(widget->mapToGlobal(QPoint()), widget->size());
            QVERIFY2(!place.intersects(host->geometry()), qPrintable(widget->objectName()));
        }
    }

    void hexWindowLifecycle()
    {
        WindowRig rig;
        rig.showOnTerminal();
        rig.select(QStringLiteral("Команда в HEX-формате"));
        SendHex& sendHex = rig.startup().procedures()->sendHex;
        SendHexWin* window = sendHex.window();
        QVERIFY(window);
        QCOMPARE(window->windowTitle(), QStringLiteral("Команда в HEX-формате "));
        QVERIFY(window->windowFlags() & Qt::WindowStaysOnTopHint);
        // No window manager here: the window is centred over the main window by the program.
        QVERIFY2((window->frameGeometry().center() - rig.win().frameGeometry().center())
                         .manhattanLength() <= 8,
                 qPrintable(QStringLiteral("%1,%2").arg(window->x()).arg(window->y())));
        window->ui()->tedHex->setPlainText(QStringLiteral("FC"));

        // Without a link nothing is sent.
        QTest::mouseClick(window->ui()->pbSend, Qt::LeftButton);
        QCOMPARE(rig.paneTexts().value(0), QStringLiteral("Выполнение команды: Нет связи"));

        // Connected, each press sends the command again; a device error is written.
        window->hide(); // the toggle lies under the window on a small screen
        rig.win().hideOverlay();
        rig.clickToggle();
        clearReceived(rig);
        QTest::mouseClick(window->ui()->pbSend, Qt::LeftButton);
        QTest::mouseClick(window->ui()->pbSend, Qt::LeftButton);
        QCOMPARE(received(rig), (QStringList{"fc", "fc"}));
        // The next command typed right after a send goes into the text, and sends nothing.
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTest::mouseClick(window->ui()->pbSend, Qt::LeftButton);
        // The window shows the reply and the outcome itself.
        QVERIFY(window->ui()->labResult->text().startsWith(QStringLiteral("Ответ: FC 00")));
        QVERIFY(window->ui()->labResult->text().endsWith(
            QStringLiteral("Команда в HEX формате:  - без ошибок.")));
        snapshot(window, "hexcommand");
        window->ui()->tedHex->moveCursor(QTextCursor::End);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral(" 0B"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QCOMPARE(received(rig), (QStringList{"fc", "fc", "fc"}));
        QCOMPARE(window->ui()->tedHex->toPlainText(), QStringLiteral("FC 0B\n "));
        window->hide();
        window->ui()->tedHex->setPlainText(QStringLiteral("0B"));
        QTest::mouseClick(window->ui()->pbSend, Qt::LeftButton);
        QVERIFY2(rig.paneTexts().value(0).startsWith(QStringLiteral("Ошибка: ")),
                 qPrintable(rig.paneTexts().value(0)));

        // 256 bytes: the error line, nothing sent.
        clearReceived(rig);
        window->ui()->tedHex->setPlainText(QString("EE").repeated(256));
        QTest::mouseClick(window->ui()->pbSend, Qt::LeftButton);
        QVERIFY(received(rig).isEmpty());
        QVERIFY2(rig.paneTexts().value(0).startsWith(
                     QStringLiteral("Команда в HEX формате: Команда слишком длинная: 256 байт")),
                 qPrintable(rig.paneTexts().value(0)));
        // An irreversible code asks first, under the catalogue's name of it.
        QStringList questions;
        const ModalRunner previousRunner = recordQuestions(&questions);
        window->ui()->tedHex->setPlainText(QStringLiteral("41 1E 00 00 00"));
        QTest::mouseClick(window->ui()->pbSend, Qt::LeftButton);
        QCOMPARE(questions, QStringList{"Выполнить команду «Суточный отчет с гаш.»? Её действие "
                                        "необратимо."});
        QVERIFY(received(rig).isEmpty());
        setModalRunner(previousRunner);

        QPointer<SendHexWin> guarded(window);
        rig.win().showOverlay();
        QTest::mouseClick(window->ui()->pbExit, Qt::LeftButton);
        QVERIFY(!rig.objects().procedureRunning);
        QVERIFY(!sendHex.window());
        QTRY_VERIFY(guarded.isNull());

        // Closed by its frame, the window ends the procedure the same way.
        rig.select(QStringLiteral("Команда в HEX-формате"));
        QVERIFY(sendHex.window());
        sendHex.window()->close();
        QVERIFY(!rig.objects().procedureRunning);
        QVERIFY(!sendHex.window());
    }

    // The script entry runs testfp.txt of the program's directory, whatever the case of its
    // name, through the window; a script error shows its box and ends the procedure too.
    void testScriptFromTheTree()
    {
        WindowRig rig;
        QStringList boxes;
        const MsgBoxHandler previous =
            setMsgBoxHandler([&boxes](MsgIcon, const QString& title, const QString& text) {
                boxes << title + QStringLiteral(": ") + text;
            });
        rig.select(QStringLiteral("Выполнить тест из файла"));
        QCOMPARE(boxes, QStringList{"Выполнить тест из файла: Нет файла testfp.txt в каталоге " +
                                    rig.appDir});
        QVERIFY(!rig.objects().procedureRunning);

        rig.clickToggle();
        clearReceived(rig);
        // Made under the name the box gives: the program's "testfp.txt" in another case.
        testsupport::writeBytes(rig.appDir + QStringLiteral("/TestFp.txt"),
                                "//, a status request three times\r\nloop,1,3\r\n10,30\r\n"
                                "endloop,1\r\nFC\r\n");
        rig.select(QStringLiteral("Выполнить тест из файла"));
        setMsgBoxHandler(previous);
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(received(rig), (QStringList{"101e000000", "101e000000", "101e000000", "fc"}));
        QVERIFY(!rig.objects().procedureRunning);
        QCOMPARE(rig.paneTexts().value(0),
                 QStringLiteral("Тест TestFp.txt: выполнено 4 команд, ошибок 0."));
        QVERIFY(rig.paneTexts().contains(QStringLiteral("Тест TestFp.txt: начат.")));
        testsupport::writeBytes(rig.appDir + QStringLiteral("/TestFp.txt"), "10,30\r\n10,x\r\n");
        rig.select(QStringLiteral("Выполнить тест из файла"));
        QCOMPARE(
            rig.paneTexts().value(0),
            QStringLiteral("Тест TestFp.txt: выполнено 1 команд, ошибок 1. Ошибка в строке 2."));

        // A test that holds an irreversible command asks once, before its first command.
        testsupport::writeBytes(rig.appDir + QStringLiteral("/TestFp.txt"),
                                "10,30\r\n27,30\r\n41,30\r\n27,30\r\n");
        clearReceived(rig);
        QStringList questions;
        const ModalRunner previousRunner = recordQuestions(&questions);
        rig.select(QStringLiteral("Выполнить тест из файла"));
        setModalRunner(previousRunner);
        QCOMPARE(questions, QStringList{"В тесте есть необратимые команды: «Общее гашение», "
                                        "«Суточный отчет с гаш.». Выполнить тест?"});
        QVERIFY(received(rig).isEmpty());
        QCOMPARE(rig.status(),
                 QStringLiteral("«Выполнить тест из файла»: команда отменена, не отправлена."));

        // The real box a script error shows, as the user sees it.
        QFile::remove(rig.appDir + QStringLiteral("/TestFp.txt"));
        installWidgetMsgBox();
        rig.waitOutGesture();
        QString shown;
        QTimer::singleShot(0, [&shown] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            shown = box->text();
            snapshot(box, "scriptbox");
            box->done(0);
        });
        rig.select(QStringLiteral("Выполнить тест из файла"));
        setMsgBoxHandler(previous);
        QCOMPARE(shown, "Нет файла testfp.txt в каталоге " + rig.appDir);
    }
};

QTEST_MAIN(TestProcedures)
#include "tst_procedures.moc"
