#include "valueconversion.h"

#include <QDebug>

#include <algorithm>
#include <cstring>

namespace {

int digitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 99;
}

void writeLittleEndian(quint64 value, int size, quint8* dest)
{
    for (int i = 0; i < size; ++i) {
        dest[i] = i < 8 ? quint8(value >> (8 * i)) : 0;
    }
}

quint64 readLittleEndian(const quint8* src, int size)
{
    quint64 value = 0;
    for (int i = std::min(size, 8) - 1; i >= 0; --i)
        value = (value << 8) | src[i];
    return value;
}

QByteArray twoDigits(quint8 value)
{
    QByteArray text = QByteArray::number(value);
    return text.size() < 2 ? '0' + text : text;
}

bool threeFields(const QByteArray& text, char separator, quint8* dest)
{
    if (text.size() != 8 || text.at(2) != separator || text.at(5) != separator)
        return false;
    quint8 fields[3];
    for (int i = 0; i < 3; ++i) {
        quint64 value = 0;
        if (!parseUnsigned(text.mid(i * 3, 2), 10, &value))
            return false;
        fields[i] = quint8(value);
    }
    std::memcpy(dest, fields, 3);
    return true;
}

QByteArray threeFieldsText(const quint8* src, char separator)
{
    return twoDigits(src[0]) + separator + twoDigits(src[1]) + separator + twoDigits(src[2]);
}

} // namespace

bool parseUnsigned(const QByteArray& text, int base, quint64* value)
{
    int start = 0;
    if (base == 0) {
        if (text.size() > 1 && text.at(0) == '0' && (text.at(1) == 'x' || text.at(1) == 'X')) {
            base = 16;
            start = 2;
        } else if (text.size() > 1 && text.at(0) == '0') {
            base = 8;
            start = 1;
        } else {
            base = 10;
        }
    }
    if (start >= text.size())
        return false;
    quint64 result = 0;
    for (int i = start; i < text.size(); ++i) {
        const int digit = digitValue(text.at(i));
        if (digit >= base)
            return false;
        if (result > (~quint64(0) - quint64(digit)) / quint64(base))
            return false;
        result = result * quint64(base) + quint64(digit);
    }
    *value = result;
    return true;
}

bool numbTo(const QByteArray& text, int size, int dp, quint8* dest)
{
    qDebug() << "numbTo numb len dp" << text << size << dp;
    if (text.isEmpty())
        return false;
    quint64 value = 0;
    if (dp < 0) {
        if (!parseUnsigned(text, 0, &value))
            return false;
    } else {
        const int point = int(text.indexOf('.'));
        const int decimals = point < 0 ? 0 : int(text.size()) - point - 1;
        if (decimals > dp)
            return false;
        QByteArray digits = text;
        if (point >= 0)
            digits.remove(point, 1);
        if (!parseUnsigned(digits, 10, &value))
            return false;
        for (int i = decimals; i < dp; ++i)
            value *= 10;
        qDebug() << "****numbTo dpnumb dp dpn banumb" << digits << dp << decimals;
        qDebug() << "****value" << value;
    }
    writeLittleEndian(value, size, dest);
    return true;
}

QByteArray numbFromParam(int size, int dp, const quint8* src)
{
    const QByteArray bytes(reinterpret_cast<const char*>(src), std::clamp(size, 0, 8));
    qDebug() << "numbFromParam" << bytes.toHex();
    if (size > 0 && size <= 8 && std::all_of(src, src + size, [](quint8 b) { return b == 0xFF; })) {
        qDebug() << "/numbFromParam all FF's";
        return {};
    }
    QByteArray text = QByteArray::number(readLittleEndian(src, size));
    if (dp >= 0) {
        if (text.size() < dp)
            text.prepend(QByteArray(dp - text.size(), '0'));
        text.insert(text.size() - dp, '.');
    }
    qDebug() << "/numbFromParam" << text;
    return text;
}

bool tmtToParamValue(const QByteArray& text, quint8* dest)
{
    qDebug() << " RazbCmd::tmtToParamValue numb:" << text;
    quint64 ms = 0;
    if (!parseUnsigned(text, 0, &ms))
        return false;
    quint64 byte = 0;
    if (ms <= 150)
        byte = ms;
    else if (ms <= 15000)
        byte = 149 + std::max<quint64>(ms, 300) / 150;
    else
        byte = 248 + std::clamp<quint64>(ms, 30000, 105000) / 15000;
    *dest = quint8(byte);
    qDebug() << "RazbCmd::/tmtToParamValue:" << byte;
    return true;
}

QByteArray tmtFromParamValue(const quint8* src, int size)
{
    const quint64 value = readLittleEndian(src, size);
    qDebug() << "RazbCmd::tmtFromParamValue:" << value;
    quint64 ms = 105000;
    if (value <= 150)
        ms = value;
    else if (value <= 249)
        ms = (value - 149) * 150;
    else if (value <= 255)
        ms = (value - 248) * 15000;
    qDebug() << "RazbCmd::/tmtFromParamValue:" << ms;
    return QByteArray::number(ms);
}

bool dateFromText(const QByteArray& text, quint8* dest)
{
    return threeFields(text, '/', dest);
}

bool timeFromText(const QByteArray& text, quint8* dest)
{
    return threeFields(text, ':', dest);
}

QByteArray dateToText(const quint8* src)
{
    return threeFieldsText(src, '/');
}

QByteArray timeToText(const quint8* src)
{
    return threeFieldsText(src, ':');
}

QByteArray hexSpaced(const QByteArray& bytes)
{
    return bytes.toHex(' ').toUpper();
}

bool hexTextToBytes(const QByteArray& text, QByteArray* bytes)
{
    QByteArray digits;
    digits.reserve(text.size());
    for (const char c : text) {
        if (c == ' ' || c == '\t')
            continue;
        if (digitValue(c) > 15)
            return false;
        digits.append(c);
    }
    if (digits.size() % 2 != 0)
        return false;
    *bytes = QByteArray::fromHex(digits);
    return true;
}
