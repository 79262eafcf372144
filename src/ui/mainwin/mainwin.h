#pragma once

#include "codec/commandexchange.h"
#include "link/linkactivity.h"
#include "panelog.h"
#include "procedures/commandgate.h"
#include "procedures/procedurehost.h"
#include "ui/form/commandform.h"
#include "ui/shell/paintpacer.h"

#include <QFileSystemWatcher>
#include <QMainWindow>
#include <QStringList>

#include <functional>
#include <memory>

class DeviceSearch;
class FrVelkor;
class MLogSystem;
class QDialog;
class QListWidgetItem;
class TouchScroller;
class VirtKeyboard;
class QTreeWidgetItem;
class RazbCmd;
struct CommandRecord;
struct ProgramObjects;

// A port the device search may try, and whether the user has it ticked.
struct SearchPort
{
    QString name;
    bool selected = true;
};

namespace Ui {
class MainWin;
}

// What the main window works with; all of it outlives the window.
struct MainWinParts
{
    ProgramObjects& objects;
    FrVelkor& link;
    MLogSystem* log;
};

// The program's only top-level window: the command tree, the generated command form, the
// log pane, the connect toggle and the settings panel.
class MainWin : public QMainWindow, public ProcedureHost, private LinkActivity
{
    Q_OBJECT

public:
    static constexpr int CommandTimeoutMs = 10000;
    static constexpr int ProbeAttempts = 3;

    // Opens the window of a PROC= entry; it clears the procedure-running mark when the
    // procedure ends.
    using ProcedureDispatcher = std::function<void(int proc)>;
    // Reads the device's table names; false when the device gave none.
    using TableLister = std::function<bool(QList<QByteArray>* names)>;
    // The serial ports the system has now (tests give their own).
    using PortLister = std::function<QStringList()>;

    explicit MainWin(MainWinParts parts);
    ~MainWin() override;

    // Start-up steps: the not-connected state and the port list; the start values of the
    // default table; the tree; the check of the saved port.
    void initComPorts(const QStringList& ports);
    // The ports the device search offers, all ticked: the system's and the saved one.
    void mpInitCbCom(const QStringList& ports);
    void applyStartDefaults();
    void buildTree();
    void checkSavedPort();
    void setRunEnabled(bool enabled);

    // Whose lines the opening and the probes of a port write: a connect's, or the device
    // search's, which name the port each tries.
    enum class LinkLines
    {
        Connect,
        Search,
    };
    bool mpSetComPort(const QString& portName, int baudRate, LinkLines lines = LinkLines::Connect);
    bool mpTestLink(int baudRate, LinkLines lines = LinkLines::Connect);
    // The device search found the registrar: its port and rate become the settings'.
    void keepFoundPort(const QString& portName, int baudRate);
    void mpCloseCurComPort();
    void mpSetPbTestLink(bool disconnected);
    int mpGettimeout() const override;
    int mpSchCmd(QTreeWidgetItem* item) const;
    bool mpCreListTab();
    void on_treeCommand(QTreeWidgetItem* item);

    void setProcedureDispatcher(ProcedureDispatcher dispatcher);
    void setTableLister(TableLister lister) { m_tableLister = std::move(lister); }
    DeviceSearch& deviceSearch() const { return *m_deviceSearch; }
    void setPortLister(PortLister lister) { m_portLister = std::move(lister); }
    // Set by the device search when the user cancels it; a probe then gives up at once.
    void setSearchCancelled(bool cancelled) { m_searchCancelled = cancelled; }
    bool searchCancelled() const { return m_searchCancelled; }
    QList<SearchPort>& searchPorts() { return m_searchPorts; }

    // The dimming overlay over the whole window, for procedure windows and the search.
    void showOverlay() override;
    void hideOverlay() override;
    void exchangeStarted() override { ++m_exchangeDepth; }
    void exchangeFinished() override { --m_exchangeDepth; }

