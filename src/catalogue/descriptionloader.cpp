#include "descriptionloader.h"

#include "base/mlogsystem.h"
#include "base/msgbox.h"
#include "descriptiontables.h"

#include <QCoreApplication>

#include <functional>
#include <vector>

namespace {

QString trMain(const char* text)
{
    return QCoreApplication::translate("main", text);
}

// One description table, with its failure report.
struct TableLoadStep
{
    const char* fileName;
    const char* boxTitle;
    std::function<bool()> load;
    std::function<void()> dump;
    bool dumpOnSuccess;
    int exitCode;
};

void prepareFiles(DescriptionTables& objects, const QString& appDir)
{
    DescriptionFiles& files = objects.descriptionFiles;
    files.prepareDescriptionFiles(appDir);
    objects.catalogue.setCommandFile(files.file(DescriptionFiles::Command));
    objects.symbols.setFiles(files.file(DescriptionFiles::Symbol),
                             files.file(DescriptionFiles::Default),
                             files.file(DescriptionFiles::View));
    objects.errors.setFiles(files.file(DescriptionFiles::Error),
                            files.file(DescriptionFiles::ErrorDrv));
    objects.catalogue.reset();
    objects.symbols.reset();
}

} // namespace

int DescriptionLoader::load(DescriptionTables& objects, const QString& appDir, MLogSystem& log)
{
    prepareFiles(objects, appDir);
    Catalogue& catalogue = objects.catalogue;
    SymbolTables& symbols = objects.symbols;
    const auto dumpSymbols = [&symbols] { symbols.dumpSymbols(); };
    const std::vector<TableLoadStep> steps = {
        {"Symbol.ini", "Таблица символов",
         [&symbols] { return symbols.loadSymbolFile(SymbolTables::Symbols); }, dumpSymbols, false,
         DescriptionTableFailed},
        {"Default.ini", "Таблица умолчаний",
         [&symbols] { return symbols.loadSymbolFile(SymbolTables::Defaults); }, dumpSymbols, false,
         DescriptionTableFailed},
        {"View.ini", "Таблица названий", [&symbols] { return symbols.loadViewFile(); },
         [&symbols] { symbols.dumpViews(); }, false, DescriptionTableFailed},
        {"Command.ini", "Таблица команд", [&catalogue] { return catalogue.loadCommands(); },
         [&catalogue] { catalogue.dumpCommands(); }, true, CommandFileFailed},
    };
    for (const TableLoadStep& step : steps) {
        const QString fileName = QString::fromLatin1(step.fileName);
        if (!step.load()) {
            const QString failure = trMain("%1 - были ошибки").arg(fileName);
            log.logWrite(failure, LogError);
            msgBox(MsgIcon::Information, trMain(step.boxTitle), failure);
            step.dump();
            return step.exitCode;
        }
        if (step.dumpOnSuccess)
            step.dump();
        log.logWrite(trMain("%1 loaded.").arg(fileName), LogInfo);
    }
    return 0;
}
