#pragma once

#include <QFile>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>

// The description files next to the executable: restored from the embedded copies under
// ":/Ini/" when one of them is missing, and reached through one file object each.
class DescriptionFiles
{
public:
    enum Name
    {
        Command,
        Symbol,
        View,
        Default,
        Error,
        ErrorDrv,
        DumpFp,
        TestFp,
        NameCount
    };
    static constexpr int EmbeddedCount = ErrorDrv + 1;

    static QString fileName(Name name);
    static QString embeddedPath(Name name);

    // Restores all six embedded files when any is missing, then creates the file objects.
    // A restored file whose bytes differ from the embedded copy is kept as NAME.bak first.
    void prepareDescriptionFiles(const QString& appDir);

    QFile* file(Name name) const { return m_files[name].get(); }
    // What the last prepareDescriptionFiles() wrote and kept, for the log and for tests.
    const QStringList& restored() const { return m_restored; }
    const QStringList& backups() const { return m_backups; }

private:
    void restore(const QString& appDir, Name name);

    std::array<std::unique_ptr<QFile>, NameCount> m_files;
    QStringList m_restored;
    QStringList m_backups;
};
