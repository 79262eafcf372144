#pragma once

#include <QFile>
#include <QString>

// The text of error `code` from an error file whose line n describes code n. Always a text:
// " [C]: text." when the line has one, "C" for a number-only line, "C. Нет текста ошибки"
// past the end of the file, "C. Нет файла ошибок" when the file cannot be read.
QString errorText(int code, QFile* file);

// The two error tables: device errors (Error.txt) and driver result codes (ErrorDrv.txt).
// Both are read afresh on every lookup, so edits take effect at once.
class ErrorTexts
{
public:
    ErrorTexts(QFile* deviceErrors = nullptr, QFile* driverErrors = nullptr)
        : m_device(deviceErrors), m_driver(driverErrors)
    {
    }
    void setFiles(QFile* deviceErrors, QFile* driverErrors)
    {
        m_device = deviceErrors;
        m_driver = driverErrors;
    }

    QString devErrorText(int code) const { return errorText(code, m_device); }
    // "Ошибка драйвера " and the table's text for a driver result code 500 + n.
    QString driverErrorText(int code) const;

private:
    QFile* m_device;
    QFile* m_driver;
};
