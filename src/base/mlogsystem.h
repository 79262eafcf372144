#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QThreadPool>
#include <QWaitCondition>

#include <atomic>
#include <functional>
#include <vector>

// Level written into every log line.
enum MLogSystem_EventLevel : int
{
    LogPlain = 0,   // plain messages
    LogInfo = 1,    // information; toolkit debug messages
    LogStage = 2,   // stages of start-up
    LogSystem = 3,  // the log system's own closing lines
    LogWarning = 4, // toolkit warnings
    LogError = 5,   // errors; toolkit critical and fatal messages
};

// The program's event log: numbers and time-stamps messages from any thread and appends
// them, on one worker thread, to one file per run; folds the previous run's file into a
// monthly archive; captures the toolkit's messages through a message handler.
// A program owns one in main, after its application object, and ends it with close()
// before that object goes. The worker formats and writes without holding the lock that
// logWrite takes, so a message raised while a line is written is queued like any other.
class MLogSystem : public QObject
{
    Q_OBJECT

public:
    // Numbered switches; only the numbers are part of the file format.
    enum Switch
    {
        SwitchTime = 0,
        SwitchDate = 1,
        SwitchLineNumber = 2,
        SwitchHeader = 4,
        SwitchLogOff = 7,
        SwitchHexOff = 9,
    };
    enum TimeStampMode
    {
        WallClock,
        StartUp
    };

    // Writes texts to the end of the file at path; false when it cannot.
    using FileWriter = std::function<bool(const QString& path, const QStringList& texts)>;

    explicit MLogSystem(QObject* parent = nullptr);
    // Closes the log if close() has not.
    ~MLogSystem() override;

    // The end of the log: takes the message handler's target away, writes every queued
    // line, then the closing lines, and stops the worker. Later lines are dropped.
    void close();
    // Tests hold the worker inside its write, or raise a message from there.
    void setFileWriter(FileWriter writer);

    void setLogFile(const QString& path);
    QString logFile() const;
    // Folds an existing log file at path into its monthly archive (named for `today`), then
    // keeps the program's archives within `maxBytes` together: the oldest months' files go
    // first, and a current month's file alone over the bound loses its oldest lines.
    static constexpr qint64 MaxArchiveBytes = 50 * 1024 * 1024;
    void archiveLog(const QString& path, const QDate& today = QDate::currentDate(),
                    qint64 maxBytes = MaxArchiveBytes) const;
    QString archiveName(const QString& path, const QDate& today) const;
    // The live log at most, while the program runs: past it, its older half goes to the
    // archive (which keeps its own bound), and the log keeps the newer half.
    static constexpr qint64 MaxLiveBytes = 50 * 1024 * 1024;
    void setMaxLiveBytes(qint64 bytes) { m_maxLiveBytes = bytes; }
    QString header() const;

    void setHexLogDir(const QString& dir);
    QString hexLogFile() const;

    void setMinimumLevel(int level);
    void setTimeStampMode(TimeStampMode mode);
    void restartClock();
    void setSwitch(Switch sw, bool on);
    bool isSwitchOn(Switch sw) const;
    void setLineFormat(const QString& format);
    // The program's name in the header; the version and path the header shows are taken
    // with it, once, so that the worker never asks the toolkit for them.
    void setProgramName(const QString& baseName);
    bool hasError() const;
    int lineCounter() const;

    // Blocks until every queued write job has run; lines gathering are written at once.
    void waitForIdle();

