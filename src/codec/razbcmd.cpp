#include "razbcmd.h"

#include "base/cp1251.h"
#include "base/linereader.h"
#include "base/valueconversion.h"
#include "catalogue/catalogue.h"
#include "catalogue/symboltables.h"

#include <QDebug>
#include <QStringBuilder>

#include <algorithm>
#include <cstring>

namespace {

bool startsWithDigit(const QByteArray& text)
{
    return !text.isEmpty() && text.at(0) >= '0' && text.at(0) <= '9';
}

} // namespace

const QByteArray RazbCmd::CmdIdent("CMD");
const QByteArray RazbCmd::PrlsaIdent("PRLSA");

RazbCmd::RazbCmd(Catalogue* catalogue, SymbolTables* tables)
    : m_catalogue(catalogue), m_tables(tables)
{
}

bool RazbCmd::parseCommand()
{
    const int current = m_catalogue->currentCommand();
    if (current < 0 || current >= m_catalogue->commandCount())
        return false;
    const CommandRecord& record = m_catalogue->command(current);
    if (record.filePos < 0) {
        m_catalogue->setCommandProc(current, m_catalogue->tableProcBase() + int(-record.filePos));
        return true;
    }
    QFile* file = m_catalogue->commandFile();
    if (!file || !file->open(QIODevice::ReadOnly))
        return false;
    LineReader reader(file);
    reader.seek(record.filePos);
    bool good = true;
    while (good && !reader.atEnd()) {
        const QString line = reader.readLine();
        const QString head = line.left(10).toUpper();
        if (head.startsWith(QLatin1String("[COMMAND]")) ||
            head.startsWith(QLatin1String("[GROUP]")))
            break;
        if (head.startsWith(QLatin1String("CMD=")))
            good = parseLine(line.mid(4).toUtf8(), true);
        else if (head.startsWith(QLatin1String("RPL=")))
            good = parseLine(line.mid(4).toUtf8(), false);
    }
    file->close();
    return good;
}

bool RazbCmd::parseLine(const QByteArray& text, bool isCmd)
{
    const QByteArray line = text.trimmed();
    m_isCmd = isCmd;
    m_offset = 0;
    m_itemIndex = 0;
    ItemTable& table = currentTable();
    int pos = 0;
    for (;;) {
        if (m_itemIndex >= ItemTable::Capacity) {
            qWarning() << "Too many items in the line:" << line.left(80);
            return false;
        }
        const int comma = int(line.indexOf(',', pos));
        const int end = comma < 0 ? int(line.size()) : comma;
        m_item = &table[m_itemIndex];
        m_lexer = ItemLexer(line.mid(pos, end - pos), 0);
        if (!convCmdItem())
            return false;
        if (m_itemIndex == 0) {
            m_item->ident = RazbCmd::CmdIdent;
            const QString view = m_tables->viewOf(RazbCmd::CmdIdent);
            m_item->view = view.isNull() ? QString::fromLatin1(RazbCmd::CmdIdent) : view;
            m_item->ned = true;
        }
        if (isCmd && m_itemIndex == 1 && !m_item->dflt) {
            const QByteArray& ident = m_item->ident;
            if (ident == "prlop" || ident == "prlsa" || ident == "prlasa") {
                m_item->dflt = true;
                m_item->dftval = m_passwordText;
            } else if (ident == "prl0") {
                m_item->dflt = true;
                m_item->dftval = "0";
            }
        }
        ++m_itemIndex;
        if (comma < 0)
            break;
        pos = comma + 1;
    }
    table.count = m_itemIndex;
    return true;
}

bool RazbCmd::convCmdItem()
{
    const QByteArray& text = m_lexer.text();
    qDebug() << "convCmdItem" << text;
    m_item->dftval.clear();
    m_item->beyondReply = false;
    const char type = m_lexer.current();
    if (type >= '0' && type <= '9')
        return constItem();
    m_lexer.advance();
    switch (type) {
    case '#':
        return numbItem();
    case '$':
    case '?':
        return hexsItem();
    case '*':
        return charItem();
    case '/':
    case ':':
        return dateItem(type);
    case '@':
        return enumItem();
    case '^':
        return tmtItem();
    default:
        return false;
    }
}

