#include "framedecoding.h"

#include "catalogue/catalogue.h"
#include "catalogue/errortexts.h"
#include "razbcmd.h"

namespace {

std::vector<FrameDecoding::Item> shownItems(const RazbCmd& codec, const ItemTable& items)
{
    std::vector<FrameDecoding::Item> shown;
    for (int i = 0; i < items.count; ++i)
        if (RazbCmd::shownInForm(items[i]))
            shown.push_back({RazbCmd::trName(items[i].view), codec.replyText(items[i])});
    return shown;
}

} // namespace

FrameDecoding::FrameDecoding(Catalogue& catalogue, RazbCmd& codec, const ErrorTexts& errors)
    : m_catalogue(catalogue), m_codec(codec), m_errors(errors)
{
}

bool FrameDecoding::select(quint8 code, Decoded* decoded)
{
    decoded->code = code;
    const int index = m_catalogue.findByCode(code);
    if (index < 0)
        return false;
    m_catalogue.setCurrentCommand(index);
    // Parsed afresh for every frame: splitting sets the size of variable items.
    if (!m_codec.parseCommand())
        return false;
    decoded->known = true;
    decoded->name = RazbCmd::trName(m_catalogue.command(index).name);
    return true;
}

FrameDecoding::Decoded FrameDecoding::command(const QByteArray& payload)
{
    Decoded decoded;
    if (payload.isEmpty() || !select(quint8(payload.at(0)), &decoded))
        return decoded;
    m_codec.decodeCommand(payload);
    decoded.items = shownItems(m_codec, m_codec.commandItems());
    return decoded;
}

FrameDecoding::Decoded FrameDecoding::reply(const QByteArray& payload)
{
    Decoded decoded;
    if (!payload.isEmpty() && select(quint8(payload.at(0)), &decoded))
        readReply(payload, &decoded);
    return decoded;
}

void FrameDecoding::readReply(const QByteArray& payload, Decoded* decoded)
{
    if (payload.size() < 2)
        return;
    decoded->error = quint8(payload.at(1));
    if (decoded->error != 0) {
        decoded->errorText = RazbCmd::tr("Ошибка") + m_errors.devErrorText(decoded->error);
        return;
    }
    m_codec.splitReply(payload);
    m_codec.ceConvParmRpl();
    decoded->items = shownItems(m_codec, m_codec.replyItems());
}
