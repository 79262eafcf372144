// The real main window against the emulator on a pseudo-terminal, driven as a user would.
#include "base/cp1251.h"
#include "ui/mainwin/linetestwin.h"
#include "ui/shell/modaldialog.h"
#include "ui/shell/splashscreen.h"
#include "ui/shell/systemmenudialog.h"
#include "ser2net.h"
#include "windowrig.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QStyleOptionButton>
#include <QtTest>

using testsupport::snapshot;
using testsupport::WindowRig;

namespace {

const QString kLinkTitle = QStringLiteral("Установка связи с ФР");

QString lineText(const QWidget* field)
{
    const auto* editor = qobject_cast<const QLineEdit*>(field);
    return editor ? editor->text() : QStringLiteral("<no field>");
}

// Answers the confirmation of an irreversible command as the user does, and records it.
class ConfirmAnswer
{
public:
    explicit ConfirmAnswer(const QString& answer)
    {
        m_previous = setModalRunner([this, answer](QDialog* dialog) {
            auto* box = qobject_cast<QMessageBox*>(dialog);
            if (!box)
                return 0;
            questions << box->text();
            box->resize(box->sizeHint());
            snapshot(box, "confirm");
            defaults << box->defaultButton()->text();
            if (answer == QLatin1String("escape") || answer == QLatin1String("enter"))
                QTest::keyClick(box, answer == QLatin1String("escape") ? Qt::Key_Escape
                                                                       : Qt::Key_Return);
            else if (answer == QLatin1String("close"))
                box->close();
            else
                box->findChild<QPushButton*>(answer)->click();
            return box->result();
        });
    }
    ~ConfirmAnswer() { setModalRunner(m_previous); }

    QStringList questions;
    QStringList defaults;

private:
    ModalRunner m_previous;
};

QString readConfig(const QString& path, const QString& key)
{
    QSettings config(path, QSettings::IniFormat);
    return config.value(QStringLiteral("Settings/") + key).toString();
}


} // namespace