bool RazbCmd::setItem(char type, bool dflt, bool ned, int len, int dp, const QByteArray& ident)
{
    CmdItem& item = *m_item;
    item.type = type;
    item.dflt = dflt;
    item.ned = ned;
    item.len = len;
    item.dp = dp;
    item.ident = ident;
    item.rel = m_offset;
    m_offset += len;
    item.pref.clear();
    item.value[0] = 0;
    const QString view = m_tables->viewOf(ident);
    item.view = view.isNull() ? QString::fromLatin1(ident) : view;
    if (item.view.toUtf8().size() > MaxViewBytes) {
        qWarning() << "Display name too long for item" << ident;
        return false;
    }
    return true;
}

bool RazbCmd::readHead(ItemHead* head)
{
    return m_lexer.getSizeDp(1, &head->size, &head->dp) &&
           m_lexer.getIdentDfltOfItem(&head->ident, &head->dflt, &head->written);
}

bool RazbCmd::constItem()
{
    quint64 number = 0;
    if (!parseUnsigned(m_lexer.text(), 0, &number))
        return false;
    if (!setItem('0', true, true, 1, -1, QByteArray()))
        return false;
    m_item->value[0] = quint8(number);
    m_item->dftval = m_lexer.text();
    return true;
}

bool RazbCmd::numbItem()
{
    qDebug() << "numbItem";
    ItemHead head;
    if (!readHead(&head))
        return false;
    auto& [size, dp, ident, dflt, written] = head;
    if (!written) {
        qDebug() << "numbItem1" << size << dp << ident;
        return setItem('#', false, false, size, dp, ident);
    }
    if (!startsWithDigit(dflt)) {
        const SymbolEntry* entry = nullptr;
        const int def = m_tables->findDefault(dflt);
        if (def >= 0) {
            entry = &m_tables->defaults()[size_t(def)];
        } else {
            const int symbol = m_tables->findSymbol(dflt);
            if (symbol >= 0)
                entry = &m_tables->symbols()[size_t(symbol)];
        }
        if (entry) {
            QByteArray bytes = entry->value.leftJustified(8, '\0');
            dflt = numbFromParam(entry->length(), dp,
                                 reinterpret_cast<const quint8*>(bytes.constData()));
        }
        qDebug() << "numbItem3" << ident << dflt;
    }
    qDebug() << "numbItem2" << size << dp << ident << dflt;
    if (!setItem('#', true, false, size, dp, ident))
        return false;
    m_item->dftval = dflt;
    return numbTo(dflt, size, dp, m_item->value.data());
}

bool RazbCmd::hexsItem()
{
    const char type = m_lexer.text().at(0);
    qDebug() << "hexsItem" << type;
    ItemHead head;
    if (!readHead(&head) || head.dp >= 0)
        return false;
    const auto& [size, dp, ident, dflt, written] = head;
    qDebug() << "hexsItem ident dflt" << ident << dflt;
    // A default is taken only when every character is a hex digit and they pair up.
    const bool taken = written && QByteArray::fromHex(dflt).size() * 2 == dflt.size();
    qDebug() << "hexsItem sizes" << size << dflt.size();
    if (!setItem(type, taken, false, size, -1, ident))
        return false;
    m_item->dftval = dflt;
    qDebug() << "hexsItem value" << taken;
    return true;
}

bool RazbCmd::charItem()
{
    ItemHead head;
    if (!readHead(&head) || head.dp >= 0 || head.written)
        return false;
    return setItem('*', false, false, head.size, -1, head.ident);
}

bool RazbCmd::dateItem(char type)
{
    QByteArray ident;
    QByteArray dflt;
    bool written = false;
    if (!m_lexer.getIdentDfltOfItem(&ident, &dflt, &written) || written)
        return false;
    return setItem(type, false, false, 3, -1, ident);
}

bool RazbCmd::enumItem()
{
    int size = 0;
    int dp = -1;
    QByteArray ident;
    QByteArray pref;
    if (!m_lexer.getSizeDp(1, &size, &dp) || dp >= 0 || !m_lexer.getIdentPref(&ident, &pref))
        return false;
    if (!setItem('@', false, false, size, -1, ident))
        return false;
    m_item->pref = pref;
    return true;
}

