#include "devicetable.h"

#include "base/cp1251.h"

#include <QCoreApplication>

namespace {

// Device texts end at their first zero byte.
QString deviceText(const char* bytes, int size)
{
    return Cp1251::decode(QByteArray(bytes, int(qstrnlen(bytes, uint(size)))));
}

bool decimalDigits(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

} // namespace

QString TableField::displayName() const
{
    return deviceText(name.constData(), int(name.size()));
}

int TableField::valueWidth() const
{
    if (type == Char)
        return size;
    if (hexadecimal())
        return 2 * size;
    return size == 1 ? 3 : size == 2 ? 5 : 10;
}

QString TableField::valueText(const char* value) const
{
    if (type == Char)
        return deviceText(value, size);
    const QByteArray bytes(value, size);
    if (hexadecimal())
        return QString::fromLatin1(bytes.toHex().toUpper());
    quint64 number = 0;
    for (int i = size - 1; i >= 0; --i)
        number = number << 8 | quint8(bytes.at(i));
    return QString::number(number);
}

bool TableField::collect(const QString& text, QByteArray* value) const
{
    if (type == Char) {
        QByteArray bytes = Cp1251::encode(text).left(size);
        bytes.append(QByteArray(size - int(bytes.size()), '\0'));
        *value = bytes;
        return true;
    }
    if (hexadecimal()) {
        const QString digits = QString(text).remove(QLatin1Char(' '));
        if (digits.size() != 2 * size)
            return false;
        for (const QChar c : digits)
            if (!isxdigit(c.toLatin1()) || c.unicode() > 0x7F)
                return false;
        *value = QByteArray::fromHex(digits.toLatin1());
        return true;
    }
    // A number must fit the field: a larger one would be written cut, a different value.
    const QString trimmed = text.trimmed();
    bool parsed = false;
    const quint64 number = decimalDigits(trimmed) ? trimmed.toULongLong(&parsed, 10) : 0;
    if (!parsed || (size < 8 && number >> (8 * size) != 0))
        return false;
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char(quint8(number >> (8 * i)));
    *value = bytes;
    return true;
}

QString DeviceTable::displayName() const
{
    return deviceText(name.constData(), int(name.size()));
}

QString DeviceTable::title() const
{
    return QCoreApplication::translate("Tables", "Таблица ") + QString::number(number) +
           QStringLiteral(" \"") + displayName() + QLatin1Char('"');
}

const char* DeviceTable::value(int row, int field) const
{
    return data.constData() + qsizetype(row) * rowSize + fieldList.at(field).offset;
}

char* DeviceTable::value(int row, int field)
{
    return data.data() + qsizetype(row) * rowSize + fieldList.at(field).offset;
}

QStringList DeviceTable::structureLines() const
{
    QStringList lines;
    lines << QString(60, QLatin1Char('-'));
    lines << QStringLiteral("Таблица %1 \"%2\" полей %3   Рядов %4")
                 .arg(number)
                 .arg(displayName())
                 .arg(fields)
                 .arg(rows);
    for (int k = 0; k < fieldList.size(); ++k) {
        const TableField& field = fieldList.at(k);
        lines << QStringLiteral("%1 \"%2\" %3 длина %4 смещение %5")
                     .arg(k + 1)
                     .arg(field.displayName(), field.type == TableField::Char
                                                   ? QStringLiteral("CHAR")
                                                   : QStringLiteral("BIN"))
                     .arg(field.size)
                     .arg(field.offset);
    }
    return lines;
}
