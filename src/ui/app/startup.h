#pragma once

#include "catalogue/descriptionloader.h"
#include "procedures/programobjects.h"

#include <QString>
#include <QTranslator>

#include <functional>
#include <memory>

class FrVelkor;
class MainWin;
class MLogSystem;
class SplashScreen;
struct SpecialProcedures;

struct StartupContext
{
    QString appDir;            // the directory of the executable
    QString programPath;       // the program's path as passed on its command line
    MLogSystem* log = nullptr; // the program's log system
    int splashMs = 5000;       // how long the splash stays; tests shorten it
    // Called with the shown main window just before the event loop runs (tests drive it).
    std::function<void(MainWin&)> windowReady;
    // The executable's directory when appDir is the user's data directory instead.
    QString programDir;
};

// The start-up sequence after the application object exists, up to the event loop.
class Startup
{
public:
    // Exit codes of a table that fails to load.
    static constexpr int DescriptionTableFailed = DescriptionLoader::DescriptionTableFailed;
    static constexpr int CommandFileFailed = DescriptionLoader::CommandFileFailed;

    explicit Startup(StartupContext context);
    ~Startup();

    // Runs the start-up steps, the event loop and the closing lines; returns the exit code.
    int run();
    // The steps up to the loaded description tables; 0 or a table failure's exit code.
    int loadTables();
    // The link, the splash, the main window filled and shown, up to "Run application.".
    void buildWindow();
    // The event loop and the closing lines; returns the event loop's code.
    int runEventLoop();
    // Leaves as the exit menu does: the port closed, the window closed, the loop ended.
    void quit();
    // The exit path: releases what start-up owns for its own duration.
    void exitPath();

    ProgramObjects& objects() { return m_objects; }
    MainWin* mainWindow() const { return m_window.get(); }
    SpecialProcedures* procedures() const { return m_procedures.get(); }
    FrVelkor* link() const { return m_link.get(); }
    QtMessageHandler previousMessageHandler() const { return m_previousHandler; }

private:
    void setIdentity();
    void startLog();
    void reportEnvironment();
    void installCodecsAndTranslator();
    void prepareLogFiles();

    StartupContext m_context;
    MLogSystem* m_log = nullptr;
    ProgramObjects m_objects;
    std::unique_ptr<QTranslator> m_translator;
    std::unique_ptr<QTranslator> m_toolkitTranslator;
    std::unique_ptr<SplashScreen> m_splash;
    std::unique_ptr<FrVelkor> m_link;
    std::unique_ptr<MainWin> m_window;
    std::unique_ptr<SpecialProcedures> m_procedures;
    bool m_quitRequested = false;
    QtMessageHandler m_previousHandler = nullptr;
};

// Runs start-up in the running application with a log system of its own, which it ends
// after everything start-up made is gone; returns the exit code.
int runWithProgramLog(StartupContext context);
// The program's entry: creates the application object, runs start-up, returns the exit code.
int runProgram(int argc, char** argv);
