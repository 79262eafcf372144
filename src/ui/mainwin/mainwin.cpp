#include "mainwin.h"

#include "base/cp1251.h"
#include "base/mlogsystem.h"
#include "base/settingsfile.h"
#include "catalogue/startdefaults.h"
#include "codec/razbcmd.h"
#include "devicesearch.h"
#include "link/frvelkor.h"
#include "link/networkport.h"
#include "link/openfailure.h"
#include "procedures/commandgate.h"
#include "procedures/programobjects.h"
#include "ui/shell/irreversiblequestion.h"
#include "ui/shell/modaldialog.h"
#include "ui/shell/systemmenudialog.h"
#include "ui/touch/fingertargets.h"
#include "ui/touch/sendbutton.h"
#include "ui/touch/touchscroller.h"
#include "ui/touch/virtkeyboard.h"
#include "ui_mainwin.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDebug>
#include <QDesktopServices>
#include <QDialog>
#include <QFileInfo>
#include <QFont>
#include <QHeaderView>
#include <QScreen>
#include <QStyle>
#include <QStyleHints>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The form is set up first, so the pane and the command form can be built on its widgets.
Ui::MainWin* setUpForm(QMainWindow* window)
{
    auto* ui = new Ui::MainWin;
    ui->setupUi(window);
    return ui;
}

// An entry of the tree with its whole text as its tool tip: the tree cuts long names.
QTreeWidgetItem* newTreeItem(QTreeWidget* tree, QTreeWidgetItem* parent, const QString& text)
{
    auto* item = parent ? new QTreeWidgetItem(parent, {text}) : new QTreeWidgetItem(tree, {text});
    item->setToolTip(0, text);
    return item;
}

} // namespace

MainWin::MainWin(MainWinParts parts)
    : m_ui(setUpForm(this)), m_objects(parts.objects), m_link(parts.link), m_log(parts.log),
      m_pane({m_ui->tedLog, m_ui->labStatus, m_ui->cbLogFull, m_ui->cbLogFile},
             &parts.objects.screenLog, parts.log),
      // A test script paints between its commands too, where the next ENQ is about to go.
      m_paintPacer([this] { return m_link.busy() || m_objects.procedureRunning; }),
      m_exchange(parts.objects.codec, parts.link, parts.objects.errors, m_pane),
      m_form(parts.objects.codec, parts.objects.symbols, m_ui->saWid)
{
    setWindowFlags(Qt::Window | Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::WindowTitleHint);
    m_link.setLogPane(&m_pane);
    m_link.setActivity(this);
    m_deviceSearch = new DeviceSearch(*this);
    makeSendButtons({m_ui->pbCmdSend, m_ui->pbTestLink});
    keepToggleWidth();

    m_ui->SettingsWidget->setAttribute(Qt::WA_StyledBackground);
    makeFingerTargets(m_ui->SettingsWidget);
    m_ui->gridLayout->setColumnStretch(0, 1);
    m_ui->gridLayout->setColumnStretch(1, 1);
    m_ui->gridLayout->setContentsMargins(16, 16, 16, 16);
    m_ui->gridLayout->setSpacing(8);
    m_ui->SettingsWidget->hide();
    m_ui->frame->hide();
    m_overlay = new QWidget(this);
    m_overlay->setObjectName(QStringLiteral("overlay"));
    m_overlay->setStyleSheet(QStringLiteral("background-color: rgba(236, 236, 236,80%);"));
    m_overlay->hide();
    // Tree and form share the width two to three, commands and log the height three to one.
    m_ui->splitter->setStretchFactor(0, 2);
    m_ui->splitter->setStretchFactor(1, 3);
    m_ui->splitter->setSizes({400, 600});
    m_ui->splitter_2->setStretchFactor(0, 3);
    m_ui->splitter_2->setStretchFactor(1, 1);
    m_ui->splitter_2->setSizes({450, 150});
    // Handles a finger can take hold of: about 5 mm.
    const int handle = std::max(16, qRound(5 * logicalDpiX() / 25.4));
    m_ui->splitter->setHandleWidth(handle);
    m_ui->splitter_2->setHandleWidth(handle);
    // The header shows the selected entry's path in a smaller face, cut at its start so that
    // the entry's own name stays in view. The path is cut here: the header's own elision is
    // lost under the tree's style sheet, which drew the path whole for the header's edge to
    // cut off the entry's name.
    m_ui->treeCommand->header()->setFont(QFont(QStringLiteral("DejaVu Serif"), 12));
    connect(m_ui->treeCommand->header(), &QHeaderView::sectionResized, this,
            &MainWin::showTreePath);
    m_ui->treeCommand->setExpandsOnDoubleClick(false);

    connect(&m_link, &FrVelkor::portLost, this, &MainWin::onPortLost);
    m_portLister = &FrVelkor::availablePorts;
    connect(&m_lostPortWatcher, &QFileSystemWatcher::directoryChanged, this,
            &MainWin::onLostPortDirectoryChanged);
    loadSettings();
    createKeyboard();
}

