#pragma once

#include "catalogue/descriptiontables.h"
#include "codec/razbcmd.h"

#include <QFile>
#include <QString>

// The program-wide objects that start-up creates once and that live until the process ends.
struct ProgramObjects : DescriptionTables
{
    // The application directory followed by one separator.
    QString appDirText;
    // The pane file "Log.txt", written by the log pane.
    QFile screenLog;
    // The test script "testfp.txt", opened afresh by every run.
    QFile testScript;
    // The command codec and its two item tables, for the command selected last.
    RazbCmd codec{&catalogue, &symbols};
    // A PROC= procedure window is open: the tree starts nothing else.
    bool procedureRunning = false;
    // The number of device tables; -1 until they have been read.
    int tableCount = -1;
};
