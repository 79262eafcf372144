#include "errortexts.h"

#include <QCoreApplication>
#include <QTextStream>

namespace {

QString trErrors(const char* text)
{
    return QCoreApplication::translate("ErrorTexts", text);
}

} // namespace

QString errorText(int code, QFile* file)
{
    if (code < 0)
        code += 256;
    const QString number = QString::number(code);
    if (!file || !file->open(QIODevice::ReadOnly))
        return number + trErrors(". Нет файла ошибок");
    QTextStream stream(file);
    stream.setEncoding(QStringConverter::Utf8);
    for (int line = 1; line <= code && !stream.atEnd(); ++line) {
        const QString text = stream.readLine();
        if (line < code)
            continue;
        file->close();
        const qsizetype blank = text.indexOf(QLatin1Char(' '));
        if (blank < 0)
            return number;
        return QStringLiteral(" [") + number + QStringLiteral("]: ") + text.mid(blank + 1) +
               QLatin1Char('.');
    }
    file->close();
    return number + trErrors(". Нет текста ошибки");
}

QString ErrorTexts::driverErrorText(int code) const
{
    QString text = errorText(code - 500, m_driver);
    // Codes added after earlier versions wrote their ErrorDrv.txt: their own words where the
    // stored file has none.
    const char* added = code == 523   ? "потеряна связь с портом"
                        : code == 524 ? "ФР не подтвердил приём команды"
                                      : nullptr;
    if (added && !text.startsWith(QLatin1Char(' ')))
        text = QStringLiteral(" [%1]: %2.").arg(code - 500).arg(trErrors(added));
    // A line's text comes with its own leading blank: one blank after the words.
    return trErrors("Ошибка драйвера") +
           (text.startsWith(QLatin1Char(' ')) ? text : QLatin1Char(' ') + text);
}
