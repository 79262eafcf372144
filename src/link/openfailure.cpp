#include "openfailure.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <unistd.h>

namespace {

QString trLink(const char* text)
{
    return QCoreApplication::translate("FrVelkor", text);
}

bool mayReadAndWrite(const QString& path)
{
    return ::access(QFile::encodeName(path).constData(), R_OK | W_OK) == 0;
}

} // namespace

QString portSystemPath(const QString& portName)
{
    return portName.startsWith(QLatin1Char('/')) ? portName : QStringLiteral("/dev/") + portName;
}

QString openFailureReason(const QString& portName, QSerialPort::SerialPortError error,
                          const QString& errorString)
{
    const QString path = portSystemPath(portName);
    const QString reason = trLink("Причина: %1.").arg(errorString);
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return trLink("Порт %1 не найден в системе.").arg(path) + QLatin1Char(' ') + reason;
    case QSerialPort::PermissionError: {
        if (!QFileInfo::exists(path) || mayReadAndWrite(path))
            return trLink("Порт %1 занят другой программой.").arg(path) + QLatin1Char(' ') +
                   reason;
        const QString group = QFileInfo(path).group();
        return trLink("Нет прав доступа к порту %1. Добавьте пользователя в группу %2 "
                      "(например: sudo usermod -aG %2 $USER) и войдите в систему заново.")
                   .arg(path, group.isEmpty() ? QStringLiteral("dialout") : group) +
               QLatin1Char(' ') + reason;
    }
    default:
        return reason;
    }
}
