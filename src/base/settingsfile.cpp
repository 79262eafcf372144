#include "settingsfile.h"

#include <QSettings>

namespace {

const QString kGroup = QStringLiteral("Settings");
const QString kDevName = QStringLiteral("devName");
const QString kBaudRate = QStringLiteral("baudRate");
const QString kSecPass = QStringLiteral("secPass");
const QString kTouchKeyboard = QStringLiteral("Touch/keyboard");

} // namespace

SettingsFile SettingsFile::inAppDir(const QString& appDirText)
{
    return SettingsFile(appDirText + QStringLiteral("config.ini"));
}

AppSettings SettingsFile::load(const QString& defaultPassword) const
{
    QSettings settings(m_path, QSettings::IniFormat);
    settings.beginGroup(kGroup);
    AppSettings result;
    result.devName = settings.value(kDevName, QString()).toString();
    result.baudRate =
        settings.value(kBaudRate, QString::number(AppSettings::DefaultBaudRate)).toString().toInt();
    result.secPass = settings.value(kSecPass, defaultPassword).toString();
    return result;
}

void SettingsFile::save(const AppSettings& values) const
{
    QSettings settings(m_path, QSettings::IniFormat);
    settings.beginGroup(kGroup);
    settings.setValue(kDevName, values.devName);
    settings.setValue(kBaudRate, values.baudRate);
    settings.setValue(kSecPass, values.secPass);
}

bool SettingsFile::touchKeyboard() const
{
    const QString value =
        QSettings(m_path, QSettings::IniFormat).value(kTouchKeyboard).toString().trimmed();
    return value.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ||
           value == QLatin1String("1");
}
