// A reply to a shipped command: the first byte picks the command, the rest is the reply,
// split over its reply items and decoded twice (variable sizes stay from the first).
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    auto& shipped = shippedCodec();
    shipped.catalogue.setCurrentCommand(data[0] % shipped.catalogue.commandCount());
    if (!shipped.codec.parseCommand())
        return 0;
    const QByteArray reply(reinterpret_cast<const char*>(data + 1), int(size - 1));
    for (const QByteArray& part : {reply, reply.left(reply.size() / 2)}) {
        shipped.codec.splitReply(part);
        shipped.codec.ceConvParmRpl();
        const ItemTable& items = shipped.codec.replyItems();
        for (int i = 0; i < items.count; ++i)
            shipped.codec.replyText(items[i]);
    }
    return 0;
}
