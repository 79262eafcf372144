#include "pathworks.h"

#include <QCoreApplication>
#include <QStandardPaths>
#include <QStorageInfo>

QString MPathWorks::rootDirOf(const QString& exeDir)
{
    const QFileInfo dir(QDir::cleanPath(QDir(exeDir).absolutePath()));
    const QString last = dir.fileName().toLower();
    if (last == QLatin1String("debug") || last == QLatin1String("release"))
        return dir.path();
    return dir.filePath();
}

QDir MPathWorks::rootDir()
{
    return QDir(rootDirOf(QCoreApplication::applicationDirPath()));
}

QString MPathWorks::rootPath(const QString& name)
{
    return rootDir().absolutePath() + QLatin1Char('/') + name;
}

QString MPathWorks::programPath()
{
    return QCoreApplication::instance() ? QCoreApplication::arguments().value(0) : QString();
}

QString MPathWorks::baseNameOf(const QString& path)
{
    return QFileInfo(path).baseName();
}

QString MPathWorks::programBaseName()
{
    return baseNameOf(programPath());
}

QString MPathWorks::programFileName(const QString& suffix)
{
    return QStringLiteral("%1.%2").arg(programBaseName(), suffix);
}

QString MPathWorks::rootFile(const QString& suffix)
{
    return rootPath(programFileName(suffix));
}

QFileInfo MPathWorks::settingsFileInfo()
{
    return QFileInfo(MPathConsts::settingsDir(), programFileName(QStringLiteral("ini")));
}

QFileInfo MPathWorks::logFileInfo()
{
    return QFileInfo(MPathConsts::logDir(), programFileName(QStringLiteral("log")));
}

QDir MPathWorks::subDir(const QString& name)
{
    return subDirOf(rootDir(), name);
}

QDir MPathWorks::subDirOf(const QDir& base, const QString& name)
{
    QDir dir(base);
    if (!dir.exists(name))
        dir.mkpath(name);
    dir.cd(name);
    return dir;
}

bool MPathWorks::makeRootCurrent()
{
    return QDir::setCurrent(rootDir().absolutePath());
}

QDir MPathConsts::logDir()
{
    return MPathWorks::subDir(QStringLiteral("Log"));
}
QDir MPathConsts::settingsDir()
{
    return MPathWorks::subDir(QStringLiteral("Settings"));
}
QDir MPathConsts::dataDir()
{
    return MPathWorks::subDir(QStringLiteral("Data"));
}
QDir MPathConsts::tempDir()
{
    return MPathWorks::subDir(QStringLiteral("Temp"));
}
QDir MPathConsts::reportsDir()
{
    return MPathWorks::subDir(QStringLiteral("Reports"));
}
QDir MPathConsts::importDir()
{
    return MPathWorks::subDir(QStringLiteral("Import"));
}
QDir MPathConsts::flagsDir()
{
    return MPathWorks::subDir(QStringLiteral("Flags"));
}
QDir MPathConsts::mediaDir()
{
    return MPathWorks::subDirOf(dataDir(), QStringLiteral("Media"));
}
QDir MPathConsts::imagesDir()
{
    return MPathWorks::subDirOf(dataDir(), QStringLiteral("Images"));
}
QDir MPathConsts::shieldCodesDir()
{
    return MPathWorks::subDirOf(dataDir(), QStringLiteral("ShieldCodes"));
}

quint64 MFilesWorks::freeDiskSpace(const QString& path)
{
    const QStorageInfo volume(path);
    return volume.isValid() ? quint64(volume.bytesFree()) : 0;
}

bool MFilesWorks::removeDirTree(const QString& path)
{
    QDir dir(path);
    if (!dir.exists())
        return false;
    bool ok = true;
    const QFileInfoList entries =
        dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        if (entry.isDir() && !entry.isSymLink())
            ok = removeDirTree(entry.absoluteFilePath()) && ok;
        else
            ok = QFile::remove(entry.absoluteFilePath()) && ok;
    }
    return dir.rmdir(dir.absolutePath()) && ok;
}

QString MPathWorks::dataDirectory(const QString& programDir)
{
    const QString beside = QDir(programDir).absolutePath();
    if (!isSystemDirectory(beside) && QFileInfo(beside).isWritable())
        return beside;
    // Installed where programs are installed: nothing is written beside the program.
    return userDataDirectory();
}

QString MPathWorks::userDataDirectory()
{
    const QString user = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                         QStringLiteral("/velkor-testdriver");
    QDir().mkpath(user);
    return user;
}

bool MPathWorks::isSystemDirectory(const QString& path)
{
    const QFileInfo info(path);
    // Through its links: /bin is /usr/bin on a merged system, and a link may lead there.
    const QString real = info.exists() ? info.canonicalFilePath()
                                       : QDir::cleanPath(info.absoluteFilePath());
    const QString top = real.section(QLatin1Char('/'), 1, 1);
    return top == QLatin1String("usr") || top == QLatin1String("bin") ||
           top == QLatin1String("sbin") || top == QLatin1String("opt") ||
           top.startsWith(QLatin1String("lib"));
}

bool MPathWorks::canCreateIn(const QString& dir)
{
    QFileInfo info(QDir::cleanPath(QDir(dir).absolutePath()));
    while (!info.exists() && !info.isRoot())
        info = QFileInfo(info.path());
    return info.isDir() && info.isWritable();
}

QString MPathWorks::logFilePathIn(const QString& dataDir, const QString& programDir,
                                  const QString& programPath, QString* fallback)
{
    const QString inside = QStringLiteral("/Log/") + baseNameOf(programPath) + QStringLiteral(".log");
    if (QDir(dataDir).absolutePath() != QDir(programDir).absolutePath())
        return dataDir + inside;
    const QString beside = logFilePath(dataDir, programPath);
    const QString logDir = QFileInfo(beside).path();
    if (canCreateIn(logDir))
        return beside;
    const QString user = userDataDirectory() + inside;
    if (fallback)
        *fallback = QStringLiteral("The log directory %1 cannot be written; the log is %2")
                        .arg(logDir, user);
    return user;
}

QString MPathWorks::logFilePath(const QString& appDir, const QString& programPath)
{
    const QString aboveRoot = QFileInfo(rootDirOf(appDir)).path();
    return aboveRoot + QStringLiteral("/Log/") + baseNameOf(programPath) + QStringLiteral(".log");
}

QString MFilesWorks::anyCaseFilePath(const QString& path)
{
    const QFileInfo info(path);
    if (info.exists())
        return path;
    const QDir dir = info.absoluteDir();
    const QStringList names = dir.entryList(QDir::Files, QDir::Name);
    for (const QString& name : names)
        if (name.compare(info.fileName(), Qt::CaseInsensitive) == 0)
            return dir.filePath(name);
    return path;
}
