#include "dumpfile.h"

#include <QFile>

bool DumpFile::write(const QString& path, const QByteArray& data)
{
    QFile file(path);
    if (file.exists() && !file.remove())
        return false;
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const bool written = file.write(data) == data.size();
    file.close();
    return written && file.error() == QFileDevice::NoError;
}

bool DumpFile::read(const QString& path, QByteArray* data)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxBytes)
        return false;
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    *data = std::move(bytes);
    return true;
}
