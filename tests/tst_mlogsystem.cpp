#include "base/mlogsystem.h"
#include "testsupport.h"

#include <QRegularExpression>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <memory>
#include <thread>

using testsupport::readLines;

namespace {

// The worker's write, as a test's file writer does it.
bool appendTexts(const QString& path, const QStringList& texts)
{
    QFile file(path);
    if (!file.open(QIODevice::Append | QIODevice::Text))
        return false;
    for (const QString& text : texts)
        file.write(text.toUtf8());
    return true;
}

} // namespace

class TestMLogSystem : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

    // The event lines of a log file: what follows the header's "Events:" line.
    static QStringList events(const QStringList& lines)
    {
        const int start = int(lines.indexOf(QStringLiteral("Events:")));
        return start < 0 ? QStringList() : lines.mid(start + 1);
    }

    // Lines of the form "00001: {0} text", so tests can compare them whole.
    static void withoutTimeStamps(MLogSystem& log, const QString& file)
    {
        log.setSwitch(MLogSystem::SwitchTime, false);
        log.setSwitch(MLogSystem::SwitchDate, false);
        log.setLogFile(file);
    }

private Q_SLOTS:
    void headerBlock()
    {
        MLogSystem log;
        log.setProgramName(QStringLiteral("velkor"));
        const QStringList lines = log.header().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 13); // twelve lines and the final line end
        QCOMPARE(lines[0], QString());
        QCOMPARE(lines[1], QString(90, QLatin1Char('*')));
        QCOMPARE(lines[9], QString(90, QLatin1Char('*')));
        QCOMPARE(lines[11], QStringLiteral("Events:"));
        const QStringList labels = {"Time run:",       "Application:", "Version:", "QT version:",
                                    "Path/File name:", "Computer:",    "User:"};
        for (int i = 0; i < labels.size(); ++i) {
            QVERIFY2(lines[i + 2].startsWith(labels[i]), qPrintable(lines[i + 2]));
            QCOMPARE(lines[i + 2].mid(labels[i].size(), 20 - labels[i].size()).trimmed(),
                     QString());
        }
        QCOMPARE(lines[3].mid(20), QStringLiteral("velkor"));
        QVERIFY(lines[4].endsWith(QStringLiteral(" (Release)")));
        QVERIFY(QRegularExpression(
                    QStringLiteral("^\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d\\.\\d{3}$"))
                    .match(lines[2].mid(20))
                    .hasMatch());
    }

    void lineFormat_data()
    {
        QTest::addColumn<bool>("startUpMode");
        QTest::addColumn<QList<int>>("switchesOff");
        QTest::addColumn<QString>("pattern");
        QTest::newRow("wall clock, all fields")
            << false << QList<int>{}
            << "^00001: \\{1\\} \\[\\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\] \\[\\d\\d\\.\\d\\d\\.\\d{4}\\] "
               "hello$";
        QTest::newRow("start-up mode leaves the date out")
            << true << QList<int>{} << "^00001: \\{1\\} \\[\\d{6}\\] hello$";
        QTest::newRow("no line number") << false << QList<int>{MLogSystem::SwitchLineNumber}
                                        << "^\\{1\\} \\[[0-9:.]{12}\\] \\[[0-9.]{10}\\] hello$";
        QTest::newRow("no time, no date")
            << false << QList<int>{MLogSystem::SwitchTime, MLogSystem::SwitchDate}
            << "^00001: \\{1\\} hello$";
    }
    void lineFormat()
    {
        QFETCH(bool, startUpMode);
        QFETCH(QList<int>, switchesOff);
        QFETCH(QString, pattern);
        const QString file = path(QStringLiteral("format_%1.log")
                                      .arg(QTest::currentDataTag())
                                      .remove(QLatin1Char(' '))
                                      .remove(QLatin1Char(',')));
        {
            MLogSystem log;
            log.setTimeStampMode(startUpMode ? MLogSystem::StartUp : MLogSystem::WallClock);
            for (int sw : switchesOff)
                log.setSwitch(MLogSystem::Switch(sw), false);
            log.setLogFile(file);
            log.logWrite(QStringLiteral("hello"), LogInfo);
            log.logWrite(QStringLiteral("again"), LogError);
            log.waitForIdle();
            const QStringList lines = events(readLines(file));
            QVERIFY2(QRegularExpression(pattern).match(lines.value(0)).hasMatch(),
                     qPrintable(lines.value(0)));
            QVERIFY(lines.value(1).contains(QStringLiteral("{5} ")));
            QCOMPARE(log.lineCounter(), 2); // counted whether or not numbers are shown
        }
    }

    void linesBeforeTheFileArriveAfterTheHeaderInOrder()
    {
        const QString file = path(QStringLiteral("pending.log"));
        MLogSystem log;
        log.setTimeStampMode(MLogSystem::StartUp);
        log.restartClock();
        for (int i = 1; i <= 5; ++i)
            log.logWrite(QStringLiteral("early %1").arg(i), LogInfo);
        log.waitForIdle();
        QVERIFY(!QFile::exists(file));
        log.setLogFile(path(QStringLiteral("sub/dir/../../pending.ext.txt")));
        QCOMPARE(log.logFile(),
                 QFileInfo(file).absoluteFilePath()); // base name up to the first dot
        const QStringList lines = readLines(file);
        QCOMPARE(lines.value(0), QString());
        QCOMPARE(lines.value(1), QString(90, QLatin1Char('*')));
        const QStringList ev = events(lines);
        for (int i = 1; i <= 5; ++i)
            QVERIFY2(
                QRegularExpression(QStringLiteral("^0000%1: \\{1\\} \\[\\d{6}\\] early %1$").arg(i))
                    .match(ev.value(i - 1))
                    .hasMatch(),
                qPrintable(ev.value(i - 1)));
    }

    void markers_data()
    {
        QTest::addColumn<QString>("marker");
        QTest::addColumn<QStringList>("written");
        QTest::newRow("#LINE") << "#LINE" << QStringList{QString(90, QLatin1Char('*'))};
        QTest::newRow("#cr") << "#cr" << QStringList{QString()};
        QTest::newRow("#Header") << "#Header"
                                 << QStringList{QString(), QString(90, QLatin1Char('*'))};
    }
    void markers()
    {
        QFETCH(QString, marker);
        QFETCH(QStringList, written);
        const QString file = path(
            QStringLiteral("marker%1.log").arg(QTest::currentDataTag()).remove(QLatin1Char('#')));
        MLogSystem log;
        withoutTimeStamps(log, file);
        log.logWrite(QStringLiteral("one"));
        log.logWrite(marker);
        log.logWrite(QStringLiteral("two"));
        log.waitForIdle();
        const QStringList ev = events(readLines(file));
        QCOMPARE(ev.value(0), QStringLiteral("00001: {0} one"));
        for (int i = 0; i < written.size(); ++i)
            QCOMPARE(ev.value(1 + i), written[i]);
        QCOMPARE(ev.value(1 + written.size() + (marker == "#Header" ? 10 : 0)),
                 QStringLiteral("00002: {0} two"));
    }

    void minimumLevelDropsLowerLevels()
    {
        const QString file = path(QStringLiteral("level.log"));
        MLogSystem log;
        log.setMinimumLevel(LogWarning);
        log.setLogFile(file);
        log.logWrite(QStringLiteral("info"), LogInfo);
        log.logWrite(QStringLiteral("warning"), LogWarning);
        log.waitForIdle();
        const QStringList ev = events(readLines(file));
        QVERIFY(ev.value(0).startsWith(QStringLiteral("00001: {4} ")));
        QVERIFY(ev.value(0).endsWith(QStringLiteral("warning")));
    }

    void clearLogStartsNumberingAndHeaderAgainInTheSameFile()
    {
        const QString file = path(QStringLiteral("clear.log"));
        MLogSystem log;
        log.setLogFile(file);
        log.logWrite(QStringLiteral("a"));
        log.logWrite(QStringLiteral("b"));
        log.waitForIdle();
        log.clearLog();
        log.logWrite(QStringLiteral("c"));
        log.waitForIdle();
        const QStringList lines = readLines(file);
        QCOMPARE(lines.count(QStringLiteral("Events:")), 2);
        const QStringList second = events(lines.mid(lines.indexOf(QStringLiteral("Events:")) + 1));
        QVERIFY(second.value(0).startsWith(QStringLiteral("00001: {0} ")));
        QVERIFY(second.value(0).endsWith(QStringLiteral(" c")));
    }

    // The end of the log writes every line still queued, with the header, and then the
    // closing lines: by the destructor, or by close() while a slow disk holds the worker.
    void closingLinesAreTheLastOnes_data()
    {
        QTest::addColumn<int>("writeMs"); // how long each write of the worker takes
        QTest::addColumn<bool>("explicitClose");
        QTest::newRow("destroyed") << 0 << false;
        QTest::newRow("closed under a slow worker") << 30 << true;
    }
    void closingLinesAreTheLastOnes()
    {
        QFETCH(int, writeMs);
        QFETCH(bool, explicitClose);
        const QString file = path(QStringLiteral("closing%1.log").arg(writeMs));
        {
            MLogSystem log;
            if (writeMs > 0)
                log.setFileWriter([writeMs](const QString& to, const QStringList& texts) {
                    QThread::msleep(ulong(writeMs));
                    return appendTexts(to, texts);
                });
            log.setLogFile(file);
            for (int i = 0; i < 200; ++i) {
                log.logWrite(QStringLiteral("line %1").arg(i));
                if (i % 50 == 0)
                    QThread::msleep(5); // the worker is inside a write as lines keep coming
            }
            if (explicitClose) {
                log.close();
                log.logWrite(QStringLiteral("after the end"));
            }
        }
        const QStringList lines = readLines(file);
        QCOMPARE(lines.count(QStringLiteral("Events:")), 1);
        const QStringList ev = events(lines);
        for (int i = 0; i < 200; ++i)
            QVERIFY2(ev.value(i).endsWith(QStringLiteral(" line %1").arg(i)), qPrintable(ev.value(i)));
        // ... "SystemLog: ...", asterisks, the empty line of #CR, and the split's empty tail.
        QVERIFY(lines.value(lines.size() - 5).endsWith(QStringLiteral("line 199")));
        QVERIFY(lines.value(lines.size() - 4).contains(QStringLiteral(" {3} ")));
        QVERIFY(lines.value(lines.size() - 4)
                    .endsWith(QStringLiteral("SystemLog: Log object destroed.")));
        QCOMPARE(lines.value(lines.size() - 3), QString(90, QLatin1Char('*')));
        QCOMPARE(lines.value(lines.size() - 2), QString());
    }

    // close() while another thread keeps writing, directly and through the message handler:
    // nothing lands after the closing lines (run under the sanitizers too).
    void nothingAfterTheClosingLinesWhileAnotherThreadWrites()
    {
        const QString file = path(QStringLiteral("threadclose.log"));
        std::atomic<bool> stop{false};
        {
            MLogSystem log;
            log.setLogFile(file);
            MLogSystem::setEchoToStandardError(false);
            const QtMessageHandler previous = MLogSystem::installMessageHandler(&log);
            // The first line of the thread is held between the log's closed check and its
            // queue while close() runs.
            QSemaphore held;
            connect(
                &log, qOverload<const QString&, MLogSystem_EventLevel>(&MLogSystem::stringWrited),
                this,
                [&held](const QString& mes, MLogSystem_EventLevel) {
                    if (mes == QLatin1String("late line")) {
                        held.release();
                        QThread::msleep(60);
                    }
                },
                Qt::DirectConnection);
            std::thread writer([&log, &stop] {
                log.logWrite(QStringLiteral("late line"));
                while (!stop) {
                    log.logWrite(QStringLiteral("from the thread"));
                    qDebug("debug from the thread");
                }
            });
            held.acquire();
            log.close();
            QThread::msleep(100);
            stop = true;
            writer.join();
            qInstallMessageHandler(previous);
            MLogSystem::setEchoToStandardError(true);
        }
        const QStringList lines = readLines(file);
        QVERIFY2(lines.value(lines.size() - 4)
                     .endsWith(QStringLiteral("SystemLog: Log object destroed.")),
                 qPrintable(lines.value(lines.size() - 4)));
        QCOMPARE(lines.value(lines.size() - 3), QString(90, QLatin1Char('*')));
        QCOMPARE(lines.filter(QStringLiteral("SystemLog: Log object destroed.")).size(), 1);
        QVERIFY(lines.filter(QStringLiteral("late line")).isEmpty());
    }

    void linesStillQueuedAtDestructionGetTheirHeader()
    {
        const QString file = path(QStringLiteral("queued.log"));
        {
            MLogSystem log;
            log.setLogFile(file);
            log.logWrite(QStringLiteral("first"));
        }
        const QStringList lines = readLines(file);
        QCOMPARE(lines.value(1), QString(90, QLatin1Char('*')));
        QVERIFY(events(lines).value(0).endsWith(QStringLiteral(" first")));
    }

    void loggingOffWritesNothingNotEvenClosingLines()
    {
        const QString file = path(QStringLiteral("off.log"));
        {
            MLogSystem log;
            log.setLogFile(file);
            log.setSwitch(MLogSystem::SwitchLogOff, true);
            log.logWrite(QStringLiteral("ignored"));
        }
        QVERIFY(!QFile::exists(file));
    }

    void unusableDirectoryKeepsLinesUntilALaterFileWorks()
    {
        testsupport::writeBytes(path(QStringLiteral("blocker")), "x");
        MLogSystem log;
        log.logWrite(QStringLiteral("kept"));
        log.waitForIdle();
        log.setLogFile(path(QStringLiteral("blocker/sub/x.log")));
        QVERIFY(log.hasError());
        QVERIFY(log.logFile().isEmpty());
        log.setLogFile(path(QStringLiteral("later.log")));
        QVERIFY(!log.hasError());
        QVERIFY(events(readLines(path(QStringLiteral("later.log"))))
                    .value(0)
                    .endsWith(QStringLiteral(" kept")));
    }

    void aLineThatCannotBeWrittenIsLostButCountsNothing()
    {
        const QString file = path(QStringLiteral("blocked.log"));
        MLogSystem log;
        withoutTimeStamps(log, file);
        QVERIFY(QDir().mkdir(file)); // the file's name is taken by a directory
        log.logWrite(QStringLiteral("lost"));
        log.waitForIdle();
        QVERIFY(log.hasError());
        QCOMPARE(log.lineCounter(), 0);
        QVERIFY(QDir().rmdir(file));
        log.logWrite(QStringLiteral("written"));
        log.waitForIdle();
        QVERIFY(!log.hasError());
        const QStringList lines = readLines(file);
        QCOMPARE(lines.value(1), QString(90, QLatin1Char('*'))); // the header still comes first
        QCOMPARE(events(lines), (QStringList{QStringLiteral("00001: {0} written"), QString()}));
    }

    void archiveName_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QString>("name");
        QTest::newRow("January 2027") << QDate(2027, 1, 3) << "velkor_012027.log";
        QTest::newRow("December 2026") << QDate(2026, 12, 31) << "velkor_122026.log";
    }
    void archiveName()
    {
        QFETCH(QDate, today);
        QFETCH(QString, name);
        MLogSystem log;
        log.setProgramName(QStringLiteral("velkor"));
        QCOMPARE(log.archiveName(path(QStringLiteral("velkor.log")), today), path(name));
    }

    void archiving_data()
    {
        QTest::addColumn<bool>("archiveExists");
        QTest::addColumn<QByteArray>("archived");
        QTest::newRow("moved when there is no archive") << false << QByteArray("previous run\n");
        QTest::newRow("appended to an existing archive")
            << true << QByteArray("older runs\nprevious run\n");
    }
    void archiving()
    {
        QFETCH(bool, archiveExists);
        QFETCH(QByteArray, archived);
        QTemporaryDir dir;
        const QString current = dir.filePath(QStringLiteral("velkor.log"));
        const QString archive = dir.filePath(QStringLiteral("velkor_012027.log"));
        testsupport::writeBytes(current, "previous run\n");
        if (archiveExists)
            testsupport::writeBytes(archive, "older runs\n");
        MLogSystem log;
        log.setProgramName(QStringLiteral("velkor"));
        log.archiveLog(current, QDate(2027, 1, 3));
        QVERIFY(!QFile::exists(current));
        QCOMPARE(testsupport::readBytes(archive), archived);
        log.archiveLog(current, QDate(2027, 1, 3)); // nothing to archive: nothing changes
        QCOMPARE(testsupport::readBytes(archive), archived);
    }

    // The archives of a program stay within their bound: older months go first, oldest
    // first; the current month alone over it keeps its newest lines.
    void archivesStayBounded()
    {
        QTemporaryDir dir;
        const auto make = [&dir](const char* name, const QByteArray& bytes, int daysAgo) {
            const QString path = dir.filePath(QLatin1String(name));
            testsupport::writeBytes(path, bytes);
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(QDateTime::currentDateTime().addDays(-daysAgo),
                                     QFileDevice::FileModificationTime));
        };
        make("velkor_102026.log", QByteArray(60, 'a'), 60);
        make("velkor_112026.log", QByteArray(60, 'b'), 30);
        make("other_102026.log", QByteArray(60, 'c'), 90); // another program's: not counted
        const QString current = dir.filePath(QStringLiteral("velkor.log"));
        testsupport::writeBytes(current, "run 1\nrun 2\nrun 3\nrun 4\n");
        MLogSystem log;
        log.setProgramName(QStringLiteral("velkor"));
        log.archiveLog(current, QDate(2026, 12, 9), 100);
        QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("*.log")}, QDir::Files, QDir::Name),
                 (QStringList{"other_102026.log", "velkor_112026.log", "velkor_122026.log"}));
        testsupport::writeBytes(current, "run 5\n");
        log.archiveLog(current, QDate(2026, 12, 9), 20);
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("velkor_112026.log"))));
        QCOMPARE(testsupport::readBytes(dir.filePath(QStringLiteral("velkor_122026.log"))),
                 QByteArray("run 5\n"));
    }

    // A log that outgrows its bound while the program runs moves its older half, whole
    // lines, to the archive.
    void liveLogStaysBounded()
    {
        QTemporaryDir dir;
        const QString current = dir.filePath(QStringLiteral("velkor.log"));
        MLogSystem log;
        log.setProgramName(QStringLiteral("velkor"));
        log.setSwitch(MLogSystem::SwitchHeader, false);
        log.setMaxLiveBytes(64 * 1024);
        log.setLogFile(current);
        for (int i = 0; i < 20000; ++i)
            log.logWrite(QStringLiteral("line %1").arg(i));
        log.close();
        const QByteArray live = testsupport::readBytes(current);
        const QByteArray archived = testsupport::readBytes(
            log.archiveName(current, QDate::currentDate()));
        QVERIFY2(live.size() < 80 * 1024, qPrintable(QString::number(live.size())));
        QVERIFY(archived.endsWith('\n') && archived.contains("line 0\n"));
        QVERIFY(live.contains("line 19999\n"));
    }

    void messageHandlerWritesDebugLinesToTheLogAndStandardError()
    {
        const QString file = path(QStringLiteral("handler.log"));
        const QString errors = path(QStringLiteral("stderr.txt"));
        MLogSystem log;
        log.setLogFile(file);
        QtMessageHandler previous = nullptr;
        {
            testsupport::StderrCapture capture(errors);
            previous = MLogSystem::installMessageHandler(&log);
            qDebug("frCommand:timeout");
            qWarning("port lost");
            qInstallMessageHandler(previous);
        }
        log.waitForIdle();
        const QStringList ev = events(readLines(file));
        QVERIFY2(ev.value(0).startsWith(QStringLiteral("00001: {1} ")), qPrintable(ev.value(0)));
        QVERIFY(ev.value(0).endsWith(QStringLiteral(" Debug: frCommand:timeout")));
        QVERIFY(ev.value(1).startsWith(QStringLiteral("00002: {4} ")));
        QVERIFY(ev.value(1).endsWith(QStringLiteral(" Warning: port lost")));
        QCOMPARE(testsupport::readBytes(errors),
                 QByteArray("Debug: frCommand:timeout\nWarning: port lost\n"));
    }

    // A message raised while the worker writes (a warning of the file system) is queued like
    // any other line: the lock of the caller is not held there, so nothing deadlocks.
    void messageRaisedInsideTheWriteIsLogged()
    {
        const QString file = path(QStringLiteral("inside.log"));
        MLogSystem log;
        bool raised = false;
        log.setFileWriter([&raised](const QString& to, const QStringList& texts) {
            if (!std::exchange(raised, true))
                qWarning("disk is slow");
            return appendTexts(to, texts);
        });
        log.setLogFile(file);
        MLogSystem::setEchoToStandardError(false);
        const QtMessageHandler previous = MLogSystem::installMessageHandler(&log);
        log.logWrite(QStringLiteral("first"));
        log.waitForIdle();
        log.close();
        qInstallMessageHandler(previous);
        MLogSystem::setEchoToStandardError(true);
        const QStringList ev = events(readLines(file));
        QVERIFY2(ev.value(0).endsWith(QStringLiteral(" first")), qPrintable(ev.join('\n')));
        QVERIFY2(ev.value(1).endsWith(QStringLiteral(" Warning: disk is slow")),
                 qPrintable(ev.join('\n')));
    }

    // logWrite never waits for the disk: with the worker held inside its write, lines from
    // another thread are queued at once, and none is lost.
    void logWriteDoesNotWaitForTheWorkersWrite()
    {
        const QString file = path(QStringLiteral("held.log"));
        MLogSystem log;
        QSemaphore entered;
        QSemaphore release;
        log.setFileWriter([&](const QString& to, const QStringList& texts) {
            entered.release();
            release.acquire();
            return appendTexts(to, texts);
        });
        log.setLogFile(file);
        log.logWrite(QStringLiteral("held"));
        entered.acquire();
        std::unique_ptr<QThread> caller(QThread::create([&log] {
            for (int i = 0; i < 100; ++i)
                log.logWrite(QStringLiteral("queued %1").arg(i));
        }));
        caller->start();
        const bool returned = caller->wait(5000);
        release.release(1000);
        caller->wait();
        QVERIFY(returned);
        log.close();
        const QStringList ev = events(readLines(file));
        QVERIFY(ev.value(0).endsWith(QStringLiteral(" held")));
        QVERIFY2(ev.value(100).endsWith(QStringLiteral(" queued 99")), qPrintable(ev.value(100)));
    }

    void linesFromManyThreadsAreAllNumberedOnce()
    {
        const QString file = path(QStringLiteral("threads.log"));
        MLogSystem log;
        withoutTimeStamps(log, file);
        constexpr int threads = 4;
        constexpr int perThread = 250;
        std::vector<std::unique_ptr<QThread>> workers;
        for (int t = 0; t < threads; ++t) {
            workers.emplace_back(QThread::create([&log, t] {
                for (int i = 0; i < perThread; ++i)
                    log.logWrite(QStringLiteral("t%1 %2").arg(t).arg(i));
            }));
            workers.back()->start();
        }
        for (auto& worker : workers)
            worker->wait();
        log.waitForIdle();
        const QStringList ev = events(readLines(file));
        QList<int> next(threads, 0);
        for (int n = 1; n <= threads * perThread; ++n) {
            const QString line = ev.value(n - 1);
            QCOMPARE(line.left(11), QStringLiteral("%1: {0} ").arg(n, 5, 10, QLatin1Char('0')));
            const QStringList parts = line.mid(11).split(QLatin1Char(' '));
            const int t = parts.value(0).mid(1).toInt();
            QCOMPARE(parts.value(1).toInt(), next[t]++); // each thread's lines keep their order
        }
    }

    void hexEntries_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("hex");
        QTest::newRow("two bytes on one line") << QByteArray::fromHex("0215") << "0215";
        QTest::newRow("a break after the first byte")
            << QByteArray::fromHex("020111") << "02\n0111";
        QTest::newRow("eight bytes, one break")
            << QByteArray::fromHex("02051100000000AA") << "02\n051100000000aa";
        QTest::newRow("nine bytes, a second break after the third")
            << QByteArray::fromHex("020611000000001E07") << "02\n0611\n000000001e07";
    }
    void hexEntries()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, hex);
        QTemporaryDir dir;
        MLogSystem log;
        log.setProgramName(QStringLiteral("velkor"));
        log.logHexWrite(bytes, true);
        log.logHexWrite(bytes, false);
        log.waitForIdle();
        log.setHexLogDir(dir.path());
        QCOMPARE(QFileInfo(log.hexLogFile()).fileName(),
                 QStringLiteral("velkor.unknow.ip.hex.log"));
        const QStringList lines = events(readLines(log.hexLogFile()));
        const int hexLines = int(hex.count(QLatin1Char('\n'))) + 1;
        QVERIFY(QRegularExpression(
                    QStringLiteral("^--> Send \\[\\d\\d\\.\\d\\d\\.\\d{4}\\] \\[[0-9:.]{12}\\]$"))
                    .match(lines.value(0))
                    .hasMatch());
        QCOMPARE(lines.mid(1, hexLines).join(QLatin1Char('\n')), hex);
        QVERIFY(lines.value(1 + hexLines).startsWith(QStringLiteral("--< Read [")));
    }
};

QTEST_GUILESS_MAIN(TestMLogSystem)
#include "tst_mlogsystem.moc"
