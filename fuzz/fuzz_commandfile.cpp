// A whole command file: the catalogue loader, then the parse of every command it found.
#include "fuzzsupport.h"

#include <QTemporaryFile>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    auto& shipped = shippedCodec();
    static QTemporaryFile* file = [] {
        auto* created = new QTemporaryFile;
        created->open();
        created->close();
        return created;
    }();
    file->open();
    file->resize(0);
    file->write(reinterpret_cast<const char*>(data), qint64(size));
    file->close();

    Catalogue catalogue(file);
    if (!catalogue.loadCommands())
        return 0;
    catalogue.dumpCommands();
    RazbCmd codec(&catalogue, &shipped.tables);
    for (int i = 0; i < catalogue.commandCount(); ++i) {
        catalogue.setCurrentCommand(i);
        codec.parseCommand();
    }
    return 0;
}
