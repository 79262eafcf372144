#include "startup.h"

#include "base/cp1251.h"
#include "base/mlogsystem.h"
#include "base/msgbox.h"
#include "base/pathworks.h"
#include "base/terminationsignals.h"
#include "catalogue/descriptionloader.h"
#include "link/frvelkor.h"
#include "ui/mainwin/mainwin.h"
#include "ui/procedures/specialprocedures.h"
#include "ui/shell/msgboxwidget.h"
#include "ui/shell/splashscreen.h"

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QScreen>


namespace {

QString trMain(const char* text)
{
    return QCoreApplication::translate("main", text);
}

} // namespace

Startup::Startup(StartupContext context) : m_context(std::move(context)) {}

// The procedures go before the window that hosts them, the window before the link it
// reports on and the objects it shows.
Startup::~Startup()
{
    m_procedures.reset();
    m_window.reset();
    m_link.reset();
}

int Startup::run()
{
    const int loaded = loadTables();
    // A quit during start-up ends it with the code of the step it interrupted.
    if (loaded != 0 || m_quitRequested)
        return loaded;
    buildWindow();
    return runEventLoop();
}

int Startup::loadTables()
{
    setIdentity();
    m_splash = std::make_unique<SplashScreen>();
    startLog();
    reportEnvironment();
    installCodecsAndTranslator();
    prepareLogFiles();

    return DescriptionLoader::load(m_objects, m_context.appDir, *m_log);
}

void Startup::buildWindow()
{
    m_objects.procedureRunning = false;
    m_objects.tableCount = -1;
    m_objects.catalogue.setTableProcBase(-1);
    m_link = std::make_unique<FrVelkor>(&m_objects.errors);

    m_splash->runSplash(m_context.splashMs);
    if (m_quitRequested)
        return;

    m_window = std::make_unique<MainWin>(MainWinParts{m_objects, *m_link, m_log});
    m_window->initComPorts(FrVelkor::availablePorts());
    m_log->logWrite(trMain("Init COM ports completed."), LogInfo);
    m_window->applyStartDefaults();
    m_window->buildTree();
    m_procedures =
        std::make_unique<SpecialProcedures>(m_objects, *m_window, *m_link, m_objects.errors);
    DopProc* dopProc = &m_procedures->dopProc;
    m_window->setProcedureDispatcher([dopProc](int proc) { dopProc->cmdDopProc(proc); });
    Tables* tables = &m_procedures->tables;
    m_window->setTableLister([tables](QList<QByteArray>* names) {
        if (!tables->getTabList())
            return false;
        tables->dumpTabStruct();
        *names = tables->exchange().names();
        return true;
    });
    const StatusFlags* flags = &m_procedures->statusFlags;
    m_window->form().setFlagRows(
        [flags](quint8 code, const QByteArray& ident) { return flags->flagProc(code, ident); });
    m_window->setRunEnabled(false);
    QGuiApplication::setQuitOnLastWindowClosed(true);
    m_window->show();
    m_window->checkSavedPort();
    m_log->logWrite(trMain("Run application."), LogStage);
    m_log->setTimeStampMode(MLogSystem::WallClock);
}

void Startup::quit()
{
    m_quitRequested = true;
    // Start-up shows no further box: a later failure is only logged.
    setMsgBoxHandler({});
    // A reading under way (a dump, a table, a script) gives up at once.
    if (m_link)
        m_link->abandon();
    // Every window is asked to close, so that the event loop ends whatever is open: a message
    // box of start-up with its only answer, the procedure windows, the keyboard, the main
    // window. A window busy with a reading refuses until the reading has ended, and then
    // closes itself; the others do not wait for it.
    QList<QPointer<QWidget>> windows;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible())
            windows << window;
    for (const QPointer<QWidget>& window : std::as_const(windows))
        if (window && window->isVisible())
            window->close();
}

int Startup::runEventLoop()
{
    if (m_context.windowReady && m_window)
        m_context.windowReady(*m_window);
    const int exitCode = m_quitRequested ? 0 : QCoreApplication::exec();
    m_log->logWrite(trMain("Execution complete. Return code: %1").arg(exitCode), LogInfo);
    m_log->logWrite(trMain("Bye..."), LogInfo);
    return exitCode;
}

void Startup::exitPath()
{
    m_translator.reset();
    m_toolkitTranslator.reset();
    m_splash.reset();
}

void Startup::setIdentity()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrel, JSC"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("Russia"));
    QCoreApplication::setApplicationName(QStringLiteral("Driver for FR Velkor."));
    QCoreApplication::setApplicationVersion(QStringLiteral("0.0.4.1"));
}

void Startup::startLog()
{
    m_log = m_context.log;
    m_log->setProgramName(MPathWorks::baseNameOf(m_context.programPath));
    m_log->setTimeStampMode(MLogSystem::StartUp);
    m_log->restartClock();
    m_log->logWrite(trMain("Run..."), LogError);
}

