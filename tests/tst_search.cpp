// The device search window against two pseudo-terminals: a silent one and the emulator.
#include "link/frvelkor.h"
#include "ui/mainwin/comwin.h"
#include "ui/mainwin/devicesearch.h"
#include "ui_comwin.h"
#include "windowrig.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QtTest>

using testsupport::snapshot;
using testsupport::WindowRig;

namespace {

// A silent port ahead of the emulator's, probes shortened, the settings panel open.
class SearchRig : public WindowRig
{
public:
    explicit SearchRig(const Options& options = {}) : WindowRig(options)
    {
        emu::FaultPlan plan;
        plan.silent = true;
        m_silent = std::make_unique<emu::PtyEmulator>(plan, DeviceBaud);
        if (!m_silent->open())
            qFatal("emulator: %s", m_silent->error().c_str());
        m_silent->start();
        silentPath = QString::fromStdString(m_silent->portPath());
        startup().link()->setProbeWaitMs(40);
        win().setPortLister([path = silentPath] { return QStringList{path}; });
        win().mpInitCbCom({silentPath});
        showOnTerminal();
        win().on_setButton_3_clicked();
    }

    ComWin* open()
    {
        QTest::mouseClick(ui().sd_searchDevs, Qt::LeftButton);
        return searchWindow();
    }
    ComWin* searchWindow() { return win().deviceSearch().searchWindow(); }
    int probes()
    {
        int count = 0;
        for (const QString& text : paneTexts())
            count += text.endsWith(QStringLiteral(": Связи нет.")) ? 1 : 0;
        return count;
    }

    QString silentPath;

private:
    std::unique_ptr<emu::PtyEmulator> m_silent;
};

} // namespace

