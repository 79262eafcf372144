#include "dopproc.h"

#include "app/programobjects.h"
#include "app/windowplacement.h"
#include "datakkmwin.h"
#include "procedurehost.h"
#include "procedurelink.h"
#include "sendhex.h"
#include "tables.h"
#include "testfp.h"
#include "touch/virtkeyboard.h"

#include <QCoreApplication>
#include <QDebug>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

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

void DopProc::flagProc(quint8 code, const QByteArray& ident, QWidget* parent, QVBoxLayout* layout)
{
    qDebug() << "flagProc" << ident << code;
    m_parent = parent;
    m_layout = layout;
    if (!m_parent || !m_layout)
        return;
    if (code == ShortStatus) {
        dopProc10();
    } else if (code == FullStatus) {
        const QByteArray upper = ident.toUpper();
        if (upper == "FLAGFR")
            dopProc11FR();
        else if (upper == "FLAGFP")
            dopProc11FP();
    }
}

QByteArray DopProc::replyBytes(int index, int size)
{
    const ItemTable& items = m_objects.codec.replyItems();
    // Bytes a reply did not hold have no state: their rows stay empty. Before any reply the
    // rows show their texts for 0.
    m_flagsKnown = index >= items.count || !items[index].beyondReply;
    if (index >= items.count || !m_flagsKnown)
        return QByteArray(size, '\0');
    return QByteArray(reinterpret_cast<const char*>(items[index].value.data()), size);
}

void DopProc::measure()
{
    m_pointSize = m_parent->font().pointSize();
    m_step = m_pointSize + 1;
    m_parentWidth = m_parent->geometry().width();
}

void DopProc::addRow(const char* name, bool bit, const char* textFor0, const char* textFor1)
{
    m_rowLabel = new QLabel(QStringLiteral("      ") + trFlag(name), m_parent);
    m_rowValue = new QLineEdit(m_parent);
    VirtKeyboard::bond(m_rowValue);
    m_rowValue->setReadOnly(true);
    m_rowLabel->setFixedWidth(std::max(0, m_parentWidth - (m_valueWidth + 1) * m_step - 5));
    m_rowLabel->setToolTip(trFlag(name));
    if (m_flagsKnown)
        m_rowValue->setText(trFlag(bit ? textFor1 : textFor0));
    m_rowLayout = new QHBoxLayout;
    m_rowLayout->addWidget(m_rowLabel);
    m_rowLayout->addWidget(m_rowValue);
    m_layout->addLayout(m_rowLayout);
}

void DopProc::registrarPanel(const QByteArray& flags)
{
    m_valueWidth = 10;
    measure();
    const unsigned word = quint8(flags.at(0)) | unsigned(quint8(flags.at(1))) << 8;
    const auto bit = [word](int n) { return (word >> n & 1u) != 0; };
    addRow("Рулон контрольной ленты", bit(0), "Нет", "Есть");
    addRow("Рулон чековой ленты", bit(1), "Нет", "Есть");
    addRow("Верхний датчик подкладного документа", bit(2), "Нет", "Да");
    addRow("Нижний датчик подкладного документа", bit(3), "Нет", "Да");
    addRow("Положение десятичной точки", bit(4), "0 знаков", "2 знака");
    addRow("ЭКЛЗ", bit(5), "Нет", "Есть");
    addRow("Оптический датчик контрольной ленты", bit(6), "Нет", "Есть");
    addRow("Оптический датчик чековой ленты", bit(7), "Нет", "Есть");
    addRow("Рычаг термоголовки контрольной ленты", bit(8), "Поднят", "Опущен");
    addRow("Рычаг термоголовки чековой ленты", bit(9), "Поднят", "Опущен");
    addRow("Крышка корпуса ФР", bit(10), "Опущена", "Поднята");
    addRow("Денежный ящик", bit(11), "Закрыт", "Открыт");
    // With the control tape unit present, bit 15 reads the other way round.
    if (bit(5)) {
        addRow("ЭКЛЗ почти заполнена", bit(14), "Нет", "Да");
        addRow("Точность количества", bit(15), "Увеличенная", "Нормальная");
    } else {
        addRow("Точность количества", bit(15), "Нормальная", "Увеличенная");
    }
}

void DopProc::dopProc10()
{
    const QByteArray flags = replyBytes(ShortStatusFlags, 2);
    qDebug() << "dopProc10" << flags.left(1).toHex() << flags.mid(1, 1).toHex();
    qDebug() << "dopProc10-1";
    registrarPanel(flags);
    qDebug() << "dopProc10-2";
}

void DopProc::dopProc11FR()
{
    qDebug() << "dopProc11FR";
    registrarPanel(replyBytes(FullStatusFlags, 2));
}

void DopProc::dopProc11FP()
{
    qDebug() << "dopProc11FP";
    m_valueWidth = 10;
    measure();
    const unsigned flags = quint8(replyBytes(FullStatusMemoryFlags, 1).at(0));
    const auto bit = [flags](int n) { return (flags >> n & 1u) != 0; };
    addRow("ФП 1", bit(0), "Нет", "Есть");
    addRow("ФП 2", bit(1), "Нет", "Есть");
    addRow("Переполнение ФП", bit(3), "Нет", "Есть");
    addRow("Батарея ФП", bit(4), ">80%", "<80%");
    addRow("Последняя запись ФП", bit(5), "Испорчена", "Корректна");
    addRow("Смена в ФП", bit(6), "Закрыта", "Открыта");
    addRow("24 часа в ФП", bit(7), "Не кончились", "Кончились");
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
