#include "base/mlogsystem.h"
#include "base/msgbox.h"
#include "base/pathworks.h"
#include "ptyemulator.h"
#include "testsupport.h"
#include "ui/app/startup.h"
#include "ui/mainwin/mainwin.h"
#include "ui/shell/modaldialog.h"
#include "ui/shell/msgboxwidget.h"
#include "ui_mainwin.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTreeWidget>
#include <csignal>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

using testsupport::readLines;

namespace {

const char* const kSixFiles[] = {"Command.ini", "Symbol.ini", "View.ini",
                                 "Default.ini", "Error.txt",  "ErrorDrv.txt"};

// The message of an event line: what follows its number, level and time stamp.
QString messageOf(const QString& line)
{
    static const QRegularExpression prefix(
        QStringLiteral("^\\d{5}: \\{\\d\\} \\[[0-9:.]+\\] (?:\\[[0-9.]+\\] )?"));
    return QString(line).remove(prefix);
}

// The application directory "app" in a temporary directory, created.
QString makeAppDir(const QTemporaryDir& dir)
{
    const QString appDir = dir.filePath(QStringLiteral("app"));
    QDir().mkpath(appDir);
    return appDir;
}

// The shipped description files copied into appDir; false when one could not be.
bool copyShippedFiles(const QString& appDir)
{
    for (const char* name : kSixFiles)
        if (!QFile::copy(QStringLiteral(":/Ini/") + QLatin1String(name),
                         appDir + QLatin1Char('/') + QLatin1String(name)))
            return false;
    return true;
}

QStringList eventLines(const QString& logPath)
{
    const QStringList lines = readLines(logPath);
    return lines.mid(lines.indexOf(QStringLiteral("Events:")) + 1);
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private:
    struct Run
    {
        int exitCode = -1;
        QStringList boxes;
        QStringList events;
    };

    // Runs start-up in this process against appDir with a log system of its own; the
    // window closes as soon as the event loop runs, unless `drive` takes it over.
    static Run runStartup(const QString& appDir, std::function<void(MainWin&)> drive = {})
    {
        Run run;
        const MsgBoxHandler previous =
            setMsgBoxHandler([&run](MsgIcon icon, const QString& title, const QString& text) {
                run.boxes << QStringLiteral("%1|%2|%3")
                                 .arg(icon == MsgIcon::Critical ? "critical" : "information", title,
                                      text);
            });
        MLogSystem log;
        const QString programPath = appDir + QStringLiteral("/velkor-testdriver");
        {
            if (!drive)
                drive = [](MainWin& window) { QTimer::singleShot(0, &window, &QWidget::close); };
            Startup startup({appDir, programPath, &log, 0, drive, {}});
            run.exitCode = startup.run();
            qInstallMessageHandler(startup.previousMessageHandler());
            startup.exitPath();
        }
        setMsgBoxHandler(previous);
        log.waitForIdle();
        run.events = eventLines(MPathWorks::logFilePath(appDir, programPath));
        return run;
    }

private Q_SLOTS:
    // SIGTERM ends the program in every state, as main runs it: during a message box of
    // start-up (with its only answer), with the hex window, the data window or the
    // on-screen keyboard open. The event loop returns and the closing lines are written.
    void terminationSignalEndsEveryState_data()
    {
        QTest::addColumn<QString>("open"); // a tree entry, "keyboard", or "" for start-up
        QTest::addColumn<QString>("broken"); // a description file start-up fails on
        QTest::addColumn<int>("exitCode");
        QTest::newRow("start-up message box") << "" << "Symbol.ini" << 1;
        // The loader's own box comes first: no second box follows it.
        QTest::newRow("first of two start-up boxes") << "" << "Command.ini" << 2;
        QTest::newRow("hex window") << "Команда в HEX-формате" << "" << 0;
        QTest::newRow("data window") << "Данные ККМ" << "" << 0;
        QTest::newRow("data window reading a dump") << "reading" << "" << 0;
        QTest::newRow("on-screen keyboard") << "keyboard" << "" << 0;
    }
    void terminationSignalEndsEveryState()
    {
        QFETCH(QString, open);
        QFETCH(QString, broken);
        QFETCH(int, exitCode);
        QTemporaryDir dir;
        const QString appDir = makeAppDir(dir);
        QVERIFY(copyShippedFiles(appDir));
        const QString brokenPath = appDir + QLatin1Char('/') + broken;
        if (broken == QLatin1String("Symbol.ini") && QFile::remove(brokenPath))
            // a bad row: start-up stops at a box
            QVERIFY(testsupport::writeBytes(brokenPath,
                                            "\xEF\xBB\xBF" "FRM_KKM=00\r\nno equals sign\r\n"));
        if (broken == QLatin1String("Command.ini") && QFile::remove(brokenPath))
            QVERIFY(QDir().mkdir(brokenPath)); // there, but it cannot be read
        std::unique_ptr<emu::PtyEmulator> emulator;
        if (open == QLatin1String("reading")) {
            emulator = std::make_unique<emu::PtyEmulator>(emu::FaultPlan{}, 115200);
            QVERIFY(emulator->open());
            emulator->start();
            QVERIFY(testsupport::writeBytes(
                appDir + QStringLiteral("/config.ini"),
                QStringLiteral("[Settings]\ndevName=%1\nbaudRate=115200\n")
                    .arg(QString::fromStdString(emulator->portPath()))
                    .toUtf8()));
        }
        if (open == QLatin1String("keyboard"))
            QVERIFY(testsupport::writeBytes(appDir + QStringLiteral("/config.ini"),
                                            "[Touch]\nkeyboard=true\n"));
        const MsgBoxHandler previousBox = setMsgBoxHandler({});
        installWidgetMsgBox();
        const QtMessageHandler previousHandler = qInstallMessageHandler(nullptr);
        qInstallMessageHandler(previousHandler);
        bool hung = false;
        QTimer watchdog;
        watchdog.setSingleShot(true);
        connect(&watchdog, &QTimer::timeout, this, [&hung] {
            hung = true;
            QApplication::closeAllWindows();
            QCoreApplication::exit(0);
        });
        watchdog.start(10000);
        QElapsedTimer sinceSignal;
        const auto terminate = [&sinceSignal] {
            QTimer::singleShot(150, [&sinceSignal] {
                sinceSignal.start();
                ::raise(SIGTERM);
            });
        };
        std::function<void(MainWin&)> drive;
        if (open.isEmpty()) {
            terminate();
        } else {
            drive = [open, terminate](MainWin& window) {
                if (open == QLatin1String("keyboard")) {
                    window.showKbd();
                } else if (open == QLatin1String("reading")) {
                    QTest::mouseClick(window.ui()->pbTestLink, Qt::LeftButton);
                    const QList<QTreeWidgetItem*> found = window.ui()->treeCommand->findItems(
                        QStringLiteral("Данные ККМ"), Qt::MatchExactly | Qt::MatchRecursive);
                    window.on_treeCommand(found.value(0));
                    for (QWidget* top : QApplication::topLevelWidgets())
                        if (auto* read = top->findChild<QPushButton*>(QStringLiteral("pbReadData")))
                            QTimer::singleShot(0, read, [read] {
                                QTest::mouseClick(read, Qt::LeftButton);
                            });
                } else {
                    const QList<QTreeWidgetItem*> found = window.ui()->treeCommand->findItems(
                        open, Qt::MatchExactly | Qt::MatchRecursive);
                    if (!found.isEmpty())
                        window.on_treeCommand(found.first());
                }
                terminate();
            };
        }
        const QString programPath = appDir + QStringLiteral("/velkor-testdriver");
        const int code = runWithProgramLog({appDir, programPath, nullptr, 0, drive, {}});
        const qint64 endedMs = sinceSignal.isValid() ? sinceSignal.elapsed() : 0;
        watchdog.stop();
        qInstallMessageHandler(previousHandler);
        setMsgBoxHandler(previousBox);
        QVERIFY(!hung);
        QCOMPARE(code, exitCode);
        QVERIFY2(endedMs < 2000, qPrintable(QString::number(endedMs)));
        if (emulator) {
            // A dump cut short is written with whole blocks only, or not at all.
            const emu::Bytes bytes =
                emulator->withModel([](emu::DeviceModel& m) { return m.unitImage(1); });
            const QByteArray image(reinterpret_cast<const char*>(bytes.data()),
                                   qsizetype(bytes.size()));
            const QByteArray written = testsupport::readBytes(appDir + QStringLiteral("/dumpfp.bin"));
            QVERIFY(image.startsWith(written));
            QCOMPARE(written.size() % emu::DeviceModel::BlockSize, 0);
            QVERIFY(emulator->withModel([](emu::DeviceModel& m) { return m.executions(0x02); }) > 0);
        }
        QStringList messages;
        for (const QString& line : eventLines(MPathWorks::logFilePath(appDir, programPath)))
            if (!line.isEmpty())
                messages << messageOf(line);
        // The closing lines: "SystemLog: …" and a line of asterisks.
        QCOMPARE(messages.value(messages.size() - 2),
                 QStringLiteral("SystemLog: Log object destroed."));
        if (exitCode == 0)
            QVERIFY(messages.contains(QStringLiteral("Bye...")));
    }

    void normalStartWritesItsLinesInOrder()
    {
        QTemporaryDir dir;
        const QString appDir = makeAppDir(dir);
        QVERIFY(testsupport::writeBytes(appDir + QStringLiteral("/Log.txt"), "previous pane"));
        QString cancel;
        const Run run = runStartup(appDir, [&cancel](MainWin& window) {
            // The toolkit's own buttons and the tool's texts are Russian whatever the system's
            // language (the tests run under the C locale).
            cancel = QCoreApplication::translate("QPlatformTheme", "Cancel") +
                     QCoreApplication::translate("SystemMenuDialog", "System menu");
            QTimer::singleShot(0, &window, &QWidget::close);
        });
        QCOMPARE(cancel, QStringLiteral("ОтменаСистемное меню"));
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.boxes.isEmpty());
        // The previous run's pane file is gone; this run's pane wrote the port check.
        const QByteArray pane = testsupport::readBytes(appDir + QStringLiteral("/Log.txt"));
        QVERIFY(!pane.contains("previous pane"));
        QVERIFY(pane.contains("\xD1\xCE\xCC-\xEF\xEE\xF0\xF2 \xED\xE5 \xE2\xFB\xE1\xF0\xE0\xED")); // "СОМ-порт не выбран" in Windows-1251
        for (const char* name : kSixFiles)
            QVERIFY2(QFile::exists(appDir + QLatin1Char('/') + QLatin1String(name)), name);

        const QStringList expectedOrder = {
            "Run...",
            "Decimal point: ",
            "Country: ",
            "Group separator: ",
            "Disk space free ",
            "Temp path: ",
            "Home path: ",
            "Root path: ",
            "Screens count: ",
            "Install translator (name=",
            "Install translator.",
            "Symbol.ini loaded.",
            "Default.ini loaded.",
            "View.ini loaded.",
            "Debug: Command file-----------------------------",
            "Debug: groupsVol --------------- 21",
            "Debug: commandsVol --------------- 118",
            "Command.ini loaded.",
            "Init COM ports completed.",
            "Run application.",
        };
        int at = 0;
        for (const QString& line : run.events) {
            if (line.isEmpty() || at == expectedOrder.size())
                continue;
            QVERIFY2(QRegularExpression(QStringLiteral("^\\d{5}: \\{\\d\\} \\[\\d{6}\\] "))
                         .match(line)
                         .hasMatch(),
                     qPrintable(line)); // start-up time stamps, no date
            if (messageOf(line).startsWith(expectedOrder[at]))
                ++at;
        }
        QVERIFY2(at == expectedOrder.size(),
                 qPrintable(QStringLiteral("missing: ") + expectedOrder.value(at)));
        QVERIFY(run.events.first().startsWith(QStringLiteral("00001: {5} ")));
        QVERIFY(messageOf(run.events.filter(QStringLiteral("Screens count")).first())
                    .endsWith(QLatin1Char('.')));
        QVERIFY(run.events.filter(QStringLiteral("Screens count"))
                    .first()
                    .contains(QStringLiteral(" {2} ")));
        QVERIFY(run.events.filter(QStringLiteral("Run application.")).first().contains(" {2} "));
        QStringList last = run.events;
        last.removeAll(QString());
        QCOMPARE(messageOf(last.value(last.size() - 2)),
                 QStringLiteral("Execution complete. Return code: 0"));
        QCOMPARE(messageOf(last.value(last.size() - 1)), QStringLiteral("Bye..."));
    }