class TestSearch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A port the system offers after start-up is in the settings panel's list and the
    // search's list the next time each is opened, and not before.
    void portListsFollowTheSystem()
    {
        SearchRig rig;
        rig.win().setPortLister([path = rig.silentPath] { return QStringList{path, "ttyNEW0"}; });
        QVERIFY(rig.ui().sd_listWidget->findItems(QStringLiteral("ttyNEW0"), Qt::MatchExactly).isEmpty());
        QCOMPARE(rig.win().searchPorts().size(), 2);
        rig.win().on_setButton_3_clicked();
        QCOMPARE(rig.ui().sd_listWidget->findItems(QStringLiteral("ttyNEW0"), Qt::MatchExactly).size(), 1);
        QVERIFY(rig.open());
        QCOMPARE(rig.win().searchPorts().size(), 3);
        QCOMPARE(rig.win().searchPorts().at(1).name, QStringLiteral("ttyNEW0"));
    }

    // The saved port is searched only while its device file is there.
    void absentSavedPortIsNotSearched()
    {
        WindowRig rig;
        rig.stopEmulator();
        QTRY_VERIFY(!QFile::exists(rig.portPath));
        rig.win().mpInitCbCom({});
        QVERIFY(rig.win().searchPorts().isEmpty());
        QCOMPARE(rig.paneTexts().value(0), QStringLiteral("COM-порты для ФР: Нет COM-портов"));
    }

    // Seven rates fail on the silent port and six on the emulator's before 115200 answers;
    // the link stays open there and the window goes once the chain has returned.
    void foundOnSecondPort()
    {
        WindowRig::Options otherRate; // the settings' rate is not the device's
        otherRate.baudRate = 9600;
        SearchRig rig(otherRate);
        QCOMPARE(rig.win().searchPorts().size(), 2);
        QCOMPARE(rig.win().searchPorts().at(1).name, rig.portPath);
        ComWin* window = rig.open();
        QVERIFY(window);
        QCOMPARE(rig.status(), QStringLiteral("Поиск ФР: "));
        snapshot(window, "comwin");
        QTest::mouseClick(window->ui()->pbSearch, Qt::LeftButton);
        QCOMPARE(rig.probes(), 13);
        QVERIFY(rig.paneTexts().contains(QStringLiteral("Поиск ФР: ФР найден. ") + rig.portPath +
                                         QStringLiteral(" 115200")));
        QVERIFY(rig.paneTexts().contains(
            QStringLiteral("Установка связи с ФР (%1, 9600): Связи нет.").arg(rig.silentPath)));
        QVERIFY(rig.win().connected());
        QCOMPARE(rig.startup().link()->portName(), rig.portPath);
        QCOMPARE(rig.startup().link()->baudRate(), 115200);
        QCOMPARE(rig.ui().pbTestLink->text(), QStringLiteral("Отключение"));
        // What it found becomes the settings', in the panel and in config.ini.
        QCOMPARE(rig.win().baudRate(), 115200);
        QCOMPARE(rig.ui().sd_br->currentText(), QStringLiteral("115200"));
        QCOMPARE(
            QSettings(rig.configPath(), QSettings::IniFormat).value("Settings/baudRate").toInt(),
            115200);
        QTRY_VERIFY(!rig.searchWindow());
        QVERIFY(!rig.win().findChild<QWidget*>(QStringLiteral("overlay"))->isVisible());
    }

    // With no port ticked the search ends at once; the ticks stay for the next search.
    void noPortTicked()
    {
        SearchRig rig;
        ComWin* window = rig.open();
        QTest::mouseClick(window->ui()->pbClearAll, Qt::LeftButton);
        QTest::mouseClick(window->ui()->pbSearch, Qt::LeftButton);
        QCOMPARE(rig.probes(), 0);
        QVERIFY(rig.paneTexts().contains(QStringLiteral("Поиск ФР: ФР не найден.")));
        QTRY_VERIFY(!rig.searchWindow());
        window = rig.open();
        QVERIFY(!window->tickBox(0)->isChecked());
        QVERIFY(!window->tickBox(1)->isChecked());
        QTest::mouseClick(window->ui()->pbSetAll, Qt::LeftButton);
        QVERIFY(window->tickBox(0)->isChecked() && window->tickBox(1)->isChecked());
    }

    // "Отменить" during the first probe: its wait runs out, nothing more is probed, and
    // the next connect probes as usual.
    void cancelDuringProbe()
    {
        SearchRig rig;
        rig.startup().link()->setProbeWaitMs(300);
        ComWin* window = rig.open();
        QString miniLog;
        QTimer::singleShot(100, window, [&] {
            miniLog = window->ui()->miniLog->toPlainText();
            QTest::mouseClick(window->ui()->pbCancel, Qt::LeftButton);
        });
        QTest::mouseClick(window->ui()->pbSearch, Qt::LeftButton);
        QVERIFY(rig.paneTexts().contains(QStringLiteral("Поиск ФР: Прерван.")));
        QVERIFY(rig.probes() <= 1);
        for (const QString& text : rig.paneTexts())
            QVERIFY2(!text.contains(QLatin1String(", 4800)")), qPrintable(text));
        QVERIFY(miniLog.contains(QStringLiteral("используется")));
        QTRY_VERIFY(!rig.searchWindow());
        rig.win().on_sd_cancell_clicked();
        rig.clickToggle();
        QVERIFY(rig.win().connected());
    }

    // Closing the window by its frame is a cancel: the overlay goes with it.
    void closedByFrame()
    {
        SearchRig rig;
        ComWin* window = rig.open();
        QVERIFY(rig.win().findChild<QWidget*>(QStringLiteral("overlay"))->isVisible());
        window->close();
        QVERIFY(rig.paneTexts().contains(QStringLiteral("Поиск ФР: Прерван.")));
        QVERIFY(!rig.win().findChild<QWidget*>(QStringLiteral("overlay"))->isVisible());
        QTRY_VERIFY(!rig.searchWindow());
    }
};

QTEST_MAIN(TestSearch)
#include "tst_search.moc"
