// Lines of Symbol.ini and Default.ini through the shared row grammar, into fresh tables.
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    shippedCodec();
    SymbolTables tables;
    const QByteArray input(reinterpret_cast<const char*>(data), int(size));
    const QList<QByteArray> lines = input.split('\n');
    for (const QByteArray& line : lines) {
        const QString text = QString::fromUtf8(line);
        tables.parseRow(SymbolTables::Symbols, text);
        tables.parseRow(SymbolTables::Defaults, text);
    }
    for (const SymbolEntry& symbol : tables.symbols()) {
        tables.enumIndex(symbol.name.left(3), symbol.value);
        tables.enumValue(symbol.name.left(3), 1, 4);
    }
    tables.dumpSymbols();
    return 0;
}
