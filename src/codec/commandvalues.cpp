#include "commandvalues.h"

#include "base/cp1251.h"
#include "razbcmd.h"

bool CommandValues::fill(RazbCmd& codec, const QStringList& values, Missing missing, int* failed)
{
    ItemTable& items = codec.commandItems();
    int k = 0;
    for (int i = 0; i < items.count; ++i) {
        CmdItem& item = items[i];
        if (item.ident == RazbCmd::CmdIdent)
            continue;
        *failed = i;
        if (k >= values.size()) {
            if (missing == Missing::Fail)
                return false;
            continue;
        }
        const QString& text = values.at(k++);
        if (item.type == '@') {
            const qulonglong value = qulonglong(text.toLongLong());
            for (int b = 0; b < item.len; ++b)
                item.value[size_t(b)] = quint8(b < 8 ? value >> (8 * b) : 0);
            continue;
        }
        const QByteArray bytes = item.type == '*' ? Cp1251::encode(text) : text.toUtf8();
        if (bytes.size() > MaxValueBytes)
            return false;
        item.dftval = bytes;
    }
    return true;
}
