#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <vector>

class QWidget;

// One parameter item of a CMD= or RPL= line.
struct CmdItem
{
    static constexpr int ValueSize = 256;

    char type = 0;     // '#', '$', '?', '*', '@', '/', ':', '^', or '0' for a constant byte
    bool dflt = false; // the item has a default in dftval
    bool ned = false;  // not editable: shown read-only, never read back
    int rel = 0;       // byte offset in the line's layout
    int len = 0;       // size in bytes; 0 is variable
    int dp = -1;       // decimal places of a number; -1 when none
    QByteArray ident;
    QByteArray pref; // symbol prefix of an enumeration
    QString view;    // display name
    std::array<quint8, ValueSize> value{};
    // The value as text: the default after parsing, the entered text before encoding, the
    // decoded text after decoding. String items hold Windows-1251, the others ASCII.
    QByteArray dftval;
    QWidget* wid = nullptr;  // editor of the item in the current form
    QWidget* head = nullptr; // label of the item in the current form
    // Set by splitting a reply: the item's bytes lie wholly or partly beyond its end.
    bool beyondReply = false;
};

// The items of one line, for the command selected last.
struct ItemTable
{
    static constexpr int Capacity = 512;

    std::vector<CmdItem> items = std::vector<CmdItem>(Capacity);
    int count = 0;

    CmdItem& operator[](int index) { return items[size_t(index)]; }
    const CmdItem& operator[](int index) const { return items[size_t(index)]; }
};
