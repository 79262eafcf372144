#pragma once

#include <QByteArray>
#include <QString>

// Windows-1251, the code page of device texts and of description files without a BOM.
namespace Cp1251 {

// True when the platform offers the code page (checked once at start-up).
bool isAvailable();
QString decode(const QByteArray& bytes);
// A character the code page lacks becomes "?", as the device expects.
QByteArray encode(const QString& text);

} // namespace Cp1251
