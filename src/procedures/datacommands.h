#pragma once

#include <QByteArray>
#include <QString>

class ProcedureLink;

// The commands of the device data window: memory dumps and registers, each sent with the
// password after its code, its outcome given as the window's status text.
class DataCommands
{
public:
    static constexpr quint8 DumpRequest = 0x01;
    static constexpr quint8 DataBlock = 0x02;
    static constexpr quint8 InterruptOutput = 0x03;
    static constexpr quint8 MoneyRegister = 0x1A;
    static constexpr quint8 OperationalRegister = 0x1B;

    struct Result
    {
        bool ok = false;
        QByteArray reply;
        QString status;
    };

    explicit DataCommands(ProcedureLink& link) : m_link(link) {}

    // Code, password, data; a reply shorter than `replyBytes` is a failed exchange.
    Result sendCmdPsa(quint8 code, const QByteArray& data, int replyBytes = 2);

    Result requestDump(quint8 unit, int* blocks);
    // The block number and its data (the reply from byte 5 on).
    Result dataBlock(int* number, QByteArray* block);
    Result interruptOutput() { return sendCmdPsa(InterruptOutput, {}); }
    Result moneyRegister(quint8 number, quint64* value);
    Result operationalRegister(quint8 number, int* value);

    // The register number typed by the user: a decimal integer up to 255.
    static bool registerNumber(const QString& text, quint8* number);
    // n / 100 with two decimals and a point: 0.00, 0.05, 12.34.
    static QString moneyText(quint64 value);
    // Upper-case hexadecimal, two digits a byte, bytes one blank apart.
    static QString blockText(const QByteArray& block);

private:
    ProcedureLink& m_link;
};
