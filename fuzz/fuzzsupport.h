#pragma once

#include "catalogue/catalogue.h"
#include "catalogue/symboltables.h"
#include "codec/razbcmd.h"

#include <QCoreApplication>
#include <QFile>

// The shipped description tables, loaded once per fuzzing process, with the toolkit's
// messages silenced so that the debug traces do not dominate the run.
struct ShippedCodec
{
    QFile symbolFile{QStringLiteral(":/Ini/Symbol.ini")};
    QFile defaultFile{QStringLiteral(":/Ini/Default.ini")};
    QFile viewFile{QStringLiteral(":/Ini/View.ini")};
    QFile commandFile{QStringLiteral(":/Ini/Command.ini")};
    SymbolTables tables{&symbolFile, &defaultFile, &viewFile};
    Catalogue catalogue{&commandFile};
    RazbCmd codec{&catalogue, &tables};

    static ShippedCodec& instance()
    {
        static ShippedCodec* shipped = [] {
            qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
            auto* created = new ShippedCodec;
            created->tables.loadSymbolFile(SymbolTables::Symbols);
            created->tables.loadSymbolFile(SymbolTables::Defaults);
            created->tables.loadViewFile();
            created->catalogue.loadCommands();
            created->codec.setPasswordText("30");
            return created;
        }();
        return *shipped;
    }
};