bool RazbCmd::tmtItem()
{
    qDebug() << "RazbCmd::tmtItem";
    ItemHead head;
    if (!readHead(&head))
        return false;
    auto& [size, dp, ident, dflt, written] = head;
    if (!written) {
        qDebug() << "RazbCmd::tmtItem1" << ident;
        return setItem('^', false, false, size, dp, ident);
    }
    qDebug() << "RazbCmd::tmtItem2" << ident << dflt;
    quint8 byte = 0;
    if (!tmtToParamValue(dflt, &byte) || !setItem('^', true, false, size, dp, ident))
        return false;
    m_item->dftval = dflt;
    m_item->value[0] = byte;
    return true;
}

void RazbCmd::dumpItems(bool isCmd) const
{
    // The lines are built as strings and handed over whole: streamed piece by piece into the
    // debug stream they took a fourteenth of the GUI thread's work in a status request. Each
    // is put together in one allocation (`%`), not one per piece.
    const ItemTable& table = isCmd ? m_cmdItems : m_rplItems;
    const auto flag = [](bool on) { return QLatin1String(on ? "true" : "false"); };
    qDebug().noquote() << (isCmd ? QLatin1String("Command line ") : QLatin1String("Reply line ")) +
                              QString::number(table.count);
    qDebug() << "-----------------------------";
    for (int i = 0; i < table.count; ++i) {
        const CmdItem& item = table[i];
        const QByteArray value(reinterpret_cast<const char*>(item.value.data()), 8);
        qDebug().noquote() << QLatin1String("  param ") + QString::number(i);
        qDebug().noquote() << QLatin1String("    type=") % QLatin1Char(item.type) %
                                  QLatin1String(" dflt=") % flag(item.dflt) %
                                  QLatin1String(" ned=") % flag(item.ned) % QLatin1String(" rel=") %
                                  QString::number(item.rel) % QLatin1String(" len=") %
                                  QString::number(item.len) % QLatin1String(" dp=") %
                                  QString::number(item.dp) % QLatin1String(" ident=") %
                                  QString::fromUtf8(item.ident) % QLatin1String(" pref=") %
                                  QString::fromUtf8(item.pref) % QLatin1String(" view=\"") %
                                  item.view % QLatin1String("\" value=\"") %
                                  QString::fromLatin1(value.toHex()) %
                                  QLatin1String("\" dftval=\"") % QString::fromUtf8(item.dftval) %
                                  QLatin1Char('"');
    }
}

void RazbCmd::setEnumChoice(int index, int ordinal)
{
    CmdItem& item = m_cmdItems[index];
    const QByteArray bytes = m_tables->enumValue(item.pref, ordinal, item.len);
    std::fill_n(item.value.begin(), item.len, quint8(0));
    std::memcpy(item.value.data(), bytes.constData(),
                size_t(std::min<qsizetype>(bytes.size(), item.len)));
}

bool RazbCmd::convertCommandItem(CmdItem& item)
{
    switch (item.type) {
    case '#':
    case '0':
        return numbTo(item.dftval, item.len, item.dp, item.value.data());
    case '$':
    case '?': {
        qDebug() << "ceConvParmCmd $:" << item.len << item.dftval;
        QByteArray bytes;
        if (!hexTextToBytes(item.dftval, &bytes))
            return false;
        if (item.len == 0) {
            if (bytes.size() > CmdItem::ValueSize)
                return false;
            item.len = int(bytes.size());
        }
        qDebug() << "ceConvParmCmd $ len" << item.len;
        if (bytes.size() < item.len)
            return false;
        qDebug() << "ceConvParmCmd ba:" << bytes.left(item.len).toHex();
        std::memcpy(item.value.data(), bytes.constData(), size_t(item.len));
        return true;
    }
    case '*': {
        item.dftval.truncate(item.len);
        std::fill_n(item.value.begin(), item.len, quint8(0));
        std::memcpy(item.value.data(), item.dftval.constData(), size_t(item.dftval.size()));
        return true;
    }
    case '/':
        return dateFromText(item.dftval, item.value.data());
    case ':':
        return timeFromText(item.dftval, item.value.data());
    case '^':
        return tmtToParamValue(item.dftval, item.value.data());
    default: // '@': set from the chosen family member
        return true;
    }
}