MainWin::~MainWin()
{
    m_link.setActivity(nullptr);
    delete m_keyboardHost;
}

void MainWin::closeEvent(QCloseEvent* event)
{
    QMainWindow::closeEvent(event);
    if (!event->isAccepted())
        return;
    // The procedure windows have no parent: left open, they would keep the program running
    // without its main window.
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window != this && window->isVisible())
            window->close();
}

// --- touch input ---------------------------------------------------------------------------

void MainWin::createKeyboard()
{
    // A tool-tip window is never activated, by any platform or window manager: the field's
    // window keeps the focus, and a grid's cell editor, which closes when it loses it, stays.
    m_keyboardHost =
        new QDialog(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                                 Qt::WindowDoesNotAcceptFocus);
    m_keyboardHost->setObjectName(QStringLiteral("keyboardHost"));
    m_keyboardHost->setAttribute(Qt::WA_ShowWithoutActivating);
    // The keyboard alone must not keep the program running once the main window has gone.
    m_keyboardHost->setAttribute(Qt::WA_QuitOnClose, false);
    m_keyboardHost->setStyleSheet(QStringLiteral("font: 18pt \"Norasi\";"));
    auto* layout = new QVBoxLayout(m_keyboardHost);
    layout->setContentsMargins(0, 0, 0, 0);
    m_keyboard = new VirtKeyboard(m_keyboardHost);
    layout->addWidget(m_keyboard);
    m_keyboard->setHost(m_keyboardHost);
    connect(m_keyboard, &VirtKeyboard::kbdRequest, this, &MainWin::showKbd);
    connect(m_keyboard, &VirtKeyboard::kbdClose, this, &MainWin::hideKbd);
    // Off unless config.ini switches it on for a touch terminal.
    m_keyboard->setSwitchedOn(SettingsFile::inAppDir(m_objects.appDirText).touchKeyboard());
    VirtKeyboard::setProgram(m_keyboard);
    m_keyboard->bondKeyboard(m_ui->sd_port);
    m_keyboard->bondKeyboard(m_ui->sd_passInput, VirtKeyboard::Keys::Figures);
    VirtKeyboard::keepUncovered({m_ui->sd_accept, m_ui->sd_cancell});
    placeKeyboard();

    m_treeScroller = new TouchScroller(this);
    m_treeScroller->attach(m_ui->treeCommand);
    m_logScroller = new TouchScroller(this);
    m_logScroller->attach(m_ui->tedLog);
    for (QAbstractScrollArea* area : {static_cast<QAbstractScrollArea*>(m_ui->saWid),
                                      static_cast<QAbstractScrollArea*>(m_ui->sd_listWidget)})
        TouchScroller::drive(area);
}

