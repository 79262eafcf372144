#include "descriptionfiles.h"

#include <QDebug>
#include <QFileInfo>

namespace {

const char* const kFileNames[DescriptionFiles::NameCount] = {
    "Command.ini", "Symbol.ini",   "View.ini",   "Default.ini",
    "Error.txt",   "ErrorDrv.txt", "dumpfp.bin", "testfp.txt",
};

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The first of NAME.bak, NAME.bak.1, NAME.bak.2 ... that does not exist yet.
QString freeBackupName(const QString& path)
{
    QString candidate = path + QStringLiteral(".bak");
    for (int n = 1; QFileInfo::exists(candidate); ++n)
        candidate = path + QStringLiteral(".bak.%1").arg(n);
    return candidate;
}

} // namespace

QString DescriptionFiles::fileName(Name name)
{
    return QString::fromLatin1(kFileNames[name]);
}

QString DescriptionFiles::embeddedPath(Name name)
{
    return QStringLiteral(":/Ini/") + fileName(name);
}

void DescriptionFiles::prepareDescriptionFiles(const QString& appDir)
{
    m_restored.clear();
    m_backups.clear();
    for (int n = 0; n < EmbeddedCount; ++n) {
        if (QFileInfo::exists(appDir + QLatin1Char('/') + fileName(Name(n))))
            continue;
        for (int r = 0; r < EmbeddedCount; ++r)
            restore(appDir, Name(r));
        break;
    }
    for (int n = 0; n < NameCount; ++n)
        m_files[n] = std::make_unique<QFile>(appDir + QLatin1Char('/') + fileName(Name(n)));
}

void DescriptionFiles::restore(const QString& appDir, Name name)
{
    const QString path = appDir + QLatin1Char('/') + fileName(name);
    const QByteArray shipped = readAll(embeddedPath(name));
    if (QFileInfo(path).isFile()) {
        if (readAll(path) != shipped) {
            const QString backup = freeBackupName(path);
            if (QFile::copy(path, backup)) {
                m_backups.append(backup);
                qWarning().noquote()
                    << QStringLiteral("%1 differs from the shipped copy; kept as %2")
                           .arg(fileName(name), QFileInfo(backup).fileName());
            } else {
                qWarning().noquote() << QStringLiteral("%1 could not be kept as %2; not restored")
                                            .arg(fileName(name), QFileInfo(backup).fileName());
                return;
            }
        }
        QFile::remove(path);
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(shipped) != shipped.size()) {
        qWarning().noquote() << QStringLiteral("%1 could not be written: %2")
                                    .arg(fileName(name), file.errorString());
        return;
    }
    m_restored.append(fileName(name));
    qDebug().noquote() << "prepareDescriptionFiles restored" << fileName(name);
}