    // Routes the toolkit's messages to `target`; returns the handler installed before.
    static QtMessageHandler installMessageHandler(MLogSystem* target);
    // The handler echoes every message to standard error unless a program whose output is
    // its interface (the command-line program) turns that off.
    static void setEchoToStandardError(bool echo);
    // Debug traces (the toolkit's debug and info messages) are logged unless a program turns
    // them off, and echoed to standard error only when turned on.
    static void setDebugTraces(bool log, bool echo);
    static void messageHandler(QtMsgType type, const QMessageLogContext& context,
                               const QString& text);

public Q_SLOTS:
    void logWrite(const QString& mes, MLogSystem_EventLevel lev = LogPlain);
    void logHexWrite(const QByteArray& mes, bool send);
    void clearLog();
    // elapsedMs: the elapsed clock when the line was logged in start-up mode; negative for a
    // line logged in wall-clock mode; absent: the mode and clock of the moment of writing.
    void intLogWrite(const QString& mes, MLogSystem_EventLevel lev, const QDateTime& time,
                     qint64 elapsedMs = NowElapsed);
    void intLogHexWrite(const QByteArray& mes, bool send, const QDateTime& time);

Q_SIGNALS:
    void stringWrited(const QString& mes);
    void stringWrited(const QString& mes, MLogSystem_EventLevel lev);

private:
    void boundArchives(const QString& current, qint64 maxBytes) const;
    // Moves the older half of the live log at `path` to the archive when it has outgrown
    // m_maxLiveBytes. With the file lock held.
    void boundLiveLog(const QString& path);
    struct QueuedLine
    {
        QString text;
        MLogSystem_EventLevel level;
        // Milliseconds since the epoch: the local time is worked out by the worker, since
        // the conversion costs the caller more than the rest of the call.
        qint64 epochMs;
        qint64 elapsedMs;
    };
    // Writes the lines in order with one opening of the file; a failed write loses them all
    // and advances neither the line counter nor the started mark.
    void writeLines(const std::vector<QueuedLine>& lines);
    void drainQueue();
    void takeIdentity();
    qint64 clockElapsed() const;

    // How long a burst of lines gathers before it is written: the worker wakes at most this
    // often under a steady stream (a dump's debug lines every few milliseconds), since every
    // wake-up on the two cores of a terminal takes its time from the line's turnarounds.
    static constexpr int GatherMs = 50;
    static constexpr qint64 NowElapsed = -2;
    static constexpr qint64 WallClockLine = -1;
    // What formatting reads, copied under the lock so that the worker formats without it.
    struct Format
    {
        QString lineFormat;
        QString programName;
        QString version;
        QString programPath;
        QString computer;
        QString user;
        unsigned switches = 0;
        bool on(Switch sw) const { return (switches & (1u << sw)) != 0; }
    };
    Format format() const;
    Format formatLocked() const; // with m_lock held
    static QString formatLine(const Format& format, const QString& mes, MLogSystem_EventLevel lev,
                              const QDateTime& time, qint64 elapsedMs, int number);
    static QString buildHeader(const Format& format);
    static QString hexEntryText(const QByteArray& mes);

    mutable QMutex m_lock;   // the state below; never held while formatting or writing
    QMutex m_fileLock;       // one writer of the files at a time; logWrite never takes it
    FileWriter m_writer;
    bool m_error = false;
    bool m_started = false;
    bool m_hexStarted = false;
    std::atomic<bool> m_closed{false};
    int m_lineCounter = 0;
    int m_resets = 0; // clearLog calls, so that a write in flight does not undo one
    int m_minimumLevel = 0;
    std::atomic<unsigned> m_switches{0};
    std::atomic<int> m_mode{WallClock};
    std::atomic<qint64> m_clockStartMs{0}; // on the monotonic clock
    QString m_lineFormat = QStringLiteral("#etdl");
    QString m_path;
    QString m_hexPath;
    QString m_programName;
    QString m_version;
    QString m_programPath;
    QString m_computer;
    QString m_user;
    QStringList m_pending;
    QStringList m_hexPending;
    QMutex m_queueLock;
    std::vector<QueuedLine> m_queue;
    bool m_drainScheduled = false;
    bool m_writeNow = false;   // waitForIdle or close wants the gathering lines written
    QWaitCondition m_writeNowAsked;
    std::atomic<qint64> m_maxLiveBytes{MaxLiveBytes};
    qint64 m_writtenSinceLook = 0; // characters written since the live log's size was read
    // Last, so it is destroyed first: its jobs use every member above.
    QThreadPool m_worker;
};
