#include "mlogsystem.h"

#include "pathworks.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QTextStream>
#include <QReadWriteLock>
#include <QSaveFile>

#include <chrono>
#include <cstdio>

namespace {

const QString kAsterisks(90, QLatin1Char('*'));

// The object that receives the toolkit's messages; cleared when it is destroyed.
std::atomic<MLogSystem*> g_handlerTarget{nullptr};
// Held for reading while the handler uses its target, for writing while the target is
// taken away: a message on another thread never reaches a log that is ending.
QReadWriteLock g_handlerTargetLock(QReadWriteLock::Recursive);
std::atomic<bool> g_echoToStandardError{true};
std::atomic<bool> g_logDebugTraces{true};
std::atomic<bool> g_echoDebugTraces{true};

QString headerLine(const char* label, const QString& value)
{
    return QString::fromLatin1(label).leftJustified(20, QLatin1Char(' ')) + value;
}

// Appends texts to the file in text mode; false when it cannot be opened.
bool appendToFile(const QString& path, const QStringList& texts)
{
    QFile file(path);
    if (!file.open(QIODevice::Append | QIODevice::Text))
        return false;
    QTextStream out(&file);
    for (const QString& text : texts)
        out << text;
    return true;
}

// hh:mm:ss.zzz and dd.MM.yyyy from the numbers: cheaper than QDateTime::toString, and free
// of the locale and calendar machinery on the worker.
QString clockText(const QTime& time)
{
    return QString::asprintf("%02d:%02d:%02d.%03d", time.hour(), time.minute(), time.second(),
                             time.msec());
}

QString dateText(const QDate& date)
{
    return QString::asprintf("%02d.%02d.%04d", date.day(), date.month(), date.year());
}

qint64 monotonicMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

QString environmentOr(const char* name, const QString& fallback)
{
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? fallback : value;
}

} // namespace

MLogSystem::MLogSystem(QObject* parent) : QObject(parent), m_writer(&appendToFile)
{
    m_worker.setMaxThreadCount(1);
    m_worker.setExpiryTimeout(5000);
    m_switches =
        (1u << SwitchTime) | (1u << SwitchDate) | (1u << SwitchLineNumber) | (1u << SwitchHeader);
    m_programName = MPathWorks::programBaseName();
    takeIdentity();
    m_clockStartMs = monotonicMs();
}

MLogSystem::~MLogSystem()
{
    close();
}

void MLogSystem::close()
{
    {
        // Every line queued and every job started before this point is written below; a
        // logWrite after it sees the log closed.
        QMutexLocker lock(&m_queueLock);
        if (m_closed.exchange(true))
            return;
    }
    {
        QWriteLocker lock(&g_handlerTargetLock);
        MLogSystem* self = this;
        g_handlerTarget.compare_exchange_strong(self, nullptr);
    }
    // The lines queued before the close still get their header, and the closing lines
    // come after all of them.
    waitForIdle();
    drainQueue();
    if (isSwitchOn(SwitchLogOff))
        return;
    const QDateTime now = QDateTime::currentDateTime();
    intLogWrite(QStringLiteral("SystemLog: Log object destroed."), LogSystem, now);
    intLogWrite(QStringLiteral("#Line"), LogSystem, now);
    intLogWrite(QStringLiteral("#CR"), LogSystem, now);
}

void MLogSystem::setFileWriter(FileWriter writer)
{
    QMutexLocker lock(&m_fileLock);
    m_writer = writer ? std::move(writer) : FileWriter(&appendToFile);
}

void MLogSystem::takeIdentity()
{
    m_version = QCoreApplication::applicationVersion();
    m_programPath = MPathWorks::programPath();
    m_computer = environmentOr("COMPUTERNAME", QSysInfo::machineHostName());
    m_user = environmentOr("USERNAME", environmentOr("USER", qEnvironmentVariable("LOGNAME")));
}

qint64 MLogSystem::clockElapsed() const
{
    return monotonicMs() - m_clockStartMs;
}

