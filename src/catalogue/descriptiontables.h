#pragma once

#include "catalogue.h"
#include "descriptionfiles.h"
#include "errortexts.h"
#include "symboltables.h"

// The tables read from the description files at start-up: the files themselves, the symbol,
// default and view tables, the error texts and the command catalogue.
struct DescriptionTables
{
    DescriptionFiles descriptionFiles;
    SymbolTables symbols;
    ErrorTexts errors;
    Catalogue catalogue;
};
