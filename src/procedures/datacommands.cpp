#include "datacommands.h"

#include "catalogue/errortexts.h"
#include "procedurehost.h"
#include "procedurelink.h"

#include <QCoreApplication>
#include <QDebug>

namespace {

QString trData(const char* text)
{
    return QCoreApplication::translate("DataKkmWin", text);
}

quint64 littleEndian(const QByteArray& bytes, int from, int size)
{
    quint64 value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | quint8(bytes.at(from + i));
    return value;
}

} // namespace

DataCommands::Result DataCommands::sendCmdPsa(quint8 code, const QByteArray& data, int replyBytes)
{
    qDebug() << "sendCmdPsa";
    ProcedureHost& host = m_link.host();
    if (!host.connected())
        return {false, {}, trData("Ошибка: Нет связи")};
    QByteArray command = ProcedureLink::withPassword(code, host.password());
    command.append(data);
    qDebug() << "sendCmdPsa" << command.toHex();
    const FrVelkor::Reply reply = m_link.exchange(command);
    // A reply without the bytes this command reads is as good as no reply.
    if (reply.code != FrVelkor::Ok || reply.data.size() < 2)
        return {false, reply.data, trData("Ошибка при обмене")};
    const int error = quint8(reply.data.at(1));
    if (error != 0)
        return {false, reply.data, trData("Ошибка:") + m_link.errors().devErrorText(error)};
    if (reply.data.size() < replyBytes)
        return {false, reply.data, trData("Ошибка при обмене")};
    qDebug() << "/sendCmdPsa";
    return {true, reply.data, trData("Без ошибок")};
}

DataCommands::Result DataCommands::requestDump(quint8 unit, int* blocks)
{
    const Result result = sendCmdPsa(DumpRequest, QByteArray(1, char(unit)), 4);
    if (result.ok)
        *blocks = int(littleEndian(result.reply, 2, 2));
    return result;
}

DataCommands::Result DataCommands::dataBlock(int* number, QByteArray* block)
{
    const Result result = sendCmdPsa(DataBlock, {}, 5);
    if (result.ok) {
        *number = int(littleEndian(result.reply, 3, 2));
        *block = result.reply.mid(5);
    }
    return result;
}

DataCommands::Result DataCommands::moneyRegister(quint8 number, quint64* value)
{
    const Result result = sendCmdPsa(MoneyRegister, QByteArray(1, char(number)), 9);
    if (result.ok)
        *value = littleEndian(result.reply, 3, 6);
    return result;
}

DataCommands::Result DataCommands::operationalRegister(quint8 number, int* value)
{
    const Result result = sendCmdPsa(OperationalRegister, QByteArray(1, char(number)), 5);
    if (result.ok)
        *value = int(littleEndian(result.reply, 3, 2));
    return result;
}

bool DataCommands::registerNumber(const QString& text, quint8* number)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok || value < 0 || value > 255)
        return false;
    *number = quint8(value);
    return true;
}

QString DataCommands::moneyText(quint64 value)
{
    const QString digits = QString::number(value).rightJustified(3, QLatin1Char('0'));
    return digits.left(digits.size() - 2) + QLatin1Char('.') + digits.right(2);
}

QString DataCommands::blockText(const QByteArray& block)
{
    return QString::fromLatin1(block.toHex(' ').toUpper());
}