void MLogSystem::logWrite(const QString& mes, MLogSystem_EventLevel lev)
{
    if (m_closed)
        return;
    Q_EMIT stringWrited(mes, lev);
    // The stamp is the moment of the call: the worker may format the line later, after
    // the mode has changed.
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const qint64 elapsed = m_mode == StartUp ? clockElapsed() : WallClockLine;
    // Lines queue up while the worker writes; it takes all of them with one opening of the
    // file, so a burst of debug lines costs one write instead of one per line.
    // The closed mark is read, the line queued and its job started under the queue's lock,
    // which close() takes to set the mark: no line lands after the closing lines, and no job
    // starts once close() has waited for the worker.
    QMutexLocker lock(&m_queueLock);
    if (m_closed)
        return;
    m_queue.push_back({mes, lev, now, elapsed});
    if (m_drainScheduled)
        return;
    m_drainScheduled = true;
    m_worker.start([this] {
        // A burst (the per-byte trace, an item dump) gathers for a moment and is written at
        // once, so the worker wakes a few times a second rather than once per line.
        {
            QMutexLocker gathering(&m_queueLock);
            if (!m_writeNow)
                m_writeNowAsked.wait(&m_queueLock, GatherMs);
        }
        drainQueue();
    });
}

void MLogSystem::logHexWrite(const QByteArray& mes, bool send)
{
    const QDateTime now = QDateTime::currentDateTime();
    QMutexLocker lock(&m_queueLock);
    if (m_closed)
        return;
    m_worker.start([this, mes, send, now] { intLogHexWrite(mes, send, now); });
}

void MLogSystem::clearLog()
{
    QMutexLocker lock(&m_lock);
    m_started = false;
    m_lineCounter = 0;
    ++m_resets;
}

void MLogSystem::intLogWrite(const QString& mes, MLogSystem_EventLevel lev, const QDateTime& time,
                             qint64 elapsedMs)
{
    writeLines({{mes, lev, time.toMSecsSinceEpoch(), elapsedMs}});
}

void MLogSystem::drainQueue()
{
    for (;;) {
        std::vector<QueuedLine> lines;
        {
            QMutexLocker lock(&m_queueLock);
            if (m_queue.empty()) {
                m_drainScheduled = false;
                return;
            }
            lines.swap(m_queue);
        }
        writeLines(lines);
    }
}

MLogSystem::Format MLogSystem::format() const
{
    QMutexLocker lock(&m_lock);
    return formatLocked();
}

MLogSystem::Format MLogSystem::formatLocked() const
{
    return {m_lineFormat, m_programName, m_version, m_programPath, m_computer, m_user,
            m_switches.load()};
}

void MLogSystem::writeLines(const std::vector<QueuedLine>& lines)
{
    // One writer at a time keeps the numbers in the order of the file.
    QMutexLocker fileLock(&m_fileLock);
    Format style;
    bool started = false;
    int counter = 0;
    int resets = 0;
    int minimumLevel = 0;
    QString path;
    {
        QMutexLocker lock(&m_lock);
        style = formatLocked();
        started = m_started;
        counter = m_lineCounter;
        resets = m_resets;
        minimumLevel = m_minimumLevel;
        path = m_path;
    }
    QStringList texts;
    // The local time's offset, asked once a batch: asked per line, the system's time zone
    // was looked up again for every line (a stat of its file each time), which cost the
    // per-byte log most of the worker's time.
    const int utcOffset = QDateTime::currentDateTime().offsetFromUtc();
    for (const QueuedLine& line : lines) {
        if (style.on(SwitchLogOff) || line.level < minimumLevel)
            continue;
        if (!started && style.on(SwitchHeader))
            texts.append(buildHeader(style));
        const QString marker = line.text.toLower();
        const bool counted = marker != QLatin1String("#cr") &&
                             marker != QLatin1String("#header") &&
                             marker != QLatin1String("#line");
        if (marker == QLatin1String("#cr"))
            texts.append(QStringLiteral("\n"));
        else if (marker == QLatin1String("#header"))
            texts.append(buildHeader(style));
        else if (marker == QLatin1String("#line"))
            texts.append(kAsterisks + QLatin1Char('\n'));
        else
            texts.append(formatLine(style, line.text, line.level,
                                    QDateTime::fromMSecsSinceEpoch(
                                        line.epochMs, Qt::OffsetFromUTC, utcOffset),
                                    line.elapsedMs != NowElapsed ? line.elapsedMs
                                    : m_mode == StartUp          ? clockElapsed()
                                                                 : WallClockLine,
                                    counter + 1));
        started = true;
        if (counted)
            ++counter;
    }
    if (texts.isEmpty())
        return;
    // The file is written with no lock of logWrite's held: a message raised here (a
    // warning of the file system) is queued like any other line.
    const bool written = path.isEmpty() || m_writer(path, texts);
    if (written && !path.isEmpty()) {
        for (const QString& text : std::as_const(texts))
            m_writtenSinceLook += text.size();
        // The size is read now and then: a look per line would cost a system call each.
        if (m_writtenSinceLook >= std::min<qint64>(m_maxLiveBytes / 8, 1 << 20)) {
            m_writtenSinceLook = 0;
            boundLiveLog(path);
        }
    }
    {
        QMutexLocker lock(&m_lock);
        if (path.isEmpty())
            m_pending.append(texts);
        if (!written) {
            // The lines are lost; the header comes with the next line that reaches the file.
            m_error = true;
            return;
        }
        m_error = false;
        if (resets == m_resets) {
            m_started = started;
            m_lineCounter = counter;
        }
    }
    for (const QString& text : std::as_const(texts))
        Q_EMIT stringWrited(text);
}

