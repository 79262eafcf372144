#include "cp1251.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {

constexpr char kName[] = "windows-1251";
constexpr char kSubstitute = '\x1a';

// One converter a thread, made once: making one looks the code page up by name, which cost
// more than converting a log line. Stateless, so every call starts afresh.
QStringDecoder& decoder()
{
    thread_local QStringDecoder converter(kName, QStringConverter::Flag::Stateless);
    return converter;
}

QStringEncoder& encoder()
{
    thread_local QStringEncoder converter(kName, QStringConverter::Flag::Stateless);
    return converter;
}

} // namespace

bool Cp1251::isAvailable()
{
    return QStringDecoder(kName).isValid() && QStringEncoder(kName).isValid();
}

QString Cp1251::decode(const QByteArray& bytes)
{
    return decoder().decode(bytes);
}

QByteArray Cp1251::encode(const QString& text)
{
    QByteArray bytes = encoder().encode(text);
    if (!bytes.contains(kSubstitute))
        return bytes;
    // The encoder writes 1Ah for an unmappable character; redo it one code point at a time so
    // that only real 1Ah characters stay 1Ah.
    bytes.clear();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype width = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QStringView point = QStringView(text).mid(i, width);
        const QByteArray encoded = encoder().encode(point);
        if (encoded == QByteArray(1, kSubstitute) && point != QStringView(u"\x1a"))
            bytes.append('?');
        else
            bytes.append(encoded);
        i += width - 1;
    }
    return bytes;
}