void MainWin::placeKeyboard()
{
    const int height = qRound(this->height() / 2.7);
    m_keyboardHost->resize(width(), height);
    const QRect desktop = screen() ? screen()->geometry() : QRect(QPoint(), size());
    const int x = desktop.x() + (desktop.width() - width()) / 2;
    const int bottom = mapToGlobal(QPoint(0, this->height())).y();
    m_keyboardHost->move(x, bottom - height);
}

void MainWin::showKbd()
{
    placeKeyboard();
    m_keyboardHost->show();
    m_keyboardHost->raise();
}

void MainWin::hideKbd()
{
    m_keyboardHost->hide();
}

// --- start-up ----------------------------------------------------------------------------

void MainWin::initComPorts(const QStringList& ports)
{
    showToggle(false);
    mpSetPbTestLink(true);
    m_ports = ports;
    mpInitCbCom(ports);
}

void MainWin::mpInitCbCom(const QStringList& ports)
{
    if (!buildSearchPorts(ports))
        m_pane.logError(tr("COM-порты для ФР"), tr("Нет COM-портов"));
}

bool MainWin::buildSearchPorts(const QStringList& ports)
{
    QStringList names = ports;
    // A pseudo-terminal or a typed path is not enumerated; the saved port is still offered
    // while its device file is there (a port that is gone costs a search every rate's wait).
    if (!m_devName.isEmpty() && !names.contains(m_devName) &&
        (NetworkPortName::parse(m_devName).isNetwork() ||
         QFileInfo::exists(portSystemPath(m_devName))))
        names << m_devName;
    // A port listed before keeps its tick.
    QStringList unticked;
    for (const SearchPort& port : std::as_const(m_searchPorts))
        if (!port.selected)
            unticked << port.name;
    m_searchPorts.clear();
    if (names.isEmpty())
        return false;
    QStringList quoted;
    for (const QString& name : names) {
        m_searchPorts.append({name, !unticked.contains(name)});
        quoted << QLatin1Char('"') + name + QLatin1Char('"');
    }
    qDebug().noquote() << "mpInitCbCom (" + quoted.join(QStringLiteral(", ")) + ')';
    return true;
}

void MainWin::applyStartDefaults()
{
    const StartDefaults defaults = readStartDefaults(m_objects.symbols);
    m_passwordIndex = defaults.passwordIndex;
    m_password = defaults.password;
    m_objects.codec.setPasswordText(defaults.passwordText);
    // The password the user accepted in the settings panel outlives the run: it takes the
    // place of the default table's start value.
    bool parsed = false;
    const quint32 saved = m_savedPassword.toUInt(&parsed, 10);
    if (parsed) {
        setPassword(saved);
        return;
    }
    m_passwordText = QString::fromLatin1(defaults.passwordText);
    // An older version kept any text; the default stands, and the user is told once.
    if (!m_savedPassword.isEmpty() && m_savedPassword != m_passwordText)
        m_pane.logError(QString(), tr("Пароль «%1» в config.ini — не число: используется "
                                      "пароль %2 из таблицы умолчаний.")
                                       .arg(m_savedPassword, m_passwordText));
}

void MainWin::checkSavedPort()
{
    // The system's list has no pseudo-terminals or typed paths; a saved full path that
    // exists is present too.
    const bool present = m_ports.contains(m_devName) ||
                         (m_devName.startsWith(QLatin1Char('/')) && QFileInfo::exists(m_devName));
    const NetworkPortName network = NetworkPortName::parse(m_devName);
    if (network.isNetwork())
        m_pane.logInfo(QString(), tr("Сетевой порт %1 из настроек: связь проверяется при "
                                     "подключении.")
                                      .arg(m_devName));
    else if (network.kind == NetworkPortName::Malformed)
        m_pane.logError(QString(), NetworkPortName::malformedText(m_devName));
    else if (present)
        m_pane.logInfo(QString(),
                       tr("СОМ-порт %1 из настроек найден и используется.").arg(m_devName));
    else if (m_devName.isEmpty())
        m_pane.logError(QString(),
                        tr("СОМ-порт не выбран. Пожалуйста зайдите в настройки и выберите порт."));
    else
        m_pane.logError(QString(),
                        tr("Сохраненный СОМ-порт %1 отсутствует в системе.").arg(m_devName));
}

