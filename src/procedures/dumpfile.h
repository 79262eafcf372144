#pragma once

#include <QByteArray>
#include <QString>

// Dump files: the dump data as it stands, no header.
namespace DumpFile {

// A file larger than this is not a dump of the device's memory; it is refused unread.
constexpr qint64 MaxBytes = qint64(256) * 1024 * 1024;

// Replaces the file: an existing one is deleted first.
bool write(const QString& path, const QByteArray& data);
bool read(const QString& path, QByteArray* data);

} // namespace DumpFile
