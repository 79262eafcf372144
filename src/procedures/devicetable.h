#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// One field of a device table: name, type and where its value lies inside a row.
struct TableField
{
    enum Type
    {
        Bin = 0,  // an unsigned little-endian number
        Char = 1, // Windows-1251 text padded with zero bytes
    };

    QByteArray name; // Windows-1251, up to 40 bytes
    int type = Bin;
    int offset = 0;
    int size = 0;

    QString displayName() const;
    // Characters the value takes in a window: 3 / 5 / 10 for BIN fields of 1 / 2 / other
    // sizes (twice the size for BIN values shown in hexadecimal), the size for CHAR fields.
    int valueWidth() const;
    // BIN values of up to 8 bytes are decimal numbers; longer ones hexadecimal text.
    bool hexadecimal() const { return type == Bin && size > 8; }
    // The value at `value` (size bytes) as the windows show it.
    QString valueText(const char* value) const;
    // The user's text as the field's size in bytes; false when it is not a valid value.
    bool collect(const QString& text, QByteArray* value) const;
};

// A device table as read from the device: its structure and, once read, all its values.
struct DeviceTable
{
    static constexpr int MaxFields = 64;
    // The most bytes one table may hold in the tool: a real table is a few kilobytes.
    static constexpr int MaxDataBytes = 1 << 20;
    static constexpr int CharSize = 10;

    QByteArray name; // Windows-1251, up to 40 bytes
    int number = 0;
    int rows = 0;
    int fields = 0;
    int rowSize = 0;
    QList<TableField> fieldList;
    // rows x row size bytes: row r from r x row size, field k at its offset in the row.
    QByteArray data;

    QString displayName() const;
    // "Таблица n "name"", the title of the windows.
    QString title() const;
    // The value bytes of field k in row r.
    const char* value(int row, int field) const;
    char* value(int row, int field);
    // The structure as the debug trace shows it, one line an entry.
    QStringList structureLines() const;
};