// --- command tree ------------------------------------------------------------------------

void MainWin::buildTree()
{
    QTreeWidget* tree = m_ui->treeCommand;
    tree->clear();
    m_shownItem = nullptr;
    tree->setColumnCount(1);
    tree->setHeaderLabels({tr("Список команд по группам")});
    const Catalogue& catalogue = m_objects.catalogue;
    m_tablesItem = nullptr;
    for (int g = 0; g < catalogue.groupCount(); ++g) {
        const GroupRecord& group = catalogue.group(g);
        auto* top = newTreeItem(tree, nullptr, group.name);
        if (g == catalogue.tablesGroup())
            m_tablesItem = top;
        if (group.count > 1)
            for (int c = group.first; c < group.first + group.count; ++c)
                newTreeItem(tree, top, catalogue.command(c).name);
    }
}

void MainWin::on_treeCommand_currentItemChanged(QTreeWidgetItem* current, QTreeWidgetItem*)
{
    QString path;
    for (QTreeWidgetItem* item = current; item; item = item->parent())
        path.prepend(QLatin1Char('/') + item->text(0));
    m_treePath = path;
    m_ui->treeCommand->headerItem()->setToolTip(0, path);
    showTreePath();
}

void MainWin::showTreePath()
{
    if (m_treePath.isEmpty())
        return;
    const QHeaderView* header = m_ui->treeCommand->header();
    const int margins = 2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    m_ui->treeCommand->headerItem()->setText(
        0, header->fontMetrics().elidedText(m_treePath, Qt::ElideLeft,
                                            header->viewport()->width() - margins));
}

void MainWin::on_treeCommand_itemClicked(QTreeWidgetItem* item, int)
{
    qDebug() << "itemClicked";
    on_treeCommand(item);
}

int MainWin::mpSchCmd(QTreeWidgetItem* item) const
{
    QTreeWidgetItem* parent = item ? item->parent() : nullptr;
    if (!parent || parent->parent())
        return -1;
    const int position = parent->indexOfChild(item);
    qDebug() << "mpSchCmd" << position;
    const int group = m_ui->treeCommand->indexOfTopLevelItem(parent);
    if (position < 0 || group < 0 || group >= m_objects.catalogue.groupCount())
        return -1;
    return m_objects.catalogue.group(group).first + position;
}

void MainWin::keepToggleWidth()
{
    // As wide as its wider text, so the buttons beside it never move when it changes.
    QPushButton* toggle = m_ui->pbTestLink;
    int widest = 0;
    for (const bool connected : {true, false}) {
        showToggle(connected);
        widest = std::max(widest, toggle->sizeHint().width());
    }
    toggle->setMinimumWidth(widest);
}

void MainWin::setRunEnabled(bool enabled)
{
    m_ui->pbCmdSend->setEnabled(enabled);
}

void MainWin::clearCommandForm()
{
    m_form.clearForm();
    m_ui->pbCmdSend->setEnabled(false);
}

