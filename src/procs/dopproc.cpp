#include "dopproc.h"

#include "app/programobjects.h"
#include "app/windowplacement.h"
#include "datakkmwin.h"
#include "procedurehost.h"
#include "procedurelink.h"
#include "sendhex.h"
#include "tables.h"
#include "testfp.h"

#include <QCoreApplication>
#include <QDebug>

#include <algorithm>

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

DopProc::DopProc(ProgramObjects& objects, ProcedureLink& link, Tables& tables, SendHex& sendHex,
                 QObject* parent)
    : QObject(parent), m_objects(objects), m_link(link), m_tables(tables), m_sendHex(sendHex)
{
}

DopProc::~DopProc()
{
    delete m_dataWindow.data();
}

DataKkmWin* DopProc::dataWindow() const
{
    return m_dataWindow.data();
}

std::vector<FlagRow> DopProc::flagProc(quint8 code, const QByteArray& ident) const
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

DopProc::Flags DopProc::replyBytes(int index, int size) const
{
    const ItemTable& items = m_objects.codec.replyItems();
    // Bytes a reply did not hold have no state: their rows stay empty. Before any reply the
    // rows show their texts for 0.
    if (index >= items.count)
        return {QByteArray(size, '\0'), true};
    if (items[index].beyondReply)
        return {QByteArray(size, '\0'), false};
    return {QByteArray(reinterpret_cast<const char*>(items[index].value.data()), size), true};
}

std::vector<FlagRow> DopProc::registrarPanel(const Flags& flags)
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

std::vector<FlagRow> DopProc::dopProc10() const
{
    qDebug() << "dopProc10";
    return registrarPanel(replyBytes(ShortStatusFlags, 2));
}

std::vector<FlagRow> DopProc::dopProc11FR() const
{
    qDebug() << "dopProc11FR";
    return registrarPanel(replyBytes(FullStatusFlags, 2));
}

std::vector<FlagRow> DopProc::dopProc11FP() const
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

void DopProc::cmdDopProc(int proc)
{
    qDebug() << "cmdDopProc" << proc;
    const int base = m_objects.catalogue.tableProcBase();
    switch (proc) {
    case DateTime:
        m_tables.datTimProc();
        return;
    case HexCommand:
        m_sendHex.open();
        return;
    case DeviceData:
        openDataWindow();
        return;
    case TestScript:
        runTestScript();
        return;
    default:
        break;
    }
    if (m_objects.tableCount >= 1 && base >= 0 && proc > base) {
        qDebug() << "cmdDopProc" << proc << base << proc - base;
        m_tables.openTable(proc - base);
        return;
    }
    m_objects.procedureRunning = false;
}

void DopProc::runTestScript()
{
    {
        TestFp runner(m_objects.catalogue, m_objects.codec, m_link);
        runner.execTestFp(&m_objects.testScript);
    }
    m_objects.procedureRunning = false;
}

void DopProc::openDataWindow()
{
    qDebug() << "Data of KKM" << int(DeviceData);
    // One window at a time: a second opening brings the open one forward.
    if (!m_dataWindow)
        m_dataWindow = new DataKkmWin(m_link, m_objects.symbols, m_objects.appDirText);
    qDebug() << "Data of KKM1";
    m_link.host().showOverlay();
    placeOverMainWindow(m_dataWindow);
    m_dataWindow->show();
    m_dataWindow->raise();
    qDebug() << "Data of KKM2";
    m_objects.procedureRunning = false;
}
