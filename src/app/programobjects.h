#pragma once

#include "catalogue/catalogue.h"
#include "catalogue/descriptionfiles.h"
#include "catalogue/errortexts.h"
#include "catalogue/symboltables.h"

#include <QFile>
#include <QString>

// The program-wide objects that start-up creates once and that live until the process ends.
struct ProgramObjects
{
    // The application directory followed by one separator.
    QString appDirText;
    // The pane file "Log.txt", written by the log pane.
    QFile screenLog;
    DescriptionFiles descriptionFiles;
    SymbolTables symbols;
    ErrorTexts errors;
    Catalogue catalogue;
};
