// The texts a user types: a test-script line as the runner reads it (Windows-1251, trimmed,
// cut into items) and a command in hexadecimal as the hex window reads it.
#include "base/cp1251.h"
#include "fuzzsupport.h"
#include "procedures/hexcommand.h"
#include "procedures/testfp.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    silenceMessages();
    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    const QString line = Cp1251::decode(bytes).trimmed();
    QStringList items;
    if (TestFp::splitLine(line, &items) && items.size() > TestFp::MaxItems)
        std::abort();
    const QString hex = QString::fromUtf8(bytes);
    if (HexCommand::decode(hex).size() > (hex.size() + 1) / 2)
        std::abort();
    return 0;
}
