#pragma once

#include <QString>

class MLogSystem;
struct DescriptionTables;

// The description files of an application directory, restored from the shipped copies when
// one is missing, read into the program's tables: Symbol.ini, Default.ini, View.ini and
// Command.ini, in that order. The first table that fails is logged and shown in a message
// box, and ends the loading with its exit code. The window and the command-line program
// both start this way.
namespace DescriptionLoader {

constexpr int DescriptionTableFailed = 1;
constexpr int CommandFileFailed = 2;

// 0, or the exit code of the table that failed.
int load(DescriptionTables& objects, const QString& appDir, MLogSystem& log);

} // namespace DescriptionLoader
