#pragma once

#include "ui/touch/virtkeyboard.h"

struct TableField;

// The keys a table's field is typed with: the figures for a number, the hexadecimal digits
// for a number too long to be shown in decimal, the letters for text.
VirtKeyboard::Keys tableFieldKeys(const TableField& field);
