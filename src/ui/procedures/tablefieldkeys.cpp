#include "tablefieldkeys.h"

#include "procedures/devicetable.h"

VirtKeyboard::Keys tableFieldKeys(const TableField& field)
{
    if (field.type == TableField::Char)
        return VirtKeyboard::Keys::Text;
    return field.hexadecimal() ? VirtKeyboard::Keys::Hex : VirtKeyboard::Keys::Figures;
}
