#pragma once

#include "base/mlogsystem.h"
#include "base/pathworks.h"
#include "link/frvelkor.h"
#include "procedures/programobjects.h"
#include "ptyemulator.h"
#include "testsupport.h"
#include "ui/app/startup.h"
#include "ui/mainwin/mainwin.h"
#include "ui/shell/modaldialog.h"
#include "ui_mainwin.h"

#include <QAbstractButton>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QScreen>
#include <QSettings>
#include <QStyleHints>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <memory>

namespace testsupport {

// The texts the window shows wider than their room, as "object name: text": labels that do
// not wrap, buttons, check boxes and line edits. Empty when everything can be read.
inline QStringList clippedTexts(QWidget* window)
{
    QStringList clipped;
    const auto check = [&](QWidget* widget, const QString& text, int need) {
        if (widget->isVisibleTo(window) && !text.isEmpty() && need > widget->width())
            clipped << widget->objectName() + QStringLiteral(": ") + text;
    };
    for (QLabel* label : window->findChildren<QLabel*>())
        if (!label->wordWrap() && label->textFormat() != Qt::RichText &&
            !Qt::mightBeRichText(label->text()))
            check(label, label->text(), label->minimumSizeHint().width());
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>())
        check(button, button->text(), button->sizeHint().width());
    // Table cells and their column headers, over the rows a first look shows.
    for (QTableView* table : window->findChildren<QTableView*>()) {
        const QAbstractItemModel* model = table->model();
        if (!model || !table->isVisibleTo(window))
            continue;
        constexpr int CellMargins = 6;
        for (int c = 0; c < model->columnCount(); ++c) {
            const int room = table->columnWidth(c);
            const QString header = model->headerData(c, Qt::Horizontal).toString();
            if (QFontMetrics(table->horizontalHeader()->font()).horizontalAdvance(header) +
                    CellMargins > room)
                clipped << table->objectName() + QStringLiteral(" header: ") + header;
            for (int r = 0; r < std::min(model->rowCount(), 50); ++r) {
                const QString text = model->index(r, c).data().toString();
                if (table->fontMetrics().horizontalAdvance(text) + CellMargins > room)
                    clipped << table->objectName() + QStringLiteral(": ") + text;
            }
        }
    }
    for (QLineEdit* edit : window->findChildren<QLineEdit*>()) {
        // The frame and the edit's own margins take about four pixels on each side.
        constexpr int Margins = 8;
        check(edit, edit->text(), edit->fontMetrics().horizontalAdvance(edit->text()) + Margins);
    }
    return clipped;
}

