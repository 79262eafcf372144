// A whole command file: the catalogue loader, then the parse of every command it found.
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    auto& shipped = shippedCodec();
    QFile* file = inputFile(data, size);
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