void Startup::reportEnvironment()
{
    const QLocale system;
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    m_log->logWrite(trMain("Decimal point: %1").arg(system.decimalPoint()), LogInfo);
    m_log->logWrite(trMain("Country: %1").arg(QLocale::territoryToString(system.territory())),
                    LogInfo);
    m_log->logWrite(trMain("Group separator: %1").arg(system.groupSeparator()), LogInfo);

    const quint64 free = MFilesWorks::freeDiskSpace(m_context.appDir);
    m_log->logWrite(trMain("Disk space free %1 bytes.").arg(system.toString(free)), LogInfo);
    m_log->logWrite(trMain("Temp path: %1").arg(QDir::tempPath()), LogInfo);
    m_log->logWrite(trMain("Home path: %1").arg(QDir::homePath()), LogInfo);
    m_log->logWrite(trMain("Root path: %1").arg(QDir::rootPath()), LogInfo);
    m_log->logWrite(trMain("Screens count: %1.").arg(QGuiApplication::screens().size()), LogStage);
}

void Startup::installCodecsAndTranslator()
{
    // Qt 6 reads and writes UTF-8 wherever no code page is named; Windows-1251 is reached
    // through Cp1251 and must be there for device texts and BOM-less description files.
    if (!Cp1251::isAvailable())
        m_log->logWrite(trMain("Codec Windows-1251 is not available."), LogError);

    const QString localeName = QLocale::system().name();
    m_translator = std::make_unique<QTranslator>();
    // The tool is Russian whatever the locale: a kiosk's C.UTF-8 has no translation of its
    // own, and its windows came up half in English.
    const bool loaded = m_translator->load(QStringLiteral(":/lang/lang_") + localeName) ||
                        m_translator->load(QStringLiteral(":/lang/lang_ru"));
    QCoreApplication::installTranslator(m_translator.get());
    m_log->logWrite(
        trMain("Install translator (name=%1, state=%2).").arg(localeName).arg(loaded ? 1 : 0),
        LogInfo);
    m_log->logWrite(trMain("Install translator."), LogInfo);
    // The toolkit's own texts (standard buttons, file dialogs) in Russian, like the rest.
    m_toolkitTranslator = std::make_unique<QTranslator>();
    if (m_toolkitTranslator->load(QStringLiteral("qtbase_ru"),
                                  QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(m_toolkitTranslator.get());
}

void Startup::prepareLogFiles()
{
    m_objects.appDirText = m_context.appDir + QLatin1Char('/');
    m_objects.screenLog.setFileName(m_objects.appDirText + QStringLiteral("Log.txt"));
    m_objects.screenLog.remove();
    m_objects.testScript.setFileName(m_objects.appDirText + QStringLiteral("testfp.txt"));

    const QString programDir =
        m_context.programDir.isEmpty() ? m_context.appDir : m_context.programDir;
    QString fallback;
    const QString logPath = MPathWorks::logFilePathIn(m_context.appDir, programDir,
                                                      m_context.programPath, &fallback);
    m_log->archiveLog(logPath);
    m_log->setMinimumLevel(0);
    m_log->setLogFile(logPath);
    m_previousHandler = MLogSystem::installMessageHandler(m_log);
    // A debug line: the fixed lines of start-up keep their order.
    qDebug().noquote() << "Data directory:" << m_context.appDir;
    if (!fallback.isEmpty())
        qWarning().noquote() << fallback;
}

int runWithProgramLog(StartupContext context)
{
    // The log outlives everything that writes to it and ends before the application
    // object does: its worker never runs while the toolkit is torn down.
    MLogSystem log;
    context.log = &log;
    int exitCode = 0;
    {
        Startup startup(std::move(context));
        static Startup* running = nullptr;
        running = &startup;
        onTerminationSignal([] {
            if (running)
                running->quit();
        });
        exitCode = startup.run();
        running = nullptr;
        restoreDefaultTerminationSignals();
        startup.exitPath();
    }
    log.close();
    return exitCode;
}

int runProgram(int argc, char** argv)
{
    QApplication app(argc, argv);
    installWidgetMsgBox();
    // The debug traces go to the program log; to standard error too only when asked.
    MLogSystem::setDebugTraces(true, qEnvironmentVariableIsSet("VELKOR_DEBUG"));
    const QString programDir = QCoreApplication::applicationDirPath();
    const QString dataDir = MPathWorks::dataDirectory(programDir);
    if (!QFileInfo(dataDir).isDir()) {
        msgBox(MsgIcon::Critical, trMain("Инициализация"),
               trMain("Не удалось создать каталог данных %1").arg(dataDir));
        return DescriptionLoader::DescriptionTableFailed;
    }
    return runWithProgramLog({dataDir, QCoreApplication::arguments().value(0), nullptr,
                              SplashScreen::ShowMs, {}, programDir});
}