class TestMainWin : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void toggleConnectsAndDisconnects()
    {
        WindowRig rig;
        rig.showOnTerminal();
        QCoreApplication::processEvents();
        const QRect runButton = rig.ui().pbCmdSend->geometry();
        rig.clickToggle();
        QVERIFY(rig.win().connected());
        QCoreApplication::processEvents();
        // The top row stays where it was when the toggle's text changes.
        QCOMPARE(rig.ui().pbCmdSend->geometry(), runButton);
        snapshot(&rig.win(), "mainwin");
        QCOMPARE(rig.ui().pbTestLink->text(), QStringLiteral("Отключение"));
        QVERIFY(rig.ui().pbTestLink->isChecked());
        QCOMPARE(rig.paneTexts().value(0),
                 kLinkTitle + QStringLiteral(" (115200): Связь есть."));

        rig.clickToggle();
        QVERIFY(!rig.win().connected());
        QCOMPARE(rig.ui().pbTestLink->text(), QStringLiteral("Подключение"));
        QVERIFY(!rig.ui().pbTestLink->isChecked());
        QCOMPARE(rig.status(), QStringLiteral(": Нет связи"));
    }

    // "Гудок" runs on selection (EXEC=1), connecting first; its run button stays off.
    void beepRunsOnSelection()
    {
        WindowRig rig;
        rig.select(QStringLiteral("Гудок"));
        QVERIFY(rig.win().connected());
        const auto* opr = qobject_cast<QLineEdit*>(rig.field("opr"));
        QVERIFY(opr);
        QCOMPARE(opr->text(), QStringLiteral("1"));
        QCOMPARE(rig.status(), QStringLiteral("Гудок:  - без ошибок."));
        QVERIFY(!rig.ui().pbCmdSend->isEnabled());
        const QStringList texts = rig.paneTexts();
        QCOMPARE(texts.value(0), QStringLiteral("rcv 130001"));
        QCOMPARE(texts.value(1), QStringLiteral("snd 131e000000"));
        QCOMPARE(rig.executions(0x13), 1u);
        QCOMPARE(rig.ui().treeCommand->headerItem()->text(0),
                 QStringLiteral("/Состояние/Гудок"));
        // One gesture, one beep: a double tap runs it once, a tap after the interval again.
        rig.doubleTap(QStringLiteral("Гудок"));
        QCOMPARE(rig.executions(0x13), 2u);
        rig.select(QStringLiteral("Гудок"));
        QCOMPARE(rig.executions(0x13), 3u);
    }

    // EXEC= and PBEXEC= of the selected entry: run at once or not, run button on or off.
    void selectionSwitches_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<quint8>("code");
        QTest::addColumn<bool>("runsAtOnce");
        QTest::addColumn<bool>("runEnabled");
        QTest::newRow("EXEC=1 PBEXEC=0") << "Короткий запрос" << quint8(0x10) << true << false;
        QTest::newRow("EXEC=1 only") << "Открыть смену" << quint8(0xE0) << true << true;
        QTest::newRow("neither") << "Продажа" << quint8(0x80) << false << true;
        QTest::newRow("group of one command") << "Продолжение печати" << quint8(0xB0) << true
                                              << false;
    }
    void selectionSwitches()
    {
        QFETCH(QString, name);
        QFETCH(quint8, code);
        QFETCH(bool, runsAtOnce);
        QFETCH(bool, runEnabled);
        WindowRig rig;
        rig.select(name);
        QCOMPARE(rig.executions(code), runsAtOnce ? 1u : 0u);
        QCOMPARE(rig.ui().pbCmdSend->isEnabled(), runEnabled);
    }

    // An irreversible command: on selection (EXEC=1) and on "Выполнить" its values are
    // checked, then the question comes, and only its "Выполнить" sends; "Отмена" says so.
    // A Command.ini without CONFIRM= lines asks for the same commands.
    void irreversibleCommandIsConfirmed_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<quint8>("code");
        QTest::addColumn<bool>("onSelection");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<unsigned>("executions");
        QTest::addColumn<bool>("olderFile"); // a Command.ini without its CONFIRM= lines
        const QString reset = QStringLiteral("Общее гашение");
        const QString fiscal = QStringLiteral("Фискализация с коротким PHM");
        QTest::newRow("selection, Отмена")
            << reset << quint8(0x27) << true << "pbConfirmCancel" << 0u << false;
        QTest::newRow("selection, Escape")
            << reset << quint8(0x27) << true << "escape" << 0u << false;
        QTest::newRow("selection, Enter")
            << reset << quint8(0x27) << true << "enter" << 0u << false;
        QTest::newRow("selection, box closed")
            << reset << quint8(0x27) << true << "close" << 0u << false;
        QTest::newRow("selection, Выполнить")
            << reset << quint8(0x27) << true << "pbConfirmRun" << 1u << false;
        QTest::newRow("button, Отмена")
            << fiscal << quint8(0x65) << false << "pbConfirmCancel" << 0u << false;
        QTest::newRow("button, Выполнить")
            << fiscal << quint8(0x65) << false << "pbConfirmRun" << 1u << false;
        QTest::newRow("no CONFIRM= key") << "Гудок" << quint8(0x13) << true << "" << 1u << false;
        QTest::newRow("older Command.ini, Escape")
            << reset << quint8(0x27) << true << "escape" << 0u << true;
        QTest::newRow("button, an empty field: refused, never asked")
            << fiscal << quint8(0x65) << false << "" << 0u << false;
    }
    void irreversibleCommandIsConfirmed()
    {
        QFETCH(QString, name);
        QFETCH(quint8, code);
        QFETCH(bool, onSelection);
        QFETCH(QString, answer);
        QFETCH(unsigned, executions);
        QFETCH(bool, olderFile);
        WindowRig::Options options;
        if (olderFile) {
            QFile shipped(QStringLiteral(":/Ini/Command.ini"));
            QVERIFY(shipped.open(QIODevice::ReadOnly));
            while (!shipped.atEnd())
                if (const QByteArray line = shipped.readLine(); !line.startsWith("CONFIRM="))
                    options.commandIni += line;
        }
        WindowRig rig(options);
        rig.clickToggle();
        ConfirmAnswer confirm(answer);
        rig.select(name);
        if (!onSelection) {
            for (QLineEdit* editor : rig.ui().saWid->findChildren<QLineEdit*>())
                if (!answer.isEmpty() && !editor->isReadOnly() && editor->text().isEmpty())
                    editor->setText(QStringLiteral("1"));
            rig.clickRun();
        }
        QCOMPARE(rig.executions(code), executions);
        if (answer.isEmpty()) {
            QVERIFY(confirm.questions.isEmpty());
            if (!onSelection)
                QVERIFY2(rig.paneTexts().value(0).startsWith(name + QStringLiteral(": Ошибка в "
                                                                                   "параметре")),
                         qPrintable(rig.paneTexts().value(0)));
            return;
        }
        QCOMPARE(confirm.questions,
                 QStringList{QStringLiteral("Выполнить команду «%1»? Её действие необратимо.").arg(name)});
        QCOMPARE(confirm.defaults, QStringList{QStringLiteral("Отмена")});
        if (executions == 0) {
            const QString cancelled =
                QStringLiteral("«%1»: команда отменена, не отправлена.").arg(name);
            QCOMPARE(rig.paneTexts().value(0), cancelled);
            QCOMPARE(rig.status(), cancelled);
        }
    }

    // After a run, what the user types next (blanks, Return, Enter, text) goes where they
    // type and never presses "Выполнить" again; a double tap presses it once.
    void strayKeysSendNothing_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<quint8>("code");
        QTest::addColumn<QByteArray>("typedInto");
        QTest::newRow("run on selection") << "Прерывание выдачи данных" << quint8(0x03) << QByteArray();
        QTest::newRow("a form to type in") << "Печать строки" << quint8(0x17) << QByteArray("prlop");
    }
    void strayKeysSendNothing()
    {
        QFETCH(QString, name);
        QFETCH(quint8, code);
        QFETCH(QByteArray, typedInto);
        WindowRig rig;
        rig.showOnTerminal();
        rig.win().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&rig.win()));
        rig.select(name);
        rig.clickRun();
        QVERIFY(rig.executions(code) >= 1);
        // A double tap on the button (a click, then the double click) is one press.
        const unsigned before = rig.executions(code);
        rig.clickRun();
        QTest::mouseDClick(rig.ui().pbCmdSend, Qt::LeftButton);
        const unsigned ran = rig.executions(code);
        QCOMPARE(ran, before + 1);
        QWidget* focused = QApplication::focusWidget();
        QTest::keyClicks(focused, QStringLiteral("   7"));
        QTest::keyClick(focused, Qt::Key_Return);
        QTest::keyClick(focused, Qt::Key_Enter);
        QTest::keyClick(focused, Qt::Key_Space);
        QCOMPARE(rig.executions(code), ran);
        if (!typedInto.isEmpty())
            QCOMPARE(focused, rig.field(typedInto, true));
    }

    // A PROC= entry goes to the dispatcher; while its window is open the tree selects
    // nothing and only clears the form.
    void procedureEntries()
    {
        WindowRig rig;
        QList<int> dispatched;
        rig.win().setProcedureDispatcher(nullptr);
        rig.select(QStringLiteral("Программирование даты и времени"));
        QVERIFY(!rig.objects().procedureRunning); // no dispatcher: the mark comes and goes
        rig.win().setProcedureDispatcher([&dispatched](int proc) { dispatched << proc; });
        rig.select(QStringLiteral("Программирование даты и времени"));
        QCOMPARE(dispatched, QList<int>{1});
        QVERIFY(rig.objects().procedureRunning);
        QVERIFY(!rig.ui().pbCmdSend->isEnabled());
        rig.select(QStringLiteral("Гудок"));
        QCOMPARE(rig.executions(0x13), 0u);
        QVERIFY(!rig.ui().saWid->widget());
        QCOMPARE(dispatched, QList<int>{1});
        QCOMPARE(rig.ui().treeCommand->currentItem(),
                 rig.treeItem(QStringLiteral("Программирование даты и времени")));
    }

    // The tables group lists the device's tables on its first selection only; a table
    // entry reaches the dispatcher as the table-procedure base plus its number.
    void tablesGroup()
    {
        WindowRig rig;
        int listings = 0;
        rig.win().setTableLister([&listings](QList<QByteArray>* names) {
            ++listings;
            *names = {Cp1251::encode(QStringLiteral("ПАРАМЕТРЫ ККМ")),
                      Cp1251::encode(QStringLiteral("Отделы"))};
            return true;
        });
        QList<int> dispatched;
        rig.win().setProcedureDispatcher([&](int proc) {
            dispatched << proc;
            rig.objects().procedureRunning = false;
        });
        const int base = rig.objects().catalogue.commandCount();
        rig.select(QStringLiteral("Таблицы"));
        rig.select(QStringLiteral("Таблицы"));
        QCOMPARE(listings, 1);
        QTreeWidgetItem* group = rig.treeItem(QStringLiteral("Таблицы"));
        QCOMPARE(group->childCount(), 2);
        QCOMPARE(group->child(0)->text(0), QStringLiteral("Таблица 1. Параметры ккм"));
        QCOMPARE(group->child(1)->text(0), QStringLiteral("Таблица 2. Отделы"));
        QCOMPARE(rig.objects().catalogue.command(base + 1).filePos, -2);
        rig.select(QStringLiteral("Таблица 2. Отделы"));
        QCOMPARE(dispatched, QList<int>{base + 2});
    }

    // The password starts as the default table's value; one saved in config.ini wins.
    void startingPassword_data()
    {
        QTest::addColumn<bool>("saved");
        QTest::addColumn<QString>("secPass");
        QTest::addColumn<quint32>("password");
        QTest::newRow("default table only") << false << "31" << 25u;
        QTest::newRow("saved in the settings") << true << "31" << 31u;
        QTest::newRow("not a number, kept by an older version") << true << "30гг" << 25u;
    }
    // The password the program starts with; a text that is no number is refused by the
    // panel and, read from config.ini, reported once.
    void startingPassword()
    {
        QFETCH(bool, saved);
        QFETCH(QString, secPass);
        QFETCH(quint32, password);
        QFile shipped(QStringLiteral(":/Ini/Default.ini"));
        QVERIFY(shipped.open(QIODevice::ReadOnly));
        WindowRig::Options options;
        options.defaultIni = shipped.readAll().replace("#4prlsa=30", "#4prlsa=25");
        options.writeConfig = saved;
        options.secPass = secPass;
        WindowRig rig(options);
        QCOMPARE(rig.win().password(), password);
        QCOMPARE(rig.paneTexts().filter(QStringLiteral("не число")).size(),
                 secPass.toUInt() ? 0 : 1);
        QTest::mouseClick(rig.ui().setButton_3, Qt::LeftButton);
        QCOMPARE(rig.ui().sd_passInput->text(), QString::number(password));
        rig.ui().sd_passInput->setText(QStringLiteral("30гг"));
        QTest::mouseClick(rig.ui().sd_accept, Qt::LeftButton);
        QVERIFY(rig.ui().SettingsWidget->isVisible());
        QVERIFY(rig.ui().sd_passMessage->text().endsWith(QStringLiteral("«30гг» не принят.")));
        QCOMPARE(QFile::exists(rig.configPath()), saved);
        QTest::mouseClick(rig.ui().sd_cancell, Qt::LeftButton);
        rig.select(QStringLiteral("Продажа"));
        QCOMPARE(qobject_cast<QLineEdit*>(rig.field("prlop", true))->text(),
                 QString::number(password));
    }

    // A refused run shows its own outcome: the error code it carried, no value of the run
    // before.
    void refusalShowsOnlyThisRun()
    {
        WindowRig rig;
        rig.select(QStringLiteral("Гудок"));
        QCOMPARE(lineText(rig.field("opr")), QStringLiteral("1"));
        qobject_cast<QLineEdit*>(rig.field("prlop", true))->setText(QStringLiteral("31"));
        rig.win().setRunEnabled(true); // PBEXEC=0: the run button is off for Гудок
        rig.clickRun();
        QCOMPARE(rig.paneTexts().value(0), QStringLiteral("Ошибка: [79]: Неверный пароль."));
        QCOMPARE(rig.status(), QStringLiteral("Ошибка:  [79]: Неверный пароль."));
        QCOMPARE(lineText(rig.field("error")), QStringLiteral("79"));
        QCOMPARE(lineText(rig.field("opr")), QString());
    }

    void parameterErrorSendsNothing_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("ident");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("line");
        QTest::newRow("empty price") << "Продажа" << QByteArray("price") << ""
                                     << "Продажа: Ошибка в параметре \"Цена\"";
        QTest::newRow("date of 7 characters")
            << "Отчет по диапазону дат" << QByteArray("fdate") << "01/1/25"
            << "Отчет по диапазону дат: Ошибка в параметре \"Первая дата\"";
    }
    void parameterErrorSendsNothing()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, ident);
        QFETCH(QString, text);
        QFETCH(QString, line);
        WindowRig rig;
        rig.clickToggle();
        rig.select(name);
        if (auto* password = qobject_cast<QLineEdit*>(rig.field("prlni", true)))
            password->setText(QStringLiteral("30"));
        auto* editor = qobject_cast<QLineEdit*>(rig.field(ident, true));
        QVERIFY(editor);
        editor->clear();
        editor->setFocus();
        editor->home(false);
        QTest::keyClicks(editor, text); // a separator typed early jumps to the next field
        QCOMPARE(editor->text().size(), text.size());
        const QStringList before = rig.paneTexts();
        rig.clickRun();
        const QStringList after = rig.paneTexts();
        QCOMPARE(after.size(), before.size() + 1);
        QCOMPARE(after.value(0), line);
        QVERIFY(!after.value(1).startsWith(QStringLiteral("snd")));
    }

    // The error byte is checked whatever the RPL= line says; "Открыть смену" has no #error.
    void errorByteOutsideTheReplyLine()
    {
        WindowRig rig;
        rig.select(QStringLiteral("Открыть смену"));
        const auto* opr = qobject_cast<QLineEdit*>(rig.field("opr"));
        QVERIFY(opr);
        QCOMPARE(opr->text(), QStringLiteral("0"));
    }

    // A run that got no reply empties the reply part: the values shown were the run before's.
    void linkFailureEmptiesTheReplyPart()
    {
        WindowRig::Options options;
        for (unsigned enq = 3; enq <= 13; ++enq)
            options.plan.garbageEnqs.insert(enq); // the probe and one run get through
        WindowRig rig(options);
        rig.select(QStringLiteral("Гудок"));
        QCOMPARE(lineText(rig.field("opr")), QStringLiteral("1"));
        rig.win().setRunEnabled(true);
        rig.clickRun();
        const QStringList texts = rig.paneTexts();
        QCOMPARE(texts.value(0),
                 (QStringLiteral("Гудок: ") +
                  rig.objects().errors.driverErrorText(FrVelkor::ExchangeError))
                     .simplified());
        QVERIFY(texts.value(1).startsWith(QStringLiteral("snd 13")));
        QCOMPARE(texts.filter(QStringLiteral("rcv")).size(), 1);
        QCOMPARE(lineText(rig.field("opr")), QString());
        QCOMPARE(lineText(rig.field("error")), QString());
    }

    // A reply without its error byte is reported and nothing of it is decoded.
    void incompleteReplyDecodesNothing()
    {
        WindowRig rig;
        rig.clickToggle();
        rig.objects().codec.parseLine("$cmd=EE,#len=1", true);
        rig.objects().codec.parseLine("$cmd,#error,#opr", false);
        rig.win().form().ceSendCmdRcvRpl(rig.win().exchange(), rig.win().logPane(),
                                         QStringLiteral("Проверка"), 1000);
        QCOMPARE(rig.paneTexts().value(0),
                 QStringLiteral("Проверка: Ответ устройства неполный: нет кода ошибки."));
        QCOMPARE(rig.paneTexts().value(1), QStringLiteral("rcv ee"));
    }

    // Accepting the settings while connected disconnects, reconnects with the panel's
    // values and writes all three keys.
    void settingsAcceptedWhileConnected()
    {
        WindowRig rig;
        rig.win().resize(1024, 768);
        rig.clickToggle();
        QVERIFY(rig.win().connected());
        QTest::mouseClick(rig.ui().setButton_3, Qt::LeftButton);
        QVERIFY(rig.ui().SettingsWidget->isVisible());
        QVERIFY(rig.ui().frame->isVisible());
        QCOMPARE(rig.ui().sd_port->text(), rig.portPath);
        QCOMPARE(rig.ui().sd_br->currentText(), QStringLiteral("115200"));
        QCOMPARE(rig.ui().sd_passInput->text(), QStringLiteral("30"));
        // Finger-sized ticks; the rate list opens below its box, picking nothing by itself.
        QStyleOptionButton tick;
        tick.initFrom(rig.ui().cbLogFull);
        QVERIFY(rig.ui().cbLogFull->style()
                    ->subElementRect(QStyle::SE_CheckBoxIndicator, &tick, rig.ui().cbLogFull)
                    .height() >= 28);
        QVERIFY(!rig.ui().sd_br->style()->styleHint(QStyle::SH_ComboBox_Popup, nullptr,
                                                    rig.ui().sd_br));
        QVERIFY(rig.ui().sd_br->view()->sizeHintForRow(0) >= 44);
        snapshot(&rig.win(), "settings");
        rig.ui().sd_passInput->setText(QStringLiteral("0030"));
        // While the link is tested the status line says so and the cursor is busy.
        QString testing;
        QTimer::singleShot(0, [&] {
            testing = rig.status();
            if (QGuiApplication::overrideCursor())
                testing += QStringLiteral(" | ") +
                           QString::number(QGuiApplication::overrideCursor()->shape());
        });
        QTest::mouseClick(rig.ui().sd_accept, Qt::LeftButton);
        QCOMPARE(testing, QStringLiteral("Установка связи с ФР: проверка связи: ") + rig.portPath +
                              QStringLiteral(", 115200 бит/с… | ") +
                              QString::number(Qt::BusyCursor));
        QVERIFY(!QGuiApplication::overrideCursor());

        QVERIFY(!rig.ui().SettingsWidget->isVisible());
        QVERIFY(!rig.ui().frame->isVisible());
        QVERIFY(rig.win().connected());
        QVERIFY(rig.ui().pbTestLink->isChecked());
        QCOMPARE(rig.ui().sd_passInput->text(), QStringLiteral("30"));
        const QStringList texts = rig.paneTexts();
        QCOMPARE(texts.filter(QStringLiteral("Связь есть.")).size(), 2);
        QCOMPARE(readConfig(rig.configPath(), QStringLiteral("devName")), rig.portPath);
        QCOMPARE(readConfig(rig.configPath(), QStringLiteral("baudRate")), QStringLiteral("115200"));
        QCOMPARE(readConfig(rig.configPath(), QStringLiteral("secPass")), QStringLiteral("0030"));
    }

    // The line test by finger on a noisy line: from the settings panel, its window counts the
    // exchanges as the report has them, the verdict goes to the pane, "Закрыть" ends it.
    void lineTestRunsAndCloses()
    {
        WindowRig::Options options;
        options.plan.corruptRate = 0.03;
        options.plan.garbageRate = 0.02;
        WindowRig rig(options);
        rig.showConnected();
        QTest::mouseClick(rig.ui().setButton_3, Qt::LeftButton);
        QTest::mouseClick(rig.ui().sd_lineTest, Qt::LeftButton);
        QPointer<LineTestWin> window;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* found = qobject_cast<LineTestWin*>(widget))
                window = found;
        QVERIFY(window);
        QTRY_VERIFY_WITH_TIMEOUT(window->report().has_value(), 60000);
        const LineReport& report = *window->report();
        QCOMPARE(report.exchanges().size(), 200);
        QVERIFY(report.count(LineReport::Outcome::Retried) > 0);
        QVERIFY(window->countsLabel()->text().startsWith(
            QStringLiteral("С первой попытки: %1    С повтором: %2    Не выполнено: 0\n")
                .arg(report.count(LineReport::Outcome::FirstAttempt))
                .arg(report.count(LineReport::Outcome::Retried))));
        QCOMPARE(rig.paneTexts().value(0), QStringLiteral("Проверка линии: ") + report.verdictText());
        snapshot(window, "linetest");
        QTest::mouseClick(window->closeButton(), Qt::LeftButton);
        QTRY_VERIFY(!window);
    }

    void settingsPanelRates_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("rate");
        QTest::newRow("second") << 1 << 4800;
        QTest::newRow("last") << 6 << 115200;
    }
    void settingsPanelRates()
    {
        QFETCH(int, position);
        QFETCH(int, rate);
        WindowRig rig;
        QTest::mouseClick(rig.ui().setButton_3, Qt::LeftButton);
        rig.ui().sd_br->setCurrentIndex(position);
        QTest::mouseClick(rig.ui().sd_accept, Qt::LeftButton);
        QCOMPARE(rig.win().baudRate(), rate);
        QCOMPARE(readConfig(rig.configPath(), QStringLiteral("baudRate")), QString::number(rate));
        QCOMPARE(rig.win().connected(), rate == WindowRig::DeviceBaud);
    }

    void choosingAPortCopiesItsName()
    {
        WindowRig rig;
        rig.win().setPortLister([] { return QStringList{"ttyS0", "ttyUSB1"}; });
        QTest::mouseClick(rig.ui().setButton_3, Qt::LeftButton);
        QCOMPARE(rig.ui().sd_listWidget->count(), 2);
        rig.ui().sd_listWidget->setCurrentRow(1);
        QCOMPARE(rig.ui().sd_port->text(), QStringLiteral("ttyUSB1"));
        QTest::mouseClick(rig.ui().sd_cancell, Qt::LeftButton);
        QVERIFY(!rig.ui().SettingsWidget->isVisible());
        QCOMPARE(rig.win().devName(), rig.portPath);
    }

    void startupPortCheck_data()
    {
        QTest::addColumn<bool>("named");
        QTest::addColumn<QStringList>("ports");
        QTest::addColumn<QString>("line");
        QTest::newRow("found") << true << QStringList{"ttyS0", "PORT"}
                               << "СОМ-порт PORT из настроек найден и используется.";
        QTest::newRow("none chosen") << false << QStringList{"ttyS0"}
                                     << "СОМ-порт не выбран. Пожалуйста зайдите в настройки и "
                                        "выберите порт.";
        QTest::newRow("missing") << true << QStringList{"ttyS0"}
                                 << "Сохраненный СОМ-порт PORT отсутствует в системе.";
    }
    void startupPortCheck()
    {
        QFETCH(bool, named);
        QFETCH(QStringList, ports);
        QFETCH(QString, line);
        WindowRig::Options options;
        options.writeConfig = false;
        WindowRig rig(options);
        if (named) {
            QTest::mouseClick(rig.ui().setButton_3, Qt::LeftButton);
            rig.ui().sd_port->setText(QStringLiteral("PORT"));
            QTest::mouseClick(rig.ui().sd_accept, Qt::LeftButton);
        }
        rig.win().initComPorts(ports);
        rig.win().checkSavedPort();
        QCOMPARE(rig.paneTexts().value(0), line);
        QCOMPARE(rig.status(), line);
    }

    // A saved full path that exists is in use, though the system's list never names it.
    void savedPathIsFound()
    {
        WindowRig rig;
        rig.win().initComPorts({});
        rig.win().checkSavedPort();
        QCOMPARE(rig.paneTexts().value(0),
                 QStringLiteral("СОМ-порт %1 из настроек найден и используется.").arg(rig.portPath));
    }

    // A port that will not open: the fixed text, the driver's text and the system's reason.
    void portThatWillNotOpen()
    {
        WindowRig rig;
        QVERIFY(!rig.win().mpSetComPort(rig.appDir + QStringLiteral("/no-such-port"), 115200));
        const QStringList texts = rig.paneTexts();
        QCOMPARE(texts.value(2), kLinkTitle + QStringLiteral(": Ошибка в параметрах канала"));
        QCOMPARE(texts.value(1),
                 (kLinkTitle + QStringLiteral(": ") +
                  rig.objects().errors.driverErrorText(FrVelkor::OpenFailed))
                     .simplified());
        QVERIFY2(texts.value(0).contains(QStringLiteral("не найден")), qPrintable(texts.value(0)));
    }

    // While a command is on the line, the tree, the run button and the toggle start
    // nothing, and the form that the command fills stays.
    void noExchangeInsideAnExchange()
    {
        WindowRig::Options options;
        options.plan.replyDelayMs = 400;
        WindowRig rig(options);
        rig.select(QStringLiteral("Открыть смену")); // a sale needs an open shift
        rig.select(QStringLiteral("Продажа"));
        QWidget* priceEditor = rig.field("price", true);
        QTimer::singleShot(150, &rig.win(), [&rig] {
            rig.select(QStringLiteral("Гудок"));
            rig.clickRun();
            rig.clickToggle();
        });
        rig.clickRun();
        QCOMPARE(rig.executions(0x80), 1u);
        QCOMPARE(rig.executions(0x13), 0u);
        QVERIFY(rig.win().connected());
        QVERIFY(rig.ui().pbTestLink->isChecked());
        QCOMPARE(rig.field("price", true), priceEditor);
        QVERIFY(qobject_cast<QLineEdit*>(rig.field("opr")));
        QCOMPARE(rig.status(), QStringLiteral("Продажа:  - без ошибок."));
        QVERIFY(rig.paneTexts().contains(QStringLiteral("Выполнение команды: ") +
                                         FrVelkor::busyText()));
    }

    // Scrolled back through older lines, the pane comes back to the newest entry when a
    // command is run, so its result is in view.
    void runningACommandShowsTheNewestEntry()
    {
        WindowRig rig;
        rig.showConnected();
        for (int i = 0; i < 8; ++i) // both run on selection
            rig.select(i % 2 ? QStringLiteral("Гудок") : QStringLiteral("Короткий запрос"));
        rig.select(QStringLiteral("Открыть смену"));
        rig.select(QStringLiteral("Продажа"));
        rig.win().logPane().flush();
        QScrollBar* bar = rig.ui().tedLog->verticalScrollBar();
        QVERIFY(bar->maximum() > 5);
        bar->setValue(5);
        rig.clickRun();
        QTRY_COMPARE(bar->value(), 0);
    }

    // A command whose lines cannot be parsed (Command.ini edited under the program) shows no
    // form, and the pane says why.
    void brokenDescriptionIsReported()
    {
        WindowRig rig;
        const QString file = rig.appDir + QStringLiteral("/Command.ini");
        QByteArray text = testsupport::readBytes(file);
        const QByteArray line = "CMD=$cmd=13,#4prlop=prlsa";
        QVERIFY(text.contains(line));
        text.replace(line, "CMD=" + QByteArray(line.size() - 4, '%')); // positions kept
        QVERIFY(testsupport::writeBytes(file, text));
        rig.select(QStringLiteral("Гудок"));
        QCOMPARE(rig.paneTexts().value(0),
                 QStringLiteral("Выбор команды: Ошибка описания команды Гудок"));
        QVERIFY(!rig.field("opr"));
    }

    // The emulator goes away under an open link: one error line, the toggle reset, and the
    // window goes on.
    void lostPortIsReportedOnce_data()
    {
        QTest::addColumn<bool>("duringCommand");
        QTest::newRow("between exchanges") << false;
        QTest::newRow("during a command") << true;
    }
    void lostPortIsReportedOnce()
    {
        QFETCH(bool, duringCommand);
        WindowRig rig;
        rig.clickToggle();
        QVERIFY(rig.win().connected());
        rig.stopEmulator();
        if (duringCommand)
            rig.select(QStringLiteral("Гудок"));
        QTRY_VERIFY(!rig.win().connected());
        QTest::qWait(200);
        // One line, with the one reason, outside any connect.
        QCOMPARE(rig.paneTexts().filter(QStringLiteral("Связь с портом")),
                 QStringList{QStringLiteral("Связь с портом %1 потеряна: порт закрыт: устройство "
                                            "отключено или программа-эмулятор остановлена.")
                                 .arg(rig.portPath)});
        // The command's own line blames the port, not the device.
        QCOMPARE(rig.paneTexts().contains(
                     QStringLiteral("Гудок: Ошибка драйвера [23]: потеряна связь с портом.")),
                 duringCommand);
        QVERIFY(rig.paneTexts().filter(QStringLiteral("пришёл NAK")).isEmpty());
        QVERIFY(rig.paneTexts().filter(QRegularExpression(QStringLiteral("[A-Za-z]{4}"))).isEmpty());
        QVERIFY(!rig.ui().pbTestLink->isChecked());
        QCOMPARE(rig.ui().pbTestLink->text(), QStringLiteral("Подключение"));
    }

    // An adapter unplugged and plugged in again: the port is lost (one line), its device
    // file comes back (one line, nothing reconnects by itself), and a click connects again.
    void lostPortComesBack()
    {
        WindowRig::Options options;
        options.behindLink = true;
        WindowRig rig(options);
        rig.showConnected();
        QVERIFY(rig.win().connected());
        rig.stopEmulator();
        QTRY_VERIFY(!rig.win().connected());
        rig.startEmulator();
        const QString back = QStringLiteral("Порт %1 снова доступен.").arg(rig.portPath);
        QTRY_VERIFY(rig.paneTexts().value(0).endsWith(back));
        QCOMPARE(rig.paneTexts().filter(QStringLiteral("Связь с портом")).size(), 1);
        QVERIFY(!rig.win().connected());
        QCOMPARE(rig.ui().pbTestLink->text(), QStringLiteral("Подключение"));
        snapshot(&rig.win(), "portback");
        rig.clickToggle();
        QVERIFY(rig.win().connected());
        rig.select(QStringLiteral("Гудок"));
        QCOMPARE(rig.executions(0x13), 1u);
        QCOMPARE(rig.paneTexts().filter(back).size(), 1);
    }

    // Port A lost, the user connects to port B, then A comes back: the link to B stays up
    // and so does its toggle.
    void lostPortBackWhileConnectedElsewhere()
    {
        WindowRig::Options options;
        options.behindLink = true;
        WindowRig rig(options);
        rig.clickToggle();
        rig.stopEmulator();
        QTRY_VERIFY(!rig.win().connected());
        emu::PtyEmulator other(emu::FaultPlan{}, WindowRig::DeviceBaud);
        QVERIFY(other.open());
        other.start();
        QTest::mouseClick(rig.ui().setButton_3, Qt::LeftButton);
        rig.ui().sd_port->setText(QString::fromStdString(other.portPath()));
        QTest::mouseClick(rig.ui().sd_accept, Qt::LeftButton);
        if (!rig.win().connected())
            rig.clickToggle();
        QVERIFY(rig.win().connected());
        rig.startEmulator();
        QTRY_VERIFY(rig.paneTexts().value(0).contains(QStringLiteral("снова доступен")));
        QVERIFY(rig.win().connected());
        QVERIFY(rig.ui().pbTestLink->isChecked());
        QCOMPARE(rig.ui().pbTestLink->text(), QStringLiteral("Отключение"));
    }

    // A registrar behind ser2net, named in config.ini: the window connects, runs "Состояние
    // ККМ" and decodes it as on a local port; over raw TCP it says the rate is the server's.
    void networkPortThroughTheWindow_data()
    {
        QTest::addColumn<bool>("rfc2217");
        QTest::newRow("rfc2217") << true;
        QTest::newRow("raw tcp") << false;
    }
    void networkPortThroughTheWindow()
    {
        QFETCH(bool, rfc2217);
        testsupport::RemoteDevice device;
        QVERIFY(device.server->up());
        WindowRig::Options options;
        options.portName = rfc2217 ? device.server->rfc2217() : device.server->raw();
        WindowRig rig(options);
        rig.showConnected();
        QVERIFY(rig.win().connected());
        rig.select(QStringLiteral("Состояние ККМ"));
        QCOMPARE(rig.status(), QStringLiteral("Состояние ККМ:  - без ошибок."));
        QCOMPARE(lineText(rig.field("regimFR")), QStringLiteral("Закрытая смена"));
        QVERIFY(device.received().contains(QStringLiteral("111e000000")));
        const QString serverRate = QStringLiteral("Установка связи с ФР (115200): ") +
                                   FrVelkor::serverRateText(options.portName);
        QVERIFY2(rig.paneTexts().contains(serverRate) == !rfc2217,
                 qPrintable(rig.paneLines().join('\n')));
    }

    // A decoded status reply, as the user sees it; the picture goes to the docs.
    void statusReplyIsDecoded()
    {
        WindowRig rig;
        rig.win().resize(1024, 768);
        rig.select(QStringLiteral("Состояние ККМ"));
        QCOMPARE(rig.status(), QStringLiteral("Состояние ККМ:  - без ошибок."));
        const auto* mode = qobject_cast<QLineEdit*>(rig.field("regimFR"));
        QVERIFY(mode);
        QVERIFY(!mode->text().isEmpty());
        // Texts the widgets may cut carry their whole text as a tool tip.
        QTreeWidget* tree = rig.ui().treeCommand;
        QCOMPARE(tree->currentItem()->toolTip(0), QStringLiteral("Состояние ККМ"));
        QCOMPARE(tree->headerItem()->toolTip(0), tree->headerItem()->text(0));
        QVERIFY(tree->headerItem()->text(0).endsWith(QStringLiteral("/Состояние ККМ")));
        const auto* label = qobject_cast<QLabel*>(rig.item("regimFR")->head);
        QVERIFY(label);
        QCOMPARE(label->toolTip(), label->text());
        snapshot(&rig.win(), "reply");
        // A path wider than the header is cut at its start; the entry's name stays.
        rig.ui().splitter->setSizes({150, 850});
        QTRY_VERIFY(tree->headerItem()->text(0).startsWith(QChar(0x2026)));
        QVERIFY(tree->headerItem()->toolTip(0).endsWith(tree->headerItem()->text(0).mid(1)));
        // The emptied form area leaves no scroll range of the form it held.
        QVERIFY(rig.ui().saWid->verticalScrollBar()->maximum() > 0);
        rig.select(QStringLiteral("Состояние"));
        QCOMPARE(rig.ui().saWid->verticalScrollBar()->maximum(), 0);
    }

    // The splash and the system menu as the shipped translation shows them.
    void shellDialogs()
    {
        QTranslator translator;
        QVERIFY(translator.load(QStringLiteral(":/lang/lang_ru")));
        QCoreApplication::installTranslator(&translator);
        SplashScreen splash;
        QCOMPARE(splash.windowTitle(), QStringLiteral("Dialog"));
        QVERIFY(splash.windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(splash.findChild<QLabel*>(QStringLiteral("lab_VersionNo"))->text(),
                 QCoreApplication::applicationVersion());
        QCOMPARE(splash.findChild<QLabel*>(QStringLiteral("lab_VersionDate"))->text(),
                 QStringLiteral(__DATE__));
        splash.show();
        snapshot(&splash, "splash");

        SystemMenuDialog menu;
        QCOMPARE(menu.windowTitle(), QStringLiteral("Системное меню"));
        QStringList shown;
        for (const QPushButton* button : menu.findChildren<QPushButton*>())
            if (!button->isHidden())
                shown << button->text();
        shown.sort();
        QCOMPARE(shown, (QStringList{"Выход", "Отмена"}));
        menu.show();
        snapshot(&menu, "systemmenu");
        QCoreApplication::removeTranslator(&translator);
    }
};

QTEST_MAIN(TestMainWin)
#include "tst_mainwin.moc"
