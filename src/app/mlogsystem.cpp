#include "mlogsystem.h"

#include "pathworks.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QTextStream>
#include <QThread>

#include <cstdio>

namespace {

const QString kAsterisks(90, QLatin1Char('*'));

// The object that receives the toolkit's messages; cleared when it is destroyed.
std::atomic<MLogSystem*> g_handlerTarget{nullptr};
std::atomic<bool> g_echoToStandardError{true};

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

// hh:mm:ss.zzz and dd.MM.yyyy from the numbers: the closing lines are written during static
// destruction, when the toolkit's calendar registry behind QDateTime::toString is gone.
QString clockText(const QTime& time)
{
    return QString::asprintf("%02d:%02d:%02d.%03d", time.hour(), time.minute(), time.second(),
                             time.msec());
}

QString dateText(const QDate& date)
{
    return QString::asprintf("%02d.%02d.%04d", date.day(), date.month(), date.year());
}

QString environmentOr(const char* name, const QString& fallback)
{
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? fallback : value;
}

} // namespace

MLogSystem::MLogSystem(QObject* parent) : QObject(parent)
{
    m_worker.setMaxThreadCount(1);
    m_worker.setExpiryTimeout(5000);
    m_switches =
        (1u << SwitchTime) | (1u << SwitchDate) | (1u << SwitchLineNumber) | (1u << SwitchHeader);
    m_programName = MPathWorks::programBaseName();
    m_clock.start();
}

MLogSystem::~MLogSystem()
{
    MLogSystem* self = this;
    g_handlerTarget.compare_exchange_strong(self, nullptr);
    // Queued lines still get their header: the destroyed mark comes after the queue is empty.
    m_worker.waitForDone();
    m_destroyed = true;
    if (isSwitchOn(SwitchLogOff))
        return;
    const QDateTime now = QDateTime::currentDateTime();
    intLogWrite(QStringLiteral("SystemLog: Log object destroed."), LogSystem, now);
    intLogWrite(QStringLiteral("#Line"), LogSystem, now);
    intLogWrite(QStringLiteral("#CR"), LogSystem, now);
}

MLogSystem* MLogSystem::instance()
{
    static MLogSystem log;
    return &log;
}

void MLogSystem::logWrite(const QString& mes, MLogSystem_EventLevel lev)
{
    if (m_destroyed)
        return;
    Q_EMIT stringWrited(mes, lev);
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    qint64 elapsed = WallClockLine;
    {
        // The stamp is the moment of the call: the worker may format the line later, after
        // the mode has changed.
        QMutexLocker lock(&m_lock);
        if (m_mode == StartUp)
            elapsed = m_clock.elapsed();
    }
    // Lines queue up while the worker writes; it takes all of them with one opening of the
    // file, so a burst of debug lines costs one write instead of one per line.
    bool schedule = false;
    {
        QMutexLocker lock(&m_queueLock);
        m_queue.push_back({mes, lev, now, elapsed});
        schedule = !m_drainScheduled;
        m_drainScheduled = true;
    }
    if (schedule)
        m_worker.start([this] { drainQueue(); });
}

void MLogSystem::logHexWrite(const QByteArray& mes, bool send)
{
    if (m_destroyed)
        return;
    const QDateTime now = QDateTime::currentDateTime();
    m_worker.start([this, mes, send, now] { intLogHexWrite(mes, send, now); });
}

void MLogSystem::clearLog()
{
    QMutexLocker lock(&m_lock);
    m_started = false;
    m_lineCounter = 0;
}

void MLogSystem::intLogWrite(const QString& mes, MLogSystem_EventLevel lev, const QDateTime& time,
                             qint64 elapsedMs)
{
    writeLines({{mes, lev, time.toMSecsSinceEpoch(), elapsedMs}});
}