void MainWin::on_treeCommand(QTreeWidgetItem* item)
{
    qDebug() << "on_treeCommand" << (m_objects.procedureRunning ? "true" : "false");
    if (!item)
        return;
    // The exchange under way fills the current form when it returns; it must stay. A
    // refused tap leaves the highlight where it was, on the row the window shows.
    if (exchangeRunning()) {
        m_ui->treeCommand->setCurrentItem(m_shownItem);
        return;
    }
    if (m_objects.procedureRunning) {
        clearCommandForm();
        m_ui->treeCommand->setCurrentItem(m_shownItem);
        return;
    }
    m_shownItem = item;
    const int doubleTapMs = QGuiApplication::styleHints()->mouseDoubleClickInterval();
    // A group opens or closes at a tap on its name too: its arrow is a few pixels wide. A
    // double tap is one tap here as well (the tree's own double-click toggle is off).
    if (item->childCount() > 0) {
        if (m_taps.take(-1 - m_ui->treeCommand->indexOfTopLevelItem(item), doubleTapMs))
            item->setExpanded(!item->isExpanded());
        clearCommandForm();
        m_objects.catalogue.setCurrentCommand(-1);
        return;
    }
    Catalogue& catalogue = m_objects.catalogue;
    const int topIndex = item->parent() ? -1 : m_ui->treeCommand->indexOfTopLevelItem(item);
    if (topIndex >= 0 && topIndex == catalogue.tablesGroup()) {
        clearCommandForm();
        const bool listed = mpCreListTab();
        qDebug() << "mpSchGroupNoChildren" << (listed ? "true" : "false");
        // The tables just read are shown; a later tap on the group closes it as any group's.
        if (listed && m_tablesItem)
            m_tablesItem->setExpanded(true);
        m_taps.take(-1 - topIndex, doubleTapMs);
        return;
    }
    int current = -1;
    if (topIndex >= 0 && topIndex < catalogue.groupCount() && catalogue.group(topIndex).count == 1)
        current = catalogue.group(topIndex).first;
    else
        current = mpSchCmd(item);
    // The second tap of the gesture that ran this row (a double tap, a bouncing finger)
    // runs nothing and keeps the form with the run's reply.
    if (current >= 0 && startsOnTap(catalogue.command(current)) &&
        !m_taps.take(current, doubleTapMs))
        return;
    clearCommandForm();
    catalogue.setCurrentCommand(current);
    qDebug() << "command G N" << current;
    if (current < 0)
        return;
    const CommandRecord& record = catalogue.command(current);
    if (!m_objects.codec.parseCommand()) {
        // An edited Command.ini can break a command's lines: say so rather than show nothing.
        m_pane.logError(tr("Выбор команды"),
                        tr("Ошибка описания команды ") + RazbCmd::trName(record.name));
        return;
    }
    if (record.proc >= 1) {
        m_objects.procedureRunning = true;
        qDebug() << "*****************************{";
        if (m_dispatcher)
            m_dispatcher(record.proc);
        else
            m_objects.procedureRunning = false;
        qDebug() << "}*****************************";
        return;
    }
    m_form.ceShowCmd(true);
    if (record.exec == 1)
        on_pbCmdSend_clicked();
    m_ui->pbCmdSend->setEnabled(record.pbexec != 0);
}

bool MainWin::startsOnTap(const CommandRecord& record)
{
    return record.exec == 1 || record.proc >= 1;
}

void MainWin::setProcedureDispatcher(ProcedureDispatcher dispatcher)
{
    m_dispatcher = std::move(dispatcher);
}

bool MainWin::mpCreListTab()
{
    qDebug() << "mpCreListTab";
    int& tableCount = m_objects.tableCount;
    if (tableCount == 0)
        return false;
    if (tableCount == -1) {
        QList<QByteArray> names;
        if (!m_tableLister || !m_tableLister(&names))
            return false;
        tableCount = int(names.size());
        if (tableCount == 0)
            return false;
        Catalogue& catalogue = m_objects.catalogue;
        catalogue.setTableProcBase(catalogue.commandCount());
        const int group = catalogue.tablesGroup();
        catalogue.setGroupRange(group, catalogue.commandCount(), 0);
        for (int n = 1; n <= tableCount; ++n) {
            const QString name = Cp1251::decode(names.at(n - 1));
            const QString text = tr("Таблица ") + QString::number(n) + QStringLiteral(". ") +
                                 name.left(1) + name.mid(1).toLower();
            CommandRecord record;
            record.group = group;
            record.name = text;
            record.filePos = -n;
            if (catalogue.appendCommand(record) < 0)
                break;
            if (m_tablesItem)
                newTreeItem(m_ui->treeCommand, m_tablesItem, text);
        }
    }
    qDebug() << "/mpCreListTab";
    return true;
}