bool RazbCmd::ceConvParmCmd(int* errIndex)
{
    qDebug() << "ceConvParmCmd";
    for (int i = 0; i < m_cmdItems.count; ++i) {
        *errIndex = i;
        if (!convertCommandItem(m_cmdItems[i]))
            return false;
    }
    return true;
}

QByteArray RazbCmd::commandArray() const
{
    QByteArray bytes;
    for (int i = 0; i < m_cmdItems.count; ++i) {
        const CmdItem& item = m_cmdItems[i];
        bytes.append(reinterpret_cast<const char*>(item.value.data()), item.len);
    }
    return bytes;
}

void RazbCmd::splitReply(const QByteArray& reply)
{
    splitItems(m_rplItems, reply);
}

void RazbCmd::ceConvParmRpl()
{
    qDebug() << "ceConvParmRpl";
    convertItems(m_rplItems);
}

void RazbCmd::decodeCommand(const QByteArray& command)
{
    splitItems(m_cmdItems, command);
    convertItems(m_cmdItems);
}

void RazbCmd::splitItems(ItemTable& items, const QByteArray& bytes)
{
    const int size = int(bytes.size());
    for (int i = 0; i < items.count; ++i) {
        CmdItem& item = items[i];
        if (item.len == 0 && item.rel <= size)
            item.len = std::min(size - item.rel, int(CmdItem::ValueSize));
        std::fill_n(item.value.begin(), 8, quint8(0));
        // An item without bytes in this reply shows nothing rather than a made-up value.
        item.beyondReply = item.len == 0 || item.rel + item.len > size;
        if (!item.beyondReply)
            std::memcpy(item.value.data(), bytes.constData() + item.rel, size_t(item.len));
    }
}

void RazbCmd::convertItems(ItemTable& items)
{
    for (int i = 0; i < items.count; ++i) {
        CmdItem& item = items[i];
        qDebug() << "ceConvParmRpl cmditem" << item.ident;
        const QByteArray bytes(reinterpret_cast<const char*>(item.value.data()), item.len);
        if (item.beyondReply) {
            item.dftval.clear();
            continue;
        }
        switch (item.type) {
        case '#':
        case '0':
            item.dftval = numbFromParam(item.len, item.dp, item.value.data());
            break;
        case '$':
        case '?':
            qDebug() << "ceConvParmRpl $";
            qDebug() << "ceConvParmRpl ba" << bytes.toHex();
            item.dftval = hexSpaced(bytes);
            qDebug() << "ceConvParmRpl dftval" << item.dftval << item.len;
            break;
        case '*': {
            const int zero = int(bytes.indexOf('\0'));
            item.dftval = zero < 0 ? bytes : bytes.left(zero);
            break;
        }
        case '/':
            item.dftval = dateToText(item.value.data());
            break;
        case ':':
            item.dftval = timeToText(item.value.data());
            break;
        case '^':
            item.dftval = tmtFromParamValue(item.value.data(), item.len);
            break;
        default: // '@': its display name is looked up when shown
            break;
        }
    }
}

QString RazbCmd::replyText(const CmdItem& item) const
{
    if (item.beyondReply)
        return QString();
    if (item.type == '@') {
        const QByteArray bytes(reinterpret_cast<const char*>(item.value.data()), item.len);
        const int ordinal = m_tables->enumIndex(item.pref, bytes);
        return ordinal < 0 ? QString() : m_tables->enumNames(item.pref).value(ordinal);
    }
    return Cp1251::decode(item.dftval);
}

void RazbCmd::setPassword(quint32 password, int passwordIndex)
{
    m_passwordText = QByteArray::number(password);
    if (passwordIndex < 0 || !m_tables)
        return;
    QByteArray bytes = m_tables->defaults()[size_t(passwordIndex)].value;
    for (int i = 0; i < std::min<int>(4, int(bytes.size())); ++i)
        bytes[i] = char((password >> (8 * i)) & 0xFF);
    m_tables->setDefaultValue(passwordIndex, bytes);
}