void MLogSystem::drainQueue()
{
    // A burst (the per-byte trace, an item dump) gathers for a moment and is written at
    // once, so the worker wakes a few hundred times a second rather than once per line.
    QThread::msleep(GatherMs);
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

void MLogSystem::writeLines(const std::vector<QueuedLine>& lines)
{
    QStringList texts;
    {
        QMutexLocker lock(&m_lock);
        const bool startedBefore = m_started;
        const int counterBefore = m_lineCounter;
        for (const QueuedLine& line : lines) {
            if (isSwitchOn(SwitchLogOff) || line.level < m_minimumLevel)
                continue;
            if (!m_started && isSwitchOn(SwitchHeader))
                texts.append(buildHeader());
            const QString marker = line.text.toLower();
            const bool counted = marker != QLatin1String("#cr") &&
                                 marker != QLatin1String("#header") &&
                                 marker != QLatin1String("#line");
            if (marker == QLatin1String("#cr"))
                texts.append(QStringLiteral("\n"));
            else if (marker == QLatin1String("#header"))
                texts.append(buildHeader());
            else if (marker == QLatin1String("#line"))
                texts.append(kAsterisks + QLatin1Char('\n'));
            else
                texts.append(formatLine(line.text, line.level,
                                        QDateTime::fromMSecsSinceEpoch(line.epochMs),
                                        line.elapsedMs != NowElapsed ? line.elapsedMs
                                        : m_mode == StartUp          ? m_clock.elapsed()
                                                                     : WallClockLine,
                                        m_lineCounter + 1));
            m_started = true;
            if (counted)
                ++m_lineCounter;
        }
        if (texts.isEmpty())
            return;
        if (m_path.isEmpty()) {
            m_pending.append(texts);
        } else if (!appendToFile(m_path, texts)) {
            // The lines are lost; the header comes with the next line that reaches the file.
            m_error = true;
            m_started = startedBefore;
            m_lineCounter = counterBefore;
            return;
        } else {
            m_error = false;
        }
    }
    for (const QString& text : std::as_const(texts))
        Q_EMIT stringWrited(text);
}

QString MLogSystem::formatLine(const QString& mes, MLogSystem_EventLevel lev, const QDateTime& time,
                               qint64 elapsedMs, int number) const
{
    QString line;
    for (const QChar field : m_lineFormat) {
        switch (field.unicode()) {
        case '#':
            if (isSwitchOn(SwitchLineNumber))
                line += QStringLiteral("%1: ").arg(number, 5, 10, QLatin1Char('0'));
            break;
        case 'e':
            line += QStringLiteral("{%1} ").arg(int(lev));
            break;
        case 't':
            if (!isSwitchOn(SwitchTime))
                break;
            if (elapsedMs < 0)
                line += QStringLiteral("[%1] ").arg(clockText(time.time()));
            else
                line += QStringLiteral("[%1] ").arg(elapsedMs, 6, 10, QLatin1Char('0'));
            break;
        case 'd':
            if (isSwitchOn(SwitchDate) && elapsedMs < 0)
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
    QMutexLocker lock(&m_lock);
    return buildHeader();
}

QString MLogSystem::buildHeader() const
{
    if (m_destroyed)
        return QString();
    const QStringList lines = {
        QString(),
        kAsterisks,
        headerLine("Time run:", QDateTime::currentDateTime().toString(
                                    QStringLiteral("dd.MM.yyyy hh:mm:ss.zzz"))),
        headerLine("Application:", m_programName),
        headerLine("Version:",
                   QCoreApplication::applicationVersion() + QStringLiteral(" (Release)")),
        headerLine("QT version:", QStringLiteral(QT_VERSION_STR)),
        headerLine("Path/File name:", MPathWorks::programPath()),
        headerLine("Computer:", environmentOr("COMPUTERNAME", QSysInfo::machineHostName())),
        headerLine("User:", environmentOr("USERNAME",
                                          environmentOr("USER", qEnvironmentVariable("LOGNAME")))),
        kAsterisks,
        QString(),
        QStringLiteral("Events:"),
    };
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void MLogSystem::setLogFile(const QString& path)
{
    QMutexLocker lock(&m_lock);
    if (path.isEmpty() || path == m_path)
        return;
    const QFileInfo info(path);
    const QString dir = QDir::cleanPath(info.absolutePath());
    const QString newPath = dir + QLatin1Char('/') + info.baseName() + QStringLiteral(".log");
    if (newPath == m_path)
        return;
    if (!QDir().mkpath(dir)) {
        m_error = true;
        return;
    }
    m_path = newPath;
    m_error = !m_pending.isEmpty() && !appendToFile(m_path, m_pending);
    if (!m_error)
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

void MLogSystem::archiveLog(const QString& path, const QDate& today) const
{
    if (!QFile::exists(path))
        return;
    const QString archive = archiveName(path, today);
    if (!QFile::exists(archive)) {
        QFile::rename(path, archive);
        return;
    }
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
    QMutexLocker lock(&m_lock);
    if (isSwitchOn(SwitchHexOff))
        return;
    QStringList texts;
    if (!m_hexStarted)
        texts.append(buildHeader());
    const QString title =
        send ? QStringLiteral("--> Send [%2] [%3]") : QStringLiteral("--< Read [%2] [%3]");
    texts.append(title.arg(dateText(time.date()), clockText(time.time())) + QLatin1Char('\n') +
                 hexEntryText(mes) + QLatin1Char('\n'));
    if (m_hexPath.isEmpty())
        m_hexPending.append(texts);
    else if (!appendToFile(m_hexPath, texts))
        return;
    m_hexStarted = true;
}

void MLogSystem::setHexLogDir(const QString& dir)
{
    QMutexLocker lock(&m_lock);
    m_hexPath = QDir(dir).absolutePath() + QLatin1Char('/') + m_programName + QLatin1Char('.') +
                tr("unknow.ip") + QStringLiteral(".hex.log");
    if (QDir().mkpath(dir) && appendToFile(m_hexPath, m_hexPending))
        m_hexPending.clear();
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
    QMutexLocker lock(&m_lock);
    m_mode = mode;
}

void MLogSystem::restartClock()
{
    QMutexLocker lock(&m_lock);
    m_clock.restart();
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
    m_worker.waitForDone();
}

void MLogSystem::setEchoToStandardError(bool echo)
{
    g_echoToStandardError = echo;
}

QtMessageHandler MLogSystem::installMessageHandler(MLogSystem* target)
{
    g_handlerTarget = target;
    return qInstallMessageHandler(&MLogSystem::messageHandler);
}

void MLogSystem::messageHandler(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    const char* format = "Debug: %1";
    MLogSystem_EventLevel level = LogInfo;
    switch (type) {
    case QtDebugMsg:
    case QtInfoMsg:
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
    const QString line = QCoreApplication::translate("messageHandler", format).arg(text);
    if (g_echoToStandardError) {
        std::fputs(QString::fromLatin1(format).arg(text).toLocal8Bit().constData(), stderr);
        std::fputc('\n', stderr);
    }
    MLogSystem* target = g_handlerTarget.load();
    if (!target)
        return;
    target->logWrite(line, level);
    if (type == QtFatalMsg)
        target->waitForIdle();
}
