#include "catalogue.h"

#include "base/linereader.h"
#include "base/msgbox.h"

#include <QCoreApplication>
#include <QDebug>

#include <algorithm>
#include <cctype>
#include <iterator>
#include <limits>

namespace {

const QString kUndefined = QStringLiteral("UNDEFINED");
const QString kTablesGroupName = QStringLiteral("Таблицы");

QString quoted(const QString& text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// `text` cut to at most `limit` bytes of UTF-8, never inside a character.
QString cutToUtf8Bytes(const QString& text, int limit, bool* cut)
{
    *cut = text.toUtf8().size() > limit;
    if (!*cut)
        return text;
    QString result;
    int bytes = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype width = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const int size = int(text.mid(i, width).toUtf8().size());
        if (bytes + size > limit)
            break;
        result += text.mid(i, width);
        bytes += size;
        i += width - 1;
    }
    return result;
}

// An unsigned decimal number, or -1.
int unsignedValue(const QString& text)
{
    bool ok = false;
    const uint value = text.trimmed().toUInt(&ok, 10);
    return ok && value <= uint(std::numeric_limits<int>::max()) ? int(value) : -1;
}

// The command code of a CMD= value that starts with "$cmd=": one or two hex digits, else 0.
int codeOf(const QString& pair)
{
    if (pair.isEmpty())
        return 0;
    for (const QChar c : pair) {
        if (!isxdigit(c.toLatin1()))
            return 0;
    }
    return pair.toInt(nullptr, 16);
}

} // namespace

// One pass over Command.ini, applying the outer format line by line.
class Catalogue::Loader
{
public:
    explicit Loader(Catalogue& catalogue) : m_cat(catalogue) {}

    void line(const QString& text, qint64 nextPos, int lineNumber)
    {
        m_lineNumber = lineNumber;
        const QString head = text.left(10).toUpper();
        if (head.startsWith(QLatin1String("[GROUP]")))
            openGroup();
        else if (head.startsWith(QLatin1String("[COMMAND]")))
            openCommand(nextPos);
        else if (head.startsWith(QLatin1String("NAME=")))
            name(text.mid(5));
        else if (head.startsWith(QLatin1String("EXEC=")))
            number(text.mid(5), &CommandRecord::exec);
        else if (head.startsWith(QLatin1String("PBEXEC=")))
            number(text.mid(7), &CommandRecord::pbexec);
        else if (head.startsWith(QLatin1String("CONFIRM=")))
            number(text.mid(8), &CommandRecord::confirm);
        else if (head.startsWith(QLatin1String("PROC=")))
            number(text.mid(5), &CommandRecord::proc);
        else if (head.startsWith(QLatin1String("CMD=")))
            code(text);
    }

    void finish()
    {
        reportDropped();
        closeGroup();
    }

private:
    // Where the lines read now belong: NAME= names the group only before its first command.
    enum Section
    {
        None,
        Group,
        Command,
        Dropped
    };

    // A group or command beyond the capacity, reported once its NAME= is known.
    struct DroppedRecord
    {
        bool pending = false;
        bool isGroup = false;
        int line = 0;
        QString name;
    };

    void closeGroup()
    {
        if (m_openGroup >= 0) {
            GroupRecord& group = m_cat.m_groups[m_openGroup];
            group.count = m_cat.commandCount() - group.first;
        }
        m_openGroup = -1;
    }

    void openGroup()
    {
        reportDropped();
        closeGroup();
        m_groupDropped = m_cat.groupCount() >= MaxGroups;
        if (m_groupDropped)
            return drop(true);
        m_cat.m_groups.push_back({kUndefined, m_cat.commandCount(), 0});
        m_openGroup = m_cat.groupCount() - 1;
        m_lastGroup = m_openGroup;
        m_section = Group;
    }

    void openCommand(qint64 nextPos)
    {
        reportDropped();
        if (m_groupDropped) {
            m_section = Dropped; // reported with its group
            return;
        }
        if (m_cat.commandCount() >= MaxCommands)
            return drop(false);
        CommandRecord record;
        record.group = m_lastGroup;
        record.name = kUndefined;
        record.filePos = nextPos;
        m_cat.m_commands.push_back(record);
        m_section = Command;
    }

    void drop(bool isGroup)
    {
        m_dropped = {true, isGroup, m_lineNumber, kUndefined};
        m_section = Dropped;
    }

    void reportDropped()
    {
        if (!m_dropped.pending)
            return;
        m_dropped.pending = false;
        if (m_dropped.isGroup)
            qWarning().noquote()
                << QStringLiteral("Command.ini line %1: group %2 and its commands not loaded: "
                                  "the catalogue holds at most %3 groups")
                       .arg(m_dropped.line)
                       .arg(quoted(m_dropped.name))
                       .arg(MaxGroups);
        else
            qWarning().noquote() << QStringLiteral(
                                        "Command.ini line %1: command %2 not loaded: the catalogue "
                                        "holds at most %3 commands")
                                        .arg(m_dropped.line)
                                        .arg(quoted(m_dropped.name))
                                        .arg(MaxCommands);
    }

