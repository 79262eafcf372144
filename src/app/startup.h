#pragma once

#include "programobjects.h"

#include <QString>
#include <QTranslator>

#include <memory>

class MLogSystem;

struct StartupContext
{
    QString appDir;            // the directory of the executable
    QString programPath;       // the program's path as passed on its command line
    MLogSystem* log = nullptr; // null: the process-wide log system
};

// The start-up sequence after the application object exists, up to the event loop.
class Startup
{
public:
    // Exit codes of a table that fails to load.
    static constexpr int DescriptionTableFailed = 1;
    static constexpr int CommandFileFailed = 2;

    explicit Startup(StartupContext context);

    // Runs the start-up steps; returns the program's exit code.
    int run();
    // The exit path: releases what start-up owns for its own duration.
    void exitPath();

    ProgramObjects& objects() { return m_objects; }
    QtMessageHandler previousMessageHandler() const { return m_previousHandler; }

    // Log directory rule: "Log" one level above the application root.
    static QString logFilePath(const QString& appDir, const QString& programPath);

private:
    void setIdentity();
    void startLog();
    void reportEnvironment();
    void installCodecsAndTranslator();
    void prepareLogFiles();
    int loadDescriptionTables();

    StartupContext m_context;
    MLogSystem* m_log = nullptr;
    ProgramObjects m_objects;
    std::unique_ptr<QTranslator> m_translator;
    QtMessageHandler m_previousHandler = nullptr;
};

// The program's entry: creates the application object, runs start-up, returns the exit code.
int runProgram(int argc, char** argv);
