#include "commanddescription.h"

#include "base/cp1251.h"
#include "catalogue/symboltables.h"
#include "codec/razbcmd.h"

#include <QJsonArray>

namespace {

QString kindOf(char type)
{
    switch (type) {
    case '#':
        return QStringLiteral("число");
    case '$':
        return QStringLiteral("байты в HEX");
    case '?':
        return QStringLiteral("флаги в HEX");
    case '*':
        return QStringLiteral("текст");
    case '@':
        return QStringLiteral("выбор");
    case '/':
        return QStringLiteral("дата ДД/ММ/ГГ");
    case ':':
        return QStringLiteral("время ЧЧ:ММ:СС");
    case '^':
        return QStringLiteral("тайм-аут в мс");
    default:
        return QStringLiteral("постоянный байт");
    }
}

// "1 байт", "2 байта", "5 байт", "21 байт".
QString bytesText(int count)
{
    const int lastTwo = count % 100;
    const int last = count % 10;
    const bool few = last >= 2 && last <= 4 && (lastTwo < 12 || lastTwo > 14);
    return QStringLiteral("%1 %2").arg(count).arg(few ? QStringLiteral("байта")
                                                       : QStringLiteral("байт"));
}

} // namespace

CommandDescription::CommandDescription(const QString& code, const QString& name,
                                       const QString& group, const RazbCmd& codec,
                                       const SymbolTables& tables)
    : m_code(code), m_name(name), m_group(group)
{
    // The values of a run line are every command item after the code, in order; the
    // reply's rows are those the form shows.
    const ItemTable& command = codec.commandItems();
    for (int i = 0; i < command.count; ++i)
        if (command[i].ident != RazbCmd::CmdIdent)
            m_values.push_back(describe(command[i], tables));
    const ItemTable& reply = codec.replyItems();
    for (int i = 0; i < reply.count; ++i)
        if (RazbCmd::shownInForm(reply[i]))
            m_reply.push_back(describe(reply[i], tables));
}

CommandDescription::Item CommandDescription::describe(const CmdItem& item,
                                                      const SymbolTables& tables)
{
    Item described;
    described.ident = QString::fromLatin1(item.ident);
    described.name = RazbCmd::trName(item.view);
    described.kind = kindOf(item.type);
    described.size = item.len;
    described.decimals = item.type == '#' ? item.dp : -1;
    described.hasDefault = item.dflt;
    if (item.dflt)
        described.defaultText = item.type == '*' ? Cp1251::decode(item.dftval)
                                                 : QString::fromLatin1(item.dftval);
    if (item.type == '@') {
        const QStringList names = tables.enumNames(item.pref);
        for (int n = 0; n < names.size(); ++n) {
            // A run line gives the member's value as a number, least significant byte first.
            const QByteArray bytes = tables.enumValue(item.pref, n, std::min(item.len, 8));
            quint64 value = 0;
            for (int b = int(bytes.size()) - 1; b >= 0; --b)
                value = value << 8 | quint8(bytes.at(b));
            described.choices.push_back({value, names.at(n)});
        }
    }
    return described;
}

QString CommandDescription::itemLine(const Item& item)
{
    QString line = item.name + QStringLiteral(" (") + item.ident + QStringLiteral("): ") +
                   item.kind + QStringLiteral(", ") +
                   (item.size ? bytesText(item.size) : QStringLiteral("длина переменная"));
    if (item.decimals > 0)
        line += QStringLiteral(", знаков после точки: %1").arg(item.decimals);
    if (item.hasDefault)
        line += QStringLiteral("; по умолчанию ") + item.defaultText;
    if (!item.choices.empty()) {
        QStringList choices;
        for (const Choice& choice : item.choices)
            choices << QStringLiteral("%1 = %2").arg(choice.value).arg(choice.name);
        line += QStringLiteral("; значения: ") + choices.join(QStringLiteral(", "));
    }
    return line;
}

QString CommandDescription::text() const
{
    QStringList lines{m_code + QLatin1Char(' ') + m_name + QStringLiteral(", группа «") +
                      m_group + QStringLiteral("»")};
    if (m_values.empty()) {
        lines << QStringLiteral("Значений нет: velkor-cli run %1").arg(m_code);
    } else {
        lines << QStringLiteral("Значения после кода, по порядку (velkor-cli run %1 ЗНАЧЕНИЕ...; "
                                "недостающие берутся по умолчанию):")
                     .arg(m_code);
        for (size_t i = 0; i < m_values.size(); ++i)
            lines << QStringLiteral("%1. ").arg(i + 1, 3) + itemLine(m_values[i]);
    }
    lines << (m_reply.empty() ? QStringLiteral("Ответ: только код команды.")
                              : QStringLiteral("Ответ:"));
    for (const Item& item : m_reply)
        lines << QStringLiteral("     ") + itemLine(item);
    return lines.join(QLatin1Char('\n'));
}

QJsonObject CommandDescription::itemObject(const Item& item)
{
    QJsonObject object{{QStringLiteral("ident"), item.ident},
                       {QStringLiteral("name"), item.name},
                       {QStringLiteral("kind"), item.kind},
                       {QStringLiteral("size"), item.size}};
    if (item.decimals > 0)
        object.insert(QStringLiteral("decimals"), item.decimals);
    if (item.hasDefault)
        object.insert(QStringLiteral("default"), item.defaultText);
    if (!item.choices.empty()) {
        QJsonArray choices;
        for (const Choice& choice : item.choices)
            choices.append(QJsonObject{{QStringLiteral("value"), qint64(choice.value)},
                                       {QStringLiteral("name"), choice.name}});
        object.insert(QStringLiteral("values"), choices);
    }
    return object;
}

QJsonObject CommandDescription::json() const
{
    QJsonArray values;
    for (const Item& item : m_values)
        values.append(itemObject(item));
    QJsonArray reply;
    for (const Item& item : m_reply)
        reply.append(itemObject(item));
    return {{QStringLiteral("code"), m_code},       {QStringLiteral("name"), m_name},
            {QStringLiteral("group"), m_group},     {QStringLiteral("values"), values},
            {QStringLiteral("reply"), reply}};
}