    void name(const QString& value)
    {
        switch (m_section) {
        case Group: {
            GroupRecord& group = m_cat.m_groups[m_openGroup];
            group.name = fitted(value);
            if (group.name == kTablesGroupName)
                m_cat.m_tablesGroup = m_openGroup;
            break;
        }
        case Command:
            m_cat.m_commands.back().name = fitted(value);
            break;
        case Dropped:
            m_dropped.name = value;
            break;
        case None:
            break;
        }
    }

    QString fitted(const QString& value) const
    {
        bool cut = false;
        const QString name = cutToUtf8Bytes(value, MaxNameBytes, &cut);
        if (cut)
            qWarning().noquote() << QStringLiteral("Command.ini line %1: name cut to %2 bytes: %3")
                                        .arg(m_lineNumber)
                                        .arg(MaxNameBytes)
                                        .arg(quoted(name));
        return name;
    }

    // EXEC=, PBEXEC=, CONFIRM=, PROC= and CMD= act on the last command loaded, also after a
    // [GROUP]; the lines of a command that was not loaded act on nothing.
    CommandRecord* lastCommand()
    {
        if (m_section == Dropped || m_cat.m_commands.empty())
            return nullptr;
        return &m_cat.m_commands.back();
    }

    void number(const QString& value, int CommandRecord::*field)
    {
        CommandRecord* command = lastCommand();
        const int parsed = unsignedValue(value);
        if (command && parsed >= 0)
            command->*field = parsed;
    }

    void code(const QString& text)
    {
        CommandRecord* command = lastCommand();
        if (!command)
            return;
        if (text.mid(4, 5).compare(QLatin1String("$cmd="), Qt::CaseInsensitive) == 0)
            command->code = codeOf(text.mid(9, 2));
        else
            command->code = -1;
    }

    Catalogue& m_cat;
    Section m_section = None;
    int m_openGroup = -1;
    int m_lastGroup = -1;
    int m_lineNumber = 0;
    bool m_groupDropped = false;
    DroppedRecord m_dropped;
};

Catalogue::Catalogue(QFile* commandFile) : m_file(commandFile) {}

int Catalogue::appendCommand(const CommandRecord& record)
{
    if (commandCount() >= MaxCommands)
        return -1;
    m_commands.push_back(record);
    if (record.group >= 0 && record.group < groupCount())
        ++m_groups[size_t(record.group)].count;
    return commandCount() - 1;
}

void Catalogue::reset()
{
    m_groups.clear();
    m_commands.clear();
    m_tablesGroup = -1;
    m_currentCommand = -1;
}

bool Catalogue::loadCommands()
{
    if (!m_file || !m_file->open(QIODevice::ReadOnly)) {
        msgBox(MsgIcon::Critical, QCoreApplication::translate("main", "Инициализация"),
               QCoreApplication::translate("main", "Нет файла Command.ini"));
        return false;
    }
    reset();
    Loader loader(*this);
    LineReader reader(m_file);
    while (!reader.atEnd()) {
        const QString text = reader.readLine();
        loader.line(text, reader.pos(), reader.lineNumber());
    }
    loader.finish();
    m_file->close();
    return true;
}

void Catalogue::dumpCommands() const
{
    qDebug().noquote() << "Command file-----------------------------";
    qDebug().noquote() << "groupsVol ---------------" << groupCount();
    for (int i = 0; i < groupCount(); ++i)
        qDebug().noquote() << i << " Group" << quoted(m_groups[i].name) << m_groups[i].first
                           << m_groups[i].count;
    qDebug().noquote() << "frGroupTabs" << m_tablesGroup;
    qDebug().noquote() << "commandsVol ---------------" << commandCount();
    for (int i = 0; i < commandCount(); ++i) {
        const CommandRecord& c = m_commands[i];
        if (i == 0 || c.group != m_commands[i - 1].group) {
            const QString groupName = c.group >= 0 ? m_groups[c.group].name : QString();
            qDebug().noquote() << "Group" << quoted(groupName);
        }
        qDebug().noquote() << "  " << i << quoted(c.name) << c.filePos << c.exec << c.pbexec
                           << c.proc << c.code;
    }
}

bool isIrreversibleCode(uint code)
{
    // Technological reset, general reset, the Z-reports, serial numbers, fiscalization, the
    // control tape unit's activation, closing, termination and archive initialization, the
    // initialization of the tables and of the fiscal memory.
    static constexpr uint Codes[] = {0x0D, 0x0E, 0x16, 0x24, 0x27, 0x41, 0x60,
                                     0x61, 0x65, 0xA9, 0xAA, 0xAC, 0xB2, 0xC6};
    return std::find(std::begin(Codes), std::end(Codes), code) != std::end(Codes);
}

bool CommandRecord::asksConfirmation() const
{
    if (confirm >= 0)
        return confirm != 0;
    return code >= 0 && proc <= 0 && isIrreversibleCode(uint(code));
}

bool Catalogue::codeAsksConfirmation(uint code) const
{
    const int index = findByCode(code);
    return index >= 0 ? command(index).asksConfirmation() : isIrreversibleCode(code);
}

int Catalogue::findByCode(uint code) const
{
    for (int i = 0; i < commandCount(); ++i) {
        const CommandRecord& record = command(i);
        // A procedure of the window sends no command of its own, whatever its code reads.
        if (record.filePos >= 0 && record.proc <= 0 && record.code >= 0 &&
            uint(record.code) == code)
            return i;
    }
    return -1;
}