    bool connected() const override { return m_connected; }
    // True while a command, a connect or a probe is exchanging with the device.
    bool exchangeRunning() const override { return m_exchangeDepth > 0; }
    const QString& devName() const { return m_devName; }
    int baudRate() const { return m_baudRate; }
    quint32 password() const override { return m_password; }
    const QStringList& portList() const { return m_ports; }
    PaneLog& logPane() override { return m_pane; }
    VirtKeyboard* keyboard() const { return m_keyboard; }
    QDialog* keyboardHost() const { return m_keyboardHost; }
    CommandForm& form() { return m_form; }
    CommandExchange& exchange() { return m_exchange; }
    Ui::MainWin* ui() const { return m_ui.get(); }

Q_SIGNALS:
    // The pane's whole text on every change while the settings panel is shown.
    void textFromLog(const QString& text);

public Q_SLOTS:
    void showKbd();
    void hideKbd();
    void on_pbTestLink_clicked();
    void on_pbCmdSend_clicked();
    void on_treeCommand_itemClicked(QTreeWidgetItem* item, int column);
    void on_butSysMenu_clicked();
    void on_setButton_3_clicked();
    void on_sd_accept_clicked();
    void on_sd_cancell_clicked();
    void on_sd_listWidget_currentItemChanged(QListWidgetItem* current, QListWidgetItem* previous);
    void on_sd_searchDevs_clicked();
    // The line test on the connected link, in a window of its own.
    void on_sd_lineTest_clicked();
    void on_tedLog_textChanged();
    void on_treeCommand_currentItemChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    // The path in the header, cut at its start to the header's width.
    void showTreePath();
    void on_label_linkActivated(const QString& link);
    void on_label_4_linkActivated(const QString& link);
    void on_label_5_linkActivated(const QString& link);
    void on_label_10_linkActivated(const QString& link);

protected:
    void resizeEvent(QResizeEvent* event) override;
    // Closes the procedure windows and the keyboard with the main window.
    void closeEvent(QCloseEvent* event) override;

private:
    // Counts an exchange in progress for as long as it lives.
    class ExchangeGuard
    {
    public:
        explicit ExchangeGuard(MainWin* window) : m_window(window) { m_window->exchangeStarted(); }
        ~ExchangeGuard() { m_window->exchangeFinished(); }
        ExchangeGuard(const ExchangeGuard&) = delete;
        ExchangeGuard& operator=(const ExchangeGuard&) = delete;

    private:
        MainWin* m_window;
    };

    void loadSettings();
    void saveSettings();
    void setPassword(quint32 password);
    bool connectLink();
    void showToggle(bool connected);
    void onPortLost(const QString& reason);
    void onLostPortDirectoryChanged();
    // The search list from these ports and the saved one; false when it is empty.
    bool buildSearchPorts(const QStringList& ports);
    // Through the command gate: the form read and checked, the question of an irreversible
    // command, the exchange.
    void runCurrentCommand();
    // A tap on its row runs it: at once (EXEC=1) or as a procedure.
    static bool startsOnTap(const CommandRecord& record);
    void keepToggleWidth();
    void clearCommandForm();
    void placePanels();
    void createKeyboard();
    void placeKeyboard();
    static void openLink(const QString& link);
    // While the device takes a frame and answers, the pane's entries and the windows' paints
    // go out; after the exchange, what is still held.
    void deviceBusy() override;
    void exchangeEnded() override;

    std::unique_ptr<Ui::MainWin> m_ui;
    ProgramObjects& m_objects;
    FrVelkor& m_link;
    MLogSystem* m_log;
    PaneLog m_pane;
    PaintPacer m_paintPacer;
    CommandExchange m_exchange;
    CommandForm m_form;
    QWidget* m_overlay = nullptr;
    QDialog* m_keyboardHost = nullptr;
    VirtKeyboard* m_keyboard = nullptr;
    TouchScroller* m_treeScroller = nullptr;
    TouchScroller* m_logScroller = nullptr;
    ProcedureDispatcher m_dispatcher;
    TableLister m_tableLister;
    DeviceSearch* m_deviceSearch = nullptr;
    PortLister m_portLister;
    // Watches the directory of a lost port's device file until the file is back.
    QFileSystemWatcher m_lostPortWatcher;
    QString m_lostPort;
    QTreeWidgetItem* m_tablesItem = nullptr;
    QTreeWidgetItem* m_shownItem = nullptr; // the row last taken: its form or procedure shows
    QString m_treePath; // the selected entry's path, shown in the tree's header
    TapMemory m_taps;

    bool m_connected = false;
    bool m_searchCancelled = false;
    int m_exchangeDepth = 0;
    QString m_devName;
    int m_baudRate = 0;
    quint32 m_password = 0;
    QString m_passwordText;   // as typed, what config.ini keeps
    QString m_savedPassword;  // the settings file's password, applied over the start default
    int m_passwordIndex = -1; // default-table index of prlsa
    QStringList m_ports;
    QList<SearchPort> m_searchPorts;
};
