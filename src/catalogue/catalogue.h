#pragma once

#include <QFile>
#include <QString>

#include <vector>

struct GroupRecord
{
    QString name;  // up to 255 bytes of UTF-8
    int first = 0; // index of the group's first command
    int count = 0;
};

struct CommandRecord
{
    int group = -1;
    QString name;       // up to 255 bytes of UTF-8
    qint64 filePos = 0; // byte offset of the line after [COMMAND]; negative for run-time tables
    int exec = -1;
    int proc = -1;
    int pbexec = -1;
    // CONFIRM=: non-zero asks the user before every run, 0 never; -1 when the entry has no
    // such key, and then the program's own list of irreversible codes decides.
    int confirm = -1;
    int code = 0; // from the CMD= line; -1 when it does not start with $cmd=

    // The user is asked before this command runs: its action cannot be undone.
    bool asksConfirmation() const;
};

// The codes of the commands that cannot be undone (the ones the shipped Command.ini marks
// CONFIRM=1): a Command.ini kept from an earlier version, or edited, still asks for them.
bool isIrreversibleCode(uint code);

// The groups and commands of Command.ini, as the main window shows them in its tree.
class Catalogue
{
public:
    static constexpr int MaxGroups = 256;
    static constexpr int MaxCommands = 256;
    static constexpr int MaxNameBytes = 255;

    explicit Catalogue(QFile* commandFile = nullptr);
    void setCommandFile(QFile* commandFile) { m_file = commandFile; }
    QFile* commandFile() const { return m_file; }

    // False only when Command.ini cannot be opened (after the critical box).
    bool loadCommands();
    // The debug listing of the catalogue.
    void dumpCommands() const;
    void reset();

    int groupCount() const { return int(m_groups.size()); }
    int commandCount() const { return int(m_commands.size()); }
    const GroupRecord& group(int index) const { return m_groups.at(index); }
    const CommandRecord& command(int index) const { return m_commands.at(index); }
    // Index of the group named exactly "Таблицы"; -1 when the file has none.
    int tablesGroup() const { return m_tablesGroup; }
    int currentCommand() const { return m_currentCommand; }
    void setCurrentCommand(int index) { m_currentCommand = index; }
    // Appends a run-time record (a device table) to the last group; its index, or -1 when
    // the table is full.
    int appendCommand(const CommandRecord& record);
    // Makes a group stand for the commands first .. first + count - 1 (the device's tables).
    void setGroupRange(int group, int first, int count)
    {
        m_groups.at(size_t(group)).first = first;
        m_groups.at(size_t(group)).count = count;
    }
    void setCommandProc(int index, int proc) { m_commands.at(size_t(index)).proc = proc; }
    // Catalogue index of the first run-time table record; -1 until the tables are listed.
    int tableProcBase() const { return m_tableProcBase; }
    // The first command of the file whose CMD= line has this code, procedures of the window
    // (PROC= 1 and up) aside; -1 when there is none.
    int findByCode(uint code) const;
    // A command with this code asks before it runs: its entry says so, or with no entry the
    // code is irreversible.
    bool codeAsksConfirmation(uint code) const;
    void setTableProcBase(int index) { m_tableProcBase = index; }

private:
    class Loader;

    QFile* m_file;
    std::vector<GroupRecord> m_groups;
    std::vector<CommandRecord> m_commands;
    int m_tablesGroup = -1;
    int m_currentCommand = -1;
    int m_tableProcBase = -1;
};