QString MLogSystem::formatLine(const Format& format, const QString& mes, MLogSystem_EventLevel lev,
                               const QDateTime& time, qint64 elapsedMs, int number)
{
    QString line;
    for (const QChar field : format.lineFormat) {
        switch (field.unicode()) {
        case '#':
            if (format.on(SwitchLineNumber))
                line += QStringLiteral("%1: ").arg(number, 5, 10, QLatin1Char('0'));
            break;
        case 'e':
            line += QStringLiteral("{%1} ").arg(int(lev));
            break;
        case 't':
            if (!format.on(SwitchTime))
                break;
            if (elapsedMs < 0)
                line += QStringLiteral("[%1] ").arg(clockText(time.time()));
            else
                line += QStringLiteral("[%1] ").arg(elapsedMs, 6, 10, QLatin1Char('0'));
            break;
        case 'd':
            if (format.on(SwitchDate) && elapsedMs < 0)
                line += QStringLiteral("[%1] ").arg(dateText(time.date()));
            break;
        case 'l':
            line += mes;
            break;
        default:
            break;
        }
    }
    return line + QLatin1Char('\n');
}

QString MLogSystem::header() const
{
    return buildHeader(format());
}

QString MLogSystem::buildHeader(const Format& format)
{
    const QDateTime now = QDateTime::currentDateTime();
    const QStringList lines = {
        QString(),
        kAsterisks,
        headerLine("Time run:", dateText(now.date()) + QLatin1Char(' ') + clockText(now.time())),
        headerLine("Application:", format.programName),
        headerLine("Version:", format.version + QStringLiteral(" (Release)")),
        headerLine("QT version:", QStringLiteral(QT_VERSION_STR)),
        headerLine("Path/File name:", format.programPath),
        headerLine("Computer:", format.computer),
        headerLine("User:", format.user),
        kAsterisks,
        QString(),
        QStringLiteral("Events:"),
    };
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void MLogSystem::setLogFile(const QString& path)
{
    if (path.isEmpty())
        return;
    const QFileInfo info(path);
    const QString dir = QDir::cleanPath(info.absolutePath());
    const QString newPath = dir + QLatin1Char('/') + info.baseName() + QStringLiteral(".log");
    QMutexLocker fileLock(&m_fileLock);
    QStringList pending;
    {
        QMutexLocker lock(&m_lock);
        if (newPath == m_path)
            return;
        pending = m_pending;
    }
    const bool made = QDir().mkpath(dir);
    const bool written = made && (pending.isEmpty() || m_writer(newPath, pending));
    QMutexLocker lock(&m_lock);
    if (!made) {
        m_error = true;
        return;
    }
    m_path = newPath;
    m_error = !written;
    if (written)
        m_pending.clear();
}

QString MLogSystem::logFile() const
{
    QMutexLocker lock(&m_lock);
    return m_path;
}

QString MLogSystem::archiveName(const QString& path, const QDate& today) const
{
    QMutexLocker lock(&m_lock);
    return QFileInfo(path).absolutePath() + QLatin1Char('/') + m_programName + QLatin1Char('_') +
           today.toString(QStringLiteral("MMyyyy")) + QStringLiteral(".log");
}

void MLogSystem::archiveLog(const QString& path, const QDate& today, qint64 maxBytes) const
{
    if (!QFile::exists(path))
        return;
    const QString archive = archiveName(path, today);
    if (!QFile::exists(archive)) {
        QFile::rename(path, archive);
    } else {
        QFile target(archive);
        QFile source(path);
        if (!target.open(QIODevice::Append) || !source.open(QIODevice::ReadOnly))
            return;
        while (!source.atEnd())
            target.write(source.read(1 << 16));
        target.close();
        source.close();
        QFile::remove(path);
    }
    boundArchives(archive, maxBytes);
}

void MLogSystem::boundArchives(const QString& current, qint64 maxBytes) const
{
    const QFileInfo info(current);
    QString pattern;
    {
        QMutexLocker lock(&m_lock);
        pattern = m_programName + QStringLiteral("_??????.log");
    }
    // The other months' archives, oldest first, go until the bound holds.
    QFileInfoList others = info.absoluteDir().entryInfoList({pattern}, QDir::Files, QDir::Time |
                                                                                    QDir::Reversed);
    qint64 total = 0;
    for (const QFileInfo& file : std::as_const(others))
        total += file.size();
    for (const QFileInfo& file : std::as_const(others)) {
        if (total <= maxBytes)
            break;
        if (file.absoluteFilePath() == info.absoluteFilePath())
            continue;
        total -= file.size();
        QFile::remove(file.absoluteFilePath());
    }
    // The current month's archive alone over the bound keeps its newest half, from a line's
    // start.
    QFile archive(current);
    if (archive.size() <= maxBytes || !archive.open(QIODevice::ReadOnly))
        return;
    archive.seek(archive.size() - maxBytes / 2);
    archive.readLine();
    const QByteArray kept = archive.readAll();
    archive.close();
    QSaveFile trimmed(current);
    if (trimmed.open(QIODevice::WriteOnly)) {
        trimmed.write(kept);
        trimmed.commit();
    }
}

void MLogSystem::boundLiveLog(const QString& path)
{
    QFile live(path);
    if (live.size() <= m_maxLiveBytes || !live.open(QIODevice::ReadOnly))
        return;
    // In pieces: the log's size in memory would be a flood of its own.
    const auto copy = [&live](QIODevice& to, qint64 until) {
        while (live.pos() < until && !live.atEnd())
            if (to.write(live.read(std::min<qint64>(until - live.pos(), 1 << 16))) < 0)
                return false;
        return true;
    };
    // The log keeps the newest half of its bound, from a line's start.
    live.seek(live.size() - m_maxLiveBytes / 2);
    live.readLine();
    const qint64 half = live.pos();
    live.seek(0);
    const QString archive = archiveName(path, QDate::currentDate());
    QFile target(archive);
    if (!target.open(QIODevice::Append) || !copy(target, half))
        return;
    target.close();
    QSaveFile kept(path);
    if (kept.open(QIODevice::WriteOnly) && copy(kept, live.size()))
        kept.commit();
    boundArchives(archive, MaxArchiveBytes);
}

QString MLogSystem::hexEntryText(const QByteArray& mes)
{
    QString hex = QString::fromLatin1(mes.toHex());
    if (mes.size() > 8)
        hex.insert(6, QLatin1Char('\n'));
    if (mes.size() > 2)
        hex.insert(2, QLatin1Char('\n'));
    return hex;
}

void MLogSystem::intLogHexWrite(const QByteArray& mes, bool send, const QDateTime& time)
{
    if (isSwitchOn(SwitchHexOff))
        return;
    QMutexLocker fileLock(&m_fileLock);
    bool started = false;
    QString path;
    {
        QMutexLocker lock(&m_lock);
        started = m_hexStarted;
        path = m_hexPath;
    }
    QStringList texts;
    if (!started)
        texts.append(buildHeader(format()));
    const QString title =
        send ? QStringLiteral("--> Send [%2] [%3]") : QStringLiteral("--< Read [%2] [%3]");
    texts.append(title.arg(dateText(time.date()), clockText(time.time())) + QLatin1Char('\n') +
                 hexEntryText(mes) + QLatin1Char('\n'));
    const bool written = path.isEmpty() || m_writer(path, texts);
    QMutexLocker lock(&m_lock);
    if (path.isEmpty())
        m_hexPending.append(texts);
    if (written)
        m_hexStarted = true;
}

void MLogSystem::setHexLogDir(const QString& dir)
{
    QMutexLocker fileLock(&m_fileLock);
    QString path;
    QStringList pending;
    {
        QMutexLocker lock(&m_lock);
        path = QDir(dir).absolutePath() + QLatin1Char('/') + m_programName + QLatin1Char('.') +
               tr("unknow.ip") + QStringLiteral(".hex.log");
        m_hexPath = path;
        pending = m_hexPending;
    }
    if (QDir().mkpath(dir) && m_writer(path, pending)) {
        QMutexLocker lock(&m_lock);
        m_hexPending.clear();
    }
}

QString MLogSystem::hexLogFile() const
{
    QMutexLocker lock(&m_lock);
    return m_hexPath;
}

void MLogSystem::setMinimumLevel(int level)
{
    QMutexLocker lock(&m_lock);
    m_minimumLevel = level;
}

void MLogSystem::setTimeStampMode(TimeStampMode mode)
{
    m_mode = mode;
}

void MLogSystem::restartClock()
{
    m_clockStartMs = monotonicMs();
}

void MLogSystem::setSwitch(Switch sw, bool on)
{
    QMutexLocker lock(&m_lock);
    if (on)
        m_switches |= 1u << sw;
    else
        m_switches &= ~(1u << sw);
}

bool MLogSystem::isSwitchOn(Switch sw) const
{
    return (m_switches & (1u << sw)) != 0;
}

void MLogSystem::setLineFormat(const QString& format)
{
    QMutexLocker lock(&m_lock);
    m_lineFormat = format;
}

void MLogSystem::setProgramName(const QString& baseName)
{
    QMutexLocker lock(&m_lock);
    m_programName = baseName;
    takeIdentity();
}

bool MLogSystem::hasError() const
{
    QMutexLocker lock(&m_lock);
    return m_error;
}

int MLogSystem::lineCounter() const
{
    QMutexLocker lock(&m_lock);
    return m_lineCounter;
}

void MLogSystem::waitForIdle()
{
    {
        QMutexLocker lock(&m_queueLock);
        m_writeNow = true;
        m_writeNowAsked.wakeAll();
    }
    m_worker.waitForDone();
    QMutexLocker lock(&m_queueLock);
    m_writeNow = false;
}

void MLogSystem::setEchoToStandardError(bool echo)
{
    g_echoToStandardError = echo;
}

void MLogSystem::setDebugTraces(bool log, bool echo)
{
    g_logDebugTraces = log;
    g_echoDebugTraces = echo;
}

QtMessageHandler MLogSystem::installMessageHandler(MLogSystem* target)
{
    QWriteLocker lock(&g_handlerTargetLock);
    g_handlerTarget = target;
    return qInstallMessageHandler(&MLogSystem::messageHandler);
}

void MLogSystem::messageHandler(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    const char* format = "Debug: %1";
    MLogSystem_EventLevel level = LogInfo;
    bool echo = g_echoToStandardError;
    switch (type) {
    case QtDebugMsg:
    case QtInfoMsg:
        if (!g_logDebugTraces && !(echo && g_echoDebugTraces))
            return;
        echo = echo && g_echoDebugTraces;
        break;
    case QtWarningMsg:
        format = "Warning: %1";
        level = LogWarning;
        break;
    case QtCriticalMsg:
        format = "Critical: %1";
        level = LogError;
        break;
    case QtFatalMsg:
        format = "Fatal: %1";
        level = LogError;
        break;
    }
    if (echo) {
        const QByteArray line = QString::fromLatin1(format).arg(text).toLocal8Bit();
        std::fprintf(stderr, "%s\n", line.constData());
    }
    if ((type == QtDebugMsg || type == QtInfoMsg) && !g_logDebugTraces)
        return;
    QReadLocker lock(&g_handlerTargetLock);
    MLogSystem* target = g_handlerTarget.load();
    if (!target)
        return;
    target->logWrite(QCoreApplication::translate("messageHandler", format).arg(text), level);
    if (type == QtFatalMsg)
        target->waitForIdle();
}
