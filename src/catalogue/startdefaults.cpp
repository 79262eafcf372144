#include "startdefaults.h"

#include "symboltables.h"

namespace {

quint32 firstFourBytes(const QByteArray& value)
{
    const QByteArray bytes = value.leftJustified(4, '\0');
    quint32 number = 0;
    for (int i = 3; i >= 0; --i)
        number = (number << 8) | quint8(bytes.at(i));
    return number;
}

} // namespace

StartDefaults readStartDefaults(const SymbolTables& tables)
{
    StartDefaults result;
    const int com = tables.findDefault("com");
    if (com >= 0) {
        result.portFound = true;
        result.portText = tables.defaults()[size_t(com)].value;
    }
    const int prlsa = tables.findDefault("prlsa");
    if (prlsa >= 0) {
        result.passwordIndex = prlsa;
        result.password = firstFourBytes(tables.defaults()[size_t(prlsa)].value);
        result.passwordText = QByteArray::number(result.password);
    }
    const int timeout = tables.findDefault("timeout");
    if (timeout >= 0)
        result.timeout = int(firstFourBytes(tables.defaults()[size_t(timeout)].value));
    return result;
}