// --- running a command -------------------------------------------------------------------

int MainWin::mpGettimeout() const
{
    qDebug() << "mpGettimeout" << CommandTimeoutMs;
    return CommandTimeoutMs;
}

void MainWin::deviceBusy()
{
    m_pane.flush();
    m_paintPacer.paintIfDue();
}

void MainWin::exchangeEnded()
{
    m_paintPacer.release();
}

void MainWin::on_pbCmdSend_clicked()
{
    qDebug() << "pbCmdSend" << (m_connected ? "true" : "false");
    if (exchangeRunning()) {
        // A click let through by a wait on the line: nothing is sent, and the user is told.
        m_pane.logError(tr("Выполнение команды"), FrVelkor::busyText());
        return;
    }
    if (!m_connected)
        connectLink();
    if (!m_connected) {
        m_pane.logError(tr("Выполнение команды"), tr("Нет связи"));
        return;
    }
    runCurrentCommand();
}

void MainWin::runCurrentCommand()
{
    const int current = m_objects.catalogue.currentCommand();
    if (current < 0 || current >= m_objects.catalogue.commandCount())
        return;
    const CommandRecord& record = m_objects.catalogue.command(current);
    const QString name = record.name;
    const QString title = RazbCmd::trName(name);
    const CommandGate::Request request{
        title, record.asksConfirmation() ? CommandGate::commandQuestion(title) : QString(),
        [this, name] { return m_form.readAndEncode(m_exchange, name); },
        [this, name] {
            ExchangeGuard guard(this);
            m_form.sendAndShow(m_exchange, m_pane, name, mpGettimeout());
        }};
    CommandGate(*this, m_link).pass(request, [this](const QString& question) {
        return askIrreversible(this, question);
    });
    m_form.focusTypingField();
}

// --- system menu, links, layout ----------------------------------------------------------

void MainWin::on_butSysMenu_clicked()
{
    if (exchangeRunning())
        return;
    const QString className = QString::fromLatin1(metaObject()->className());
    auto* menu = new SystemMenuDialog(nullptr);
    const auto logLine = [&](const QString& text) {
        m_log->logWrite(QStringLiteral("%1: %2").arg(className, text), LogInfo);
    };
    logLine(tr("Main: Create exit menu."));
    const int result = runModal(menu);
    logLine(tr("Main: Exit menu return = %1.").arg(result));
    if (result == SystemMenuDialog::Exit) {
        logLine(tr("Main: Exit programm."));
        m_link.closeComPort();
        close();
    }
    delete menu;
}

void MainWin::openLink(const QString& link)
{
    QDesktopServices::openUrl(QUrl(link));
}

void MainWin::on_label_linkActivated(const QString& link)
{
    openLink(link);
}

void MainWin::on_label_4_linkActivated(const QString& link)
{
    openLink(link);
}

void MainWin::on_label_5_linkActivated(const QString& link)
{
    openLink(link);
}

void MainWin::on_label_10_linkActivated(const QString& link)
{
    openLink(link);
}

void MainWin::showOverlay()
{
    m_overlay->setGeometry(rect());
    m_overlay->show();
    m_overlay->raise();
}

void MainWin::hideOverlay()
{
    m_overlay->hide();
}

void MainWin::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    placePanels();
    placeKeyboard();
}

void MainWin::placePanels()
{
    m_overlay->setGeometry(rect());
    QWidget* central = m_ui->mainWidg;
    m_ui->frame->setGeometry(central->rect());
    QWidget* panel = m_ui->SettingsWidget;
    const QSize size = panel->sizeHint().expandedTo(QSize(560, 600)).boundedTo(central->size());
    panel->setGeometry(QRect(
        QPoint((central->width() - size.width()) / 2, (central->height() - size.height()) / 2),
        size));
}