// Each window the user sees, at a state worth a picture: nothing in it may be shown wider
// than its room, and with VELKOR_SCREENSHOTS naming a directory its picture is saved there
// (for the docs). A window shown over it (the on-screen keyboard) is pictured in its place.
inline void snapshot(QWidget* window, const char* name, QWidget* over = nullptr)
{
    window->show();
    QTest::qWait(100); // rows added to a shown form, and the pane's entries, come in queued
    // The touch terminal's screen holds it (its frame, if any, aside), or the test's screen
    // where that is larger and the window sizes itself to it.
    const QSize screen = window->screen()->availableSize().expandedTo(QSize(1024, 768));
    QVERIFY2(window->width() <= screen.width() && window->height() <= screen.height(),
             qPrintable(QLatin1String(name) +
                        QStringLiteral(": %1x%2").arg(window->width()).arg(window->height())));
    const QStringList clipped = clippedTexts(window);
    QVERIFY2(clipped.isEmpty(), qPrintable(QLatin1String(name) + QStringLiteral(": ") +
                                           clipped.join(QStringLiteral("; "))));
    const QString dir = qEnvironmentVariable("VELKOR_SCREENSHOTS");
    if (dir.isEmpty())
        return;
    QPixmap picture = window->grab();
    if (over) {
        const QRect area = window->geometry().united(over->geometry());
        picture = QPixmap(area.size());
        picture.fill(Qt::darkGray);
        QPainter painter(&picture);
        for (QWidget* shown : {window, over})
            painter.drawPixmap(shown->geometry().topLeft() - area.topLeft(), shown->grab());
    }
    picture.save(dir + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png"));
}

// The real main window, built by start-up in a fresh application directory, with the
// emulator on a pseudo-terminal as the port named in config.ini.
class WindowRig
{
public:
    static constexpr int DeviceBaud = 115200;

    struct Options
    {
        emu::FaultPlan plan;
        bool writeConfig = true; // devName = the emulator, baudRate = the device's rate
        QString secPass = QStringLiteral("30");
        // Replace the shipped Default.ini and Command.ini in the application directory when
        // not empty.
        QByteArray defaultIni;
        QByteArray commandIni;
        bool touchKeyboard = false; // config.ini switches the on-screen keyboard on
        bool behindLink = false;    // the port is a symlink to the pseudo-terminal
        QString portName;           // config.ini names this port instead of the emulator
        int baudRate = DeviceBaud;  // and this rate
    };

    WindowRig() : WindowRig(Options()) {}
    explicit WindowRig(const Options& options)
        : m_plan(options.plan)
    {
        appDir = m_dir.filePath(QStringLiteral("app"));
        QDir().mkpath(appDir);
        if (options.behindLink)
            m_link = m_dir.filePath(QStringLiteral("ttyVELKOR"));
        startEmulator();
        if (!options.defaultIni.isEmpty() || !options.commandIni.isEmpty()) {
            for (const char* name : {"Command.ini", "Default.ini", "Symbol.ini", "View.ini",
                                     "Error.txt", "ErrorDrv.txt"})
                QFile::copy(QStringLiteral(":/Ini/") + QLatin1String(name),
                            appDir + QLatin1Char('/') + QLatin1String(name));
            for (const auto& [name, bytes] : {std::pair{"/Default.ini", options.defaultIni},
                                              std::pair{"/Command.ini", options.commandIni}})
                if (!bytes.isEmpty()) {
                    QFile::remove(appDir + QLatin1String(name));
                    writeBytes(appDir + QLatin1String(name), bytes);
                }
        }
        if (options.writeConfig) {
            QSettings config(appDir + QStringLiteral("/config.ini"), QSettings::IniFormat);
            config.beginGroup(QStringLiteral("Settings"));
            config.setValue(QStringLiteral("devName"),
                            options.portName.isEmpty() ? portPath : options.portName);
            config.setValue(QStringLiteral("baudRate"), options.baudRate);
            config.setValue(QStringLiteral("secPass"), options.secPass);
            config.endGroup();
            if (options.touchKeyboard)
                config.setValue(QStringLiteral("Touch/keyboard"), true);
        }
        m_startup = std::make_unique<Startup>(
            StartupContext{appDir, appDir + QStringLiteral("/velkor-testdriver"), &log, 0, {}, {}});
        if (m_startup->loadTables() != 0)
            qFatal("the description tables did not load");
        m_startup->buildWindow();
        // Debug lines go to this run's log file, not to the test's output.
        // A file dialog nobody answers would wait for ever: unanswered, it is cancelled.
        m_previousAnswerer = setFileAnswerer([](const FileQuestion& question) {
            qWarning("file dialog \"%s\" not answered", qPrintable(question.caption));
            return QString();
        });
    }
    ~WindowRig()
    {
        setFileAnswerer(m_previousAnswerer);
        qInstallMessageHandler(m_startup->previousMessageHandler());
        m_startup->exitPath();
        m_startup.reset();
        log.waitForIdle();
    }
    WindowRig(const WindowRig&) = delete;
    WindowRig& operator=(const WindowRig&) = delete;

    MainWin& win() { return *m_startup->mainWindow(); }
    Startup& startup() { return *m_startup; }
    Ui::MainWin& ui() { return *win().ui(); }
    ProgramObjects& objects() { return m_startup->objects(); }
    emu::PtyEmulator& emulator() { return *m_emulator; }
    void stopEmulator() { m_emulator.reset(); }
    // A new emulator on the same port: behind its link, the device file comes back.
    void startEmulator()
    {
        m_emulator = std::make_unique<emu::PtyEmulator>(m_plan, DeviceBaud);
        if (!m_emulator->open(m_link.toStdString()))
            qFatal("emulator: %s", m_emulator->error().c_str());
        m_emulator->start();
        portPath = QString::fromStdString(m_emulator->portPath());
    }

    QTreeWidgetItem* treeItem(const QString& name)
    {
        const QList<QTreeWidgetItem*> found =
            ui().treeCommand->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
        return found.value(0);
    }
    // A tap on the tree entry, as the user gives it: a gesture of its own, so a second tap
    // on the same entry waits out the double-click interval first.
    void select(const QString& name)
    {
        if (name == m_lastTapped)
            waitOutGesture();
        tap(name);
    }
    // Until the last tap's double-click interval has passed.
    void waitOutGesture()
    {
        const qint64 left =
            QGuiApplication::styleHints()->mouseDoubleClickInterval() - m_sinceTap.elapsed();
        if (m_sinceTap.isValid() && left >= 0)
            QTest::qWait(int(left) + 1);
    }
    // Two taps on the entry within the double-click interval: one gesture.
    void doubleTap(const QString& name)
    {
        select(name);
        tap(name);
    }
    void tap(const QString& name)
    {
        m_lastTapped = name;
        QTreeWidgetItem* item = treeItem(name);
        QVERIFY2(item, qPrintable(name));
        QTreeWidget* tree = ui().treeCommand;
        if (item->parent())
            item->parent()->setExpanded(true);
        tree->scrollToItem(item);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                          tree->visualItemRect(item).center());
        // The touch scroller replays a tap as a posted press and release.
        QCoreApplication::sendPostedEvents(tree->viewport());
        m_sinceTap.start(); // after the run, so later than the window's own count begins
    }
    // The window at the touch terminal's size, shown.
    void showOnTerminal()
    {
        win().resize(1024, 768);
        win().show();
    }
    // Shown and connected to the emulator, as a session starts.
    void showConnected()
    {
        showOnTerminal();
        clickToggle();
    }
    void clickRun() { QTest::mouseClick(ui().pbCmdSend, Qt::LeftButton); }
    void clickToggle() { QTest::mouseClick(ui().pbTestLink, Qt::LeftButton); }

    // A command item (isCmd) or a reply item of the current form.
    const CmdItem* item(const QByteArray& ident, bool isCmd = false)
    {
        const ItemTable& items =
            isCmd ? objects().codec.commandItems() : objects().codec.replyItems();
        for (int i = 0; i < items.count; ++i)
            if (items[i].ident == ident)
                return &items[i];
        return nullptr;
    }
    // The editor of a command item (isCmd) or the field of a reply item.
    QWidget* field(const QByteArray& ident, bool isCmd = false)
    {
        const CmdItem* found = item(ident, isCmd);
        return found ? found->wid : nullptr;
    }
    // The pane's lines, with the entries not yet put in.
    QStringList paneLines() const
    {
        m_startup->mainWindow()->logPane().flush();
        return m_startup->mainWindow()->ui()->tedLog->toPlainText().split(QLatin1Char('\n'),
                                                                          Qt::SkipEmptyParts);
    }
    // The pane's lines without their time stamps, newest first, exactly as shown.
    QStringList paneTexts() const
    {
        QStringList texts;
        for (const QString& line : paneLines())
            texts << line.mid(line.indexOf(QStringLiteral(": ")) + 2);
        return texts;
    }
    QString status() { return ui().labStatus->text(); }
    unsigned executions(uint8_t code)
    {
        return m_emulator->withModel([code](emu::DeviceModel& m) { return m.executions(code); });
    }
    QString configPath() const { return appDir + QStringLiteral("/config.ini"); }
    QString logPath() const
    {
        return MPathWorks::logFilePath(appDir, appDir + QStringLiteral("/velkor-testdriver"));
    }

    MLogSystem log;
    QString appDir;
    QString portPath;

private:
    QTemporaryDir m_dir;
    emu::FaultPlan m_plan;
    QString m_link;
    std::unique_ptr<emu::PtyEmulator> m_emulator;
    std::unique_ptr<Startup> m_startup;
    FileAnswerer m_previousAnswerer;
    QString m_lastTapped;
    QElapsedTimer m_sinceTap;
};

} // namespace testsupport
