#pragma once

#include <QByteArray>
#include <QtGlobal>

class SymbolTables;

// The start values that the default table gives the main window.
struct StartDefaults
{
    static constexpr quint32 BuiltInPassword = 30;

    bool portFound = false;
    QByteArray portText; // the text of the `com` row, when there is one
    quint32 password = BuiltInPassword;
    QByteArray passwordText = QByteArray::number(BuiltInPassword);
    int passwordIndex = -1; // default-table index of `prlsa`, written when the password changes
    int timeout = 300;
};

StartDefaults readStartDefaults(const SymbolTables& tables);
