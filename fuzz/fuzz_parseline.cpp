// A CMD= or RPL= line text (the first byte chooses which), parsed, then encoded with the
// defaults or split over the rest of the input as a reply.
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    auto& shipped = shippedCodec();
    RazbCmd& codec = shipped.codec;
    const bool isCmd = data[0] & 1;
    const QByteArray input(reinterpret_cast<const char*>(data + 1), int(size - 1));
    const int newline = int(input.indexOf('\n'));
    const QByteArray line = newline < 0 ? input : input.left(newline);
    if (!codec.parseLine(line, isCmd))
        return 0;
    if (isCmd) {
        ItemTable& items = codec.commandItems();
        for (int i = 0; i < items.count; ++i)
            if (items[i].type == '@')
                codec.setEnumChoice(i, i);
        int failed = -1;
        if (codec.ceConvParmCmd(&failed))
            codec.commandArray();
    } else {
        codec.splitReply(newline < 0 ? QByteArray() : input.mid(newline + 1));
        codec.ceConvParmRpl();
        for (int i = 0; i < codec.replyItems().count; ++i)
            codec.replyText(codec.replyItems()[i]);
    }
    codec.dumpItems(isCmd);
    return 0;
}
