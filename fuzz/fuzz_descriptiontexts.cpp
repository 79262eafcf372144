// View.ini and the error files: the first byte picks the reader, the rest is the file.
#include "catalogue/errortexts.h"
#include "catalogue/symboltables.h"
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    silenceMessages();
    if (size < 2)
        return 0;
    QFile* file = inputFile(data + 2, size - 2);
    if (data[0] % 2 == 0) {
        SymbolTables tables(nullptr, nullptr, file);
        tables.loadViewFile();
        tables.dumpViews();
        tables.viewOf("opr");
    } else {
        // An error code from the second byte, a device's (0-255) or a driver's.
        errorText(int(data[1]) - 128, file);
        ErrorTexts texts(file, file);
        texts.devErrorText(data[1]);
        texts.driverErrorText(500 + data[1] % 32);
    }
    return 0;
}
