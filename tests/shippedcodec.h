#pragma once

#include "catalogue/catalogue.h"
#include "catalogue/symboltables.h"
#include "codec/razbcmd.h"

#include <QFile>

namespace testsupport {

// The shipped description tables from the embedded copies, and a codec over them with the
// shipped password.
struct ShippedCodec
{
    QFile symbolFile{QStringLiteral(":/Ini/Symbol.ini")};
    QFile defaultFile{QStringLiteral(":/Ini/Default.ini")};
    QFile viewFile{QStringLiteral(":/Ini/View.ini")};
    QFile commandFile{QStringLiteral(":/Ini/Command.ini")};
    SymbolTables tables{&symbolFile, &defaultFile, &viewFile};
    Catalogue catalogue{&commandFile};
    RazbCmd codec{&catalogue, &tables};

    // True when every table loaded without an error.
    bool load()
    {
        codec.setPasswordText("30");
        return tables.loadSymbolFile(SymbolTables::Symbols) &&
               tables.loadSymbolFile(SymbolTables::Defaults) && tables.loadViewFile() &&
               catalogue.loadCommands();
    }
};

} // namespace testsupport
