#include "cp1251.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {

constexpr char kName[] = "windows-1251";
constexpr char kSubstitute = '\x1a';

} // namespace

bool Cp1251::isAvailable()
{
    return QStringDecoder(kName).isValid() && QStringEncoder(kName).isValid();
}

QString Cp1251::decode(const QByteArray& bytes)
{
    QStringDecoder decoder(kName);
    return decoder.decode(bytes);
}

QByteArray Cp1251::encode(const QString& text)
{
    QStringEncoder encoder(kName);
    QByteArray bytes = encoder.encode(text);
    if (!bytes.contains(kSubstitute))
        return bytes;
    // The encoder writes 1Ah for an unmappable character; redo it one code point at a time so
    // that only real 1Ah characters stay 1Ah.
    bytes.clear();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype width = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QStringView point = QStringView(text).mid(i, width);
        QStringEncoder single(kName);
        const QByteArray encoded = single.encode(point);
        if (encoded == QByteArray(1, kSubstitute) && point != QStringView(u"\x1a"))
            bytes.append('?');
        else
            bytes.append(encoded);
        i += width - 1;
    }
    return bytes;
}
