#pragma once

#include <QStringList>

class RazbCmd;

// Values for the parsed command's items, given as a test-script line gives them: in item
// order after the command code, the password item included; an enumeration by its number,
// a string in Windows-1251, anything else as written.
namespace CommandValues {

constexpr int MaxValueBytes = 255;

enum class Missing
{
    Fail,         // every item needs a value (a script line)
    TakeDefaults, // items past the last value keep their defaults (the command line)
};

// False, with *failed the index of the item, for a missing value (under Fail) or a value
// of more than MaxValueBytes bytes.
bool fill(RazbCmd& codec, const QStringList& values, Missing missing, int* failed);

} // namespace CommandValues
