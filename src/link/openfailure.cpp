#include "openfailure.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
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

// The permission bits of a file as the shell shows them (0660).
int unixMode(QFileDevice::Permissions permissions)
{
    const std::pair<QFileDevice::Permission, int> bits[] = {
        {QFileDevice::ReadOwner, 0400}, {QFileDevice::WriteOwner, 0200},
        {QFileDevice::ExeOwner, 0100},  {QFileDevice::ReadGroup, 040},
        {QFileDevice::WriteGroup, 020}, {QFileDevice::ExeGroup, 010},
        {QFileDevice::ReadOther, 04},   {QFileDevice::WriteOther, 02},
        {QFileDevice::ExeOther, 01}};
    int mode = 0;
    for (const auto& [flag, bit] : bits)
        if (permissions.testFlag(flag))
            mode |= bit;
    return mode;
}

struct ErrnoText
{
    int code;
    const char* text;
};

// The reasons a port's open, read or write fails with, on local lines and network ports.
constexpr ErrnoText kErrnoTexts[] = {
    {ENOENT, QT_TRANSLATE_NOOP("FrVelkor", "нет такого файла или устройства")},
    {EACCES, QT_TRANSLATE_NOOP("FrVelkor", "нет прав доступа")},
    {EPERM, QT_TRANSLATE_NOOP("FrVelkor", "операция не разрешена")},
    {EBUSY, QT_TRANSLATE_NOOP("FrVelkor", "устройство занято")},
    {EIO, QT_TRANSLATE_NOOP("FrVelkor", "ошибка ввода-вывода")},
    {ENXIO, QT_TRANSLATE_NOOP("FrVelkor", "устройство отключено")},
    {ENODEV, QT_TRANSLATE_NOOP("FrVelkor", "нет такого устройства")},
    {EAGAIN, QT_TRANSLATE_NOOP("FrVelkor", "устройство не отвечает (ресурс временно недоступен)")},
    {EBADF, QT_TRANSLATE_NOOP("FrVelkor", "порт закрыт")},
    {EINVAL, QT_TRANSLATE_NOOP("FrVelkor", "недопустимый параметр")},
    {ENOTTY, QT_TRANSLATE_NOOP("FrVelkor", "это не последовательный порт")},
    {EPIPE, QT_TRANSLATE_NOOP("FrVelkor", "обрыв канала")},
    {EISDIR, QT_TRANSLATE_NOOP("FrVelkor", "это каталог")},
    {ETIMEDOUT, QT_TRANSLATE_NOOP("FrVelkor", "время ожидания истекло")},
    {ECONNREFUSED, QT_TRANSLATE_NOOP("FrVelkor", "в соединении отказано")},
    {ECONNRESET, QT_TRANSLATE_NOOP("FrVelkor", "соединение сброшено")},
    {EHOSTUNREACH, QT_TRANSLATE_NOOP("FrVelkor", "узел недоступен")},
    {ENETUNREACH, QT_TRANSLATE_NOOP("FrVelkor", "сеть недоступна")},
};

} // namespace

QString systemReasonText(const QString& errorString)
{
    for (const ErrnoText& entry : kErrnoTexts)
        if (errorString.compare(QString::fromLocal8Bit(std::strerror(entry.code)),
                                Qt::CaseInsensitive) == 0)
            return trLink(entry.text);
    return errorString;
}

QString portSystemPath(const QString& portName)
{
    return portName.startsWith(QLatin1Char('/')) ? portName : QStringLiteral("/dev/") + portName;
}

QString permissionAdvice(const QString& path, const QString& owner, const QString& group,
                         QFileDevice::Permissions permissions)
{
    // Joining the group helps only when the group may read and write the port; joining root
    // would be harmful and is never advised.
    const bool groupMayUse = permissions.testFlag(QFileDevice::ReadGroup) &&
                             permissions.testFlag(QFileDevice::WriteGroup);
    if (!group.isEmpty() && group != QLatin1String("root") && groupMayUse)
        return trLink("Нет прав доступа к порту %1. Добавьте пользователя в группу %2 "
                      "(например: sudo usermod -aG %2 $USER) и войдите в систему заново.")
            .arg(path, group);
    return trLink("Нет прав доступа к порту %1: он принадлежит %2:%3, права %4. Попросите "
                  "администратора дать доступ группе dialout правилом udev (например, строка "
                  "KERNEL==\"%5\", GROUP=\"dialout\", MODE=\"0660\" в файле "
                  "/etc/udev/rules.d/99-velkor.rules), затем добавьте пользователя в группу "
                  "dialout (sudo usermod -aG dialout $USER) и войдите в систему заново.")
        .arg(path, owner, group, QString::number(unixMode(permissions), 8),
             QFileInfo(path).fileName());
}

QString openFailureReason(const QString& portName, QSerialPort::SerialPortError error,
                          const QString& errorString)
{
    const QString path = portSystemPath(portName);
    const QString reason = trLink("Причина: %1.").arg(systemReasonText(errorString));
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return trLink("Порт %1 не найден в системе.").arg(path) + QLatin1Char(' ') + reason;
    case QSerialPort::PermissionError: {
        if (!QFileInfo::exists(path) || mayReadAndWrite(path))
            return trLink("Порт %1 занят другой программой.").arg(path) + QLatin1Char(' ') +
                   reason;
        const QFileInfo info(path);
        return permissionAdvice(path, info.owner(), info.group(), info.permissions()) +
               QLatin1Char(' ') + reason;
    }
    default:
        return reason;
    }
}
