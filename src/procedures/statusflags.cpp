#include "statusflags.h"

#include "codec/razbcmd.h"

#include <QCoreApplication>
#include <QDebug>

namespace {

constexpr quint8 ShortStatus = 0x10;
constexpr quint8 FullStatus = 0x11;
// Positions of the flags items in the RPL lines of 10h and 11h.
constexpr int ShortStatusFlags = 3;
constexpr int FullStatusFlags = 8;
constexpr int FullStatusMemoryFlags = 17;

QString trFlag(const char* text)
{
    return QCoreApplication::translate("QObject", text);
}

// The rows that spell out the bits of a flags value; their states stay empty when the reply
// did not hold the value.
struct FlagPanel
{
    unsigned bits;
    bool known;
    std::vector<FlagRow> rows;

    FlagPanel(unsigned value, bool valueKnown) : bits(value), known(valueKnown) {}
    bool bit(int n) const { return (bits >> n & 1u) != 0; }
    FlagPanel& add(const char* name, int n, const char* textFor0, const char* textFor1)
    {
        rows.push_back({trFlag(name), known ? trFlag(bit(n) ? textFor1 : textFor0) : QString()});
        return *this;
    }
};

} // namespace

std::vector<FlagRow> StatusFlags::flagProc(quint8 code, const QByteArray& ident) const
{
    qDebug() << "flagProc" << ident << code;
    if (code == ShortStatus)
        return dopProc10();
    if (code == FullStatus) {
        const QByteArray upper = ident.toUpper();
        if (upper == "FLAGFR")
            return dopProc11FR();
        if (upper == "FLAGFP")
            return dopProc11FP();
    }
    return {};
}

StatusFlags::Flags StatusFlags::replyBytes(int index, int size) const
{
    const ItemTable& items = m_codec.replyItems();
    // Bytes a reply did not hold have no state: their rows stay empty. Before any reply the
    // rows show their texts for 0.
    if (index >= items.count)
        return {QByteArray(size, '\0'), true};
    if (items[index].beyondReply)
        return {QByteArray(size, '\0'), false};
    return {QByteArray(reinterpret_cast<const char*>(items[index].value.data()), size), true};
}

std::vector<FlagRow> StatusFlags::registrarPanel(const Flags& flags)
{
    FlagPanel panel(quint8(flags.bytes.at(0)) | unsigned(quint8(flags.bytes.at(1))) << 8,
                    flags.known);
    panel.add("Рулон контрольной ленты", 0, "Нет", "Есть")
        .add("Рулон чековой ленты", 1, "Нет", "Есть")
        .add("Верхний датчик подкладного документа", 2, "Нет", "Да")
        .add("Нижний датчик подкладного документа", 3, "Нет", "Да")
        .add("Положение десятичной точки", 4, "0 знаков", "2 знака")
        .add("ЭКЛЗ", 5, "Нет", "Есть")
        .add("Оптический датчик контрольной ленты", 6, "Нет", "Есть")
        .add("Оптический датчик чековой ленты", 7, "Нет", "Есть")
        .add("Рычаг термоголовки контрольной ленты", 8, "Поднят", "Опущен")
        .add("Рычаг термоголовки чековой ленты", 9, "Поднят", "Опущен")
        .add("Крышка корпуса ФР", 10, "Опущена", "Поднята")
        .add("Денежный ящик", 11, "Закрыт", "Открыт");
    // With the control tape unit present, bit 15 reads the other way round.
    if (panel.bit(5))
        panel.add("ЭКЛЗ почти заполнена", 14, "Нет", "Да")
            .add("Точность количества", 15, "Увеличенная", "Нормальная");
    else
        panel.add("Точность количества", 15, "Нормальная", "Увеличенная");
    return panel.rows;
}

std::vector<FlagRow> StatusFlags::dopProc10() const
{
    qDebug() << "dopProc10";
    return registrarPanel(replyBytes(ShortStatusFlags, 2));
}

std::vector<FlagRow> StatusFlags::dopProc11FR() const
{
    qDebug() << "dopProc11FR";
    return registrarPanel(replyBytes(FullStatusFlags, 2));
}

std::vector<FlagRow> StatusFlags::dopProc11FP() const
{
    qDebug() << "dopProc11FP";
    const Flags flags = replyBytes(FullStatusMemoryFlags, 1);
    return FlagPanel(quint8(flags.bytes.at(0)), flags.known)
        .add("ФП 1", 0, "Нет", "Есть")
        .add("ФП 2", 1, "Нет", "Есть")
        .add("Переполнение ФП", 3, "Нет", "Есть")
        .add("Батарея ФП", 4, ">80%", "<80%")
        .add("Последняя запись ФП", 5, "Испорчена", "Корректна")
        .add("Смена в ФП", 6, "Закрыта", "Открыта")
        .add("24 часа в ФП", 7, "Не кончились", "Кончились")
        .rows;
}