    // The system menu: Exit ends the program with code 0 after its three lines; Cancel
    // leaves the window as it was.
    void systemMenu_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<bool>("windowStays");
        QTest::newRow("exit") << "butExit"
                              << QStringList{"MainWin: Main: Create exit menu.",
                                             "MainWin: Main: Exit menu return = 3.",
                                             "MainWin: Main: Exit programm."}
                              << false;
        QTest::newRow("cancel") << "butCancel"
                                << QStringList{"MainWin: Main: Create exit menu.",
                                               "MainWin: Main: Exit menu return = 0."}
                                << true;
    }
    void systemMenu()
    {
        QFETCH(QString, button);
        QFETCH(QStringList, lines);
        QFETCH(bool, windowStays);
        QTemporaryDir dir;
        const QString appDir = makeAppDir(dir);
        QStringList shownButtons;
        const ModalRunner previous = setModalRunner([&](QDialog* dialog) {
            for (QPushButton* b : dialog->findChildren<QPushButton*>())
                if (!b->isHidden())
                    shownButtons << b->objectName();
            dialog->findChild<QPushButton*>(button)->click();
            return dialog->result();
        });
        bool stayed = false;
        const Run run = runStartup(appDir, [&stayed](MainWin& window) {
            QTimer::singleShot(0, &window, [&window, &stayed] {
                window.on_butSysMenu_clicked();
                stayed = window.isVisible();
                window.close();
            });
        });
        setModalRunner(previous);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(stayed, windowStays);
        shownButtons.sort();
        QCOMPARE(shownButtons, (QStringList{"butCancel", "butExit"}));
        QStringList messages;
        for (const QString& line : run.events)
            if (!line.isEmpty())
                messages << messageOf(line);
        const QStringList menuLines = messages.filter(QStringLiteral("MainWin: Main:"));
        QCOMPARE(menuLines, lines);
        QCOMPARE(messages.mid(messages.indexOf(lines.last())).filter(QStringLiteral("Execution complete")),
                 QStringList{"Execution complete. Return code: 0"});
        QCOMPARE(messages.last(), QStringLiteral("Bye..."));
    }

    void unreadableCommandFileEndsWithCodeTwo()
    {
        QTemporaryDir dir;
        const QString appDir = dir.filePath(QStringLiteral("app"));
        QVERIFY(QDir().mkpath(appDir + QStringLiteral("/Command.ini"))); // present but not openable
        for (const char* name : kSixFiles)
            if (QLatin1String(name) != QLatin1String("Command.ini"))
                QVERIFY(QFile::copy(QStringLiteral(":/Ini/") + QLatin1String(name),
                                    appDir + QLatin1Char('/') + QLatin1String(name)));
        const Run run = runStartup(appDir);
        QCOMPARE(run.exitCode, 2);
        QCOMPARE(run.boxes, (QStringList{"critical|Инициализация|Нет файла Command.ini",
                                         "information|Таблица команд|Command.ini - были ошибки"}));
        const QStringList failure = run.events.filter(QStringLiteral("Command.ini - были ошибки"));
        QCOMPARE(failure.size(), 1);
        QVERIFY(failure.first().contains(QStringLiteral(" {5} ")));
        QVERIFY(!run.events.filter(QStringLiteral("Debug: groupsVol --------------- 0")).isEmpty());
        QVERIFY(run.events.filter(QStringLiteral("Command.ini loaded.")).isEmpty());
    }

    // The first table that fails ends start-up with its box and code; later ones are not read.
    void tableFailureEndsStartup_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("content"); // empty: a directory in its place
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QString>("listing");
        QTest::addColumn<QStringList>("notRead");
        QTest::newRow("bad Symbol.ini row")
            << "Symbol.ini"
            << QByteArray("\xEF\xBB\xBF"
                          "FRM_KKM=00\r\nno equals sign\r\n")
            << QStringList{"information|Таблица символов|Symbol.ini - были ошибки"}
            << "Debug: symbolsVol 1"
            << QStringList{"Default.ini", "View.ini loaded", "Command file"};
        QTest::newRow("unreadable Symbol.ini")
            << "Symbol.ini" << QByteArray()
            << QStringList{"critical|Инициализация|Нет файла Symbol.ini",
                           "information|Таблица символов|Symbol.ini - были ошибки"}
            << "Debug: symbolsVol 0" << QStringList{"Default.ini", "Command file"};
        QTest::newRow("bad Default.ini row")
            << "Default.ini" << QByteArray("#4prlsa=abc\r\n")
            << QStringList{"information|Таблица умолчаний|Default.ini - были ошибки"}
            << "Debug: dfltsVol 0" << QStringList{"View.ini loaded", "Command file"};
    }
    void tableFailureEndsStartup()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, content);
        QFETCH(QStringList, boxes);
        QFETCH(QString, listing);
        QFETCH(QStringList, notRead);
        QTemporaryDir dir;
        const QString appDir = makeAppDir(dir);
        QVERIFY(copyShippedFiles(appDir));
        const QString path = appDir + QLatin1Char('/') + file;
        QVERIFY(QFile::remove(path));
        QVERIFY(content.isEmpty() ? QDir().mkpath(path) : testsupport::writeBytes(path, content));

        const Run run = runStartup(appDir);
        QCOMPARE(run.exitCode, int(Startup::DescriptionTableFailed));
        QCOMPARE(run.boxes, boxes);
        const QString failure = file + QStringLiteral(" - были ошибки");
        QCOMPARE(run.events.filter(failure).size(), 1);
        QVERIFY(run.events.filter(failure).first().contains(QStringLiteral(" {5} ")));
        QVERIFY2(!run.events.filter(listing).isEmpty(), qPrintable(listing));
        for (const QString& text : notRead)
            QVERIFY2(run.events.filter(text).isEmpty(), qPrintable(text));
    }

    void logDirectoryIsAboveTheRoot_data()
    {
        QTest::addColumn<QString>("appDir");
        QTest::addColumn<QString>("logPath");
        QTest::newRow("release") << "/opt/a/b/release"
                                 << "/opt/a/Log/velkor-testdriver.log";
        QTest::newRow("Debug") << "/opt/a/b/Debug"
                               << "/opt/a/Log/velkor-testdriver.log";
        QTest::newRow("bin") << "/opt/a/b/bin"
                             << "/opt/a/b/Log/velkor-testdriver.log";
    }
    void logDirectoryIsAboveTheRoot()
    {
        QFETCH(QString, appDir);
        QFETCH(QString, logPath);
        QCOMPARE(MPathWorks::logFilePath(appDir, appDir + QStringLiteral("/velkor-testdriver.bin")),
                 logPath);
    }

    void russianTranslationIsEmbedded()
    {
        QTranslator translator;
        QVERIFY(translator.load(QStringLiteral(":/lang/lang_ru_RU")));
    }

    // The real program in an empty directory, stopped from outside once it runs: the six
    // files, the log with its header, the start-up lines in order, the closing lines last,
    // and the previous run's log folded into the monthly archive.
    void programInAnEmptyDirectory()
    {
        QTemporaryDir dir;
        const QString appDir = dir.filePath(QStringLiteral("app"));
        QVERIFY(QDir().mkpath(appDir + QStringLiteral("/../Log")));
        const QString program = appDir + QStringLiteral("/velkor-testdriver");
        QVERIFY(QFile::copy(QStringLiteral(VELKOR_PROGRAM), program));
        const QString logPath = dir.filePath(QStringLiteral("Log/velkor-testdriver.log"));
        QVERIFY(testsupport::writeBytes(logPath, "Events:\nthe previous run\n"));

        QProcess process;
        process.setWorkingDirectory(appDir);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(env);
        process.start(program, {});
        QVERIFY(process.waitForStarted());
        // The splash stays five seconds; then the window runs until it is told to stop.
        QTRY_VERIFY_WITH_TIMEOUT(
            !eventLines(logPath).filter(QStringLiteral("Run application.")).isEmpty(), 30000);
        process.terminate();
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
        // The debug traces go to the program log, and to standard error only when asked for
        // (VELKOR_DEBUG).
        QVERIFY(!process.readAllStandardError().contains("Debug: commandsVol"));
        QVERIFY(QString::fromUtf8(testsupport::readBytes(logPath))
                    .contains(QStringLiteral("Debug: commandsVol --------------- 118")));
        for (const char* name : kSixFiles)
            QVERIFY2(QFile::exists(appDir + QLatin1Char('/') + QLatin1String(name)), name);

        const QStringList lines = readLines(logPath);
        QCOMPARE(lines.value(0), QString());
        QCOMPARE(lines.value(1), QString(90, QLatin1Char('*')));
        QVERIFY(lines.value(3).endsWith(QStringLiteral("velkor-testdriver")));
        QStringList events = eventLines(logPath);
        events.removeAll(QString());
        QCOMPARE(messageOf(events.value(0)), QStringLiteral("Run..."));
        const QStringList order = {"Command.ini loaded.", "Init COM ports completed.",
                                   "Run application."};
        int at = 0;
        for (const QString& line : std::as_const(events))
            if (at < order.size() && messageOf(line) == order[at])
                ++at;
        QCOMPARE(at, int(order.size()));
        QCOMPARE(messageOf(events.value(events.size() - 4)),
                 QStringLiteral("Execution complete. Return code: 0"));
        QCOMPARE(messageOf(events.value(events.size() - 3)), QStringLiteral("Bye..."));
        // Written during static destruction, and still with its time and date.
        QCOMPARE(messageOf(events.value(events.size() - 2)),
                 QStringLiteral("SystemLog: Log object destroed."));
        QCOMPARE(events.value(events.size() - 1), QString(90, QLatin1Char('*')));

        const QString archive =
            dir.filePath(QStringLiteral("Log/velkor-testdriver_%1.log")
                             .arg(QDate::currentDate().toString(QStringLiteral("MMyyyy"))));
        QVERIFY(readLines(archive).contains(QStringLiteral("the previous run")));
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
