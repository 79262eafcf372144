#pragma once

#include <QString>

// The user settings kept between runs in "config.ini" next to the program, group "Settings".
struct AppSettings
{
    static constexpr int DefaultBaudRate = 115200;

    QString devName;                // the port used last, as typed or chosen
    int baudRate = DefaultBaudRate; // 0 when the stored text is not a number
    QString secPass;                // the system-administrator password as typed
};

class SettingsFile
{
public:
    explicit SettingsFile(QString path) : m_path(std::move(path)) {}
    // The file in an application directory text (the directory and one separator).
    static SettingsFile inAppDir(const QString& appDirText);

    // A missing key gives its default; the password default is the given text.
    AppSettings load(const QString& defaultPassword) const;
    // Writes all three keys; a file that cannot be written is not reported.
    void save(const AppSettings& settings) const;
    // The on-screen keyboard and touch scrolling of a touch terminal: group "Touch", key
    // "keyboard" ("true" or "1"); off when absent. Only read: the panel never writes it.
    bool touchKeyboard() const;

    const QString& path() const { return m_path; }

private:
    QString m_path;
};
