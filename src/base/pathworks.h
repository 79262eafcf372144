#pragma once

#include <QDir>
#include <QFileInfo>
#include <QString>

// Where the program lives: its root directory, its base name and names derived from them.
class MPathWorks
{
public:
    // The root for an executable in exeDir: exeDir, or its parent when exeDir is named
    // "debug" or "release" in any letter case.
    static QString rootDirOf(const QString& exeDir);
    static QDir rootDir();
    static QString rootPath(const QString& name);
    // The program's path as passed on its command line.
    static QString programPath();
    // The file name of a path up to its first dot.
    static QString baseNameOf(const QString& path);
    // The program log: "Log/NAME.log" one level above the root of the application directory.
    static QString logFilePath(const QString& appDir, const QString& programPath);
    // Where the program writes its files: the program's directory when the user may write
    // there and it is no system directory (a copy unpacked by hand, the build tree), else
    // the user's data directory. Check that it exists: it may not be creatable.
    static QString dataDirectory(const QString& programDir);
    // The user's data directory (".local/share/velkor-testdriver" in the home directory),
    // created when missing.
    static QString userDataDirectory();
    // Where a package puts programs: /usr, /bin, /sbin, /lib*, /opt and everything below.
    // Run as root, the program could write there, and nothing would ever remove its files.
    static bool isSystemDirectory(const QString& path);
    // Whether a file can be created in `dir`, which may not exist yet.
    static bool canCreateIn(const QString& dir);
    // The program log of a run whose files are in dataDir: as logFilePath beside the
    // program, "Log/NAME.log" inside the user's data directory. When the log's directory
    // beside the program cannot be written, the user's directory takes the log too, and
    // `fallback` (when given) receives a line that says so.
    static QString logFilePathIn(const QString& dataDir, const QString& programDir,
                                 const QString& programPath, QString* fallback = nullptr);
    static QString programBaseName();
    static QString programFileName(const QString& suffix);
    static QString rootFile(const QString& suffix);
    static QFileInfo settingsFileInfo();
    static QFileInfo logFileInfo();
    // The root directory's subdirectory `name`, created first when missing.
    static QDir subDir(const QString& name);
    static QDir subDirOf(const QDir& base, const QString& name);
    static bool makeRootCurrent();
};

// The named subdirectories below the root (and below "Data"), each created when missing.
class MPathConsts
{
public:
    static QDir logDir();
    static QDir settingsDir();
    static QDir dataDir();
    static QDir tempDir();
    static QDir reportsDir();
    static QDir importDir();
    static QDir flagsDir();
    static QDir mediaDir();
    static QDir imagesDir();
    static QDir shieldCodesDir();
};

class MFilesWorks
{
public:
    // Total free bytes on the volume that holds path.
    static quint64 freeDiskSpace(const QString& path);
    // Deletes the directory with all its files and subdirectories.
    static bool removeDirTree(const QString& path);
    // The path when its file exists; else a file of its directory whose name differs only in
    // case (the first in name order), so a name a message spells otherwise is found; else
    // the path.
    static QString anyCaseFilePath(const QString& path);
};
