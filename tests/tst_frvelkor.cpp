#include "inprocessdevice.h"
#include "link/framefollower.h"
#include "link/openfailure.h"
#include "linktestsupport.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QtTest>

#include <cerrno>
#include <cstring>

using namespace testsupport;

namespace {

const int kTimeout = 10000;
// A probe of a device that does not answer at the port's rate waits this long on the pty.
const int kProbeWaitMs = 300;

// A device that answers the host's bytes by a script: when the host writes the byte the
// next step waits for, that step's bytes become readable. Other host bytes change nothing.
class ScriptedDevice : public testsupport::ByteQueueDevice
{
public:
    struct Step
    {
        char hostByte;
        QByteArray answer;
    };
    explicit ScriptedDevice(QList<Step> steps) : m_steps(std::move(steps)) {}

protected:
    qint64 writeData(const char* from, qint64 count) override
    {
        for (qint64 i = 0; i < count; ++i)
            if (!m_steps.isEmpty() && m_steps.front().hostByte == from[i])
                deliver(m_steps.takeFirst().answer);
        return count;
    }

private:
    QList<Step> m_steps;
};

// Feeds the follower a script of groups "H 05 ..." (host bytes) and "D 15 ..." (device
// bytes), a millisecond apart, and "wait N" (N ms pass, then a tick); returns the events
// as "side kind[:what it answers][ detail]".
QStringList followed(const QString& script)
{
    QStringList events;
    using F = FrameFollower;
    FrameFollower follower([&events](const F::Event& e) {
        static const char* const kinds[] = {"enq", "ack", "nak", "frame", "bad",
                                            "zero", "cut", "stray", "noreply"};
        QString text = QString::fromLatin1(e.side == F::Side::Host ? "host " : "device ") +
                       QLatin1String(kinds[int(e.kind)]);
        if (e.answer != F::Answer::Nothing)
            text += e.answer == F::Answer::Enq ? ":enq" : ":frame";
        if (e.kind == F::Kind::Frame && e.side == F::Side::Device)
            text += e.latencyMs >= 0 ? QStringLiteral(" after %1").arg(e.latencyMs)
                                     : QStringLiteral(" stale");
        if (e.resent)
            text += QStringLiteral(" resent");
        if (e.kind == F::Kind::Stray || e.kind == F::Kind::CutFrame || e.kind == F::Kind::BadChecksum ||
            e.kind == F::Kind::ZeroLength)
            text += QLatin1Char(' ') + QString::fromLatin1(e.bytes.toHex());
        events << text;
    });
    qint64 now = 0;
    for (const QString& group : script.split(QLatin1Char('|'))) {
        const QStringList words = group.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (words.value(0) == QLatin1String("wait")) {
            now += words.value(1).toInt();
            follower.tick(now);
            continue;
        }
        const F::Side side = words.value(0) == QLatin1String("H") ? F::Side::Host : F::Side::Device;
        for (const QString& word : words.mid(1))
            follower.feed(side, quint8(word.toUInt(nullptr, 16)), ++now);
    }
    follower.tick(now + 20000);
    return events;
}

} // namespace

class TestFrVelkor : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The monitor's reading of exchanges it only watches.
    void followerEvents_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("events");
        const QString command = QStringLiteral("H 02 05 13 1E 00 00 00 08");
        const QString reply = QStringLiteral("D 02 03 13 00 01 11");
        QTest::newRow("a whole exchange")
            << "H 05 | D 15 |" + command + "| D 06 |" + reply + "| H 06"
            << QStringList{"host enq",          "device nak:enq",  "host frame",
                           "device ack:frame", "device frame after 2", "host ack:frame"};
        QTest::newRow("a bad checksum, NAK, ENQ and the reply again")
            << "H 05 | D 15 |" + command + "| D 06 | D 02 03 13 00 01 12 | H 15 | H 05 | D 06 |" +
                   reply + "| H 06"
            << QStringList{"host enq",        "device nak:enq",   "host frame",
                           "device ack:frame", "device bad 020313000112", "host nak:frame",
                           "host enq",        "device ack:enq",   "device frame after 2",
                           "host ack:frame"};
        QTest::newRow("LEN 0 ends a reply at once")
            << "H 05 | D 15 |" + command + "| D 06 | D 02 00 | H 05 | D 06 |" + reply + "| H 06"
            << QStringList{"host enq",        "device nak:enq", "host frame",
                           "device ack:frame", "device zero 0200", "host enq",
                           "device ack:enq",  "device frame after 2", "host ack:frame"};
        QTest::newRow("a frame cut short by the byte wait")
            << "H 05 | D 15 |" + command + "| D 06 | D 02 03 13 | wait 1500 | H 05"
            << QStringList{"host enq", "device nak:enq", "host frame", "device ack:frame",
                           "device cut 020313", "host enq"};
        QTest::newRow("garbage to ENQ, then the host's purge ACK")
            << QStringLiteral("H 05 | D 33 7E 41 | wait 200 | H 06")
            << QStringList{"host enq", "device stray:enq 337e41", "host ack"};
        QTest::newRow("the same command after a refused frame")
            << "H 05 | D 15 |" + command + "| D 15 | H 05 | D 15 |" + command + "| D 06 |" +
                   reply + "| H 06"
            << QStringList{"host enq",       "device nak:enq",   "host frame",
                           "device nak:frame", "host enq",        "device nak:enq",
                           "host frame resent", "device ack:frame", "device frame after 2",
                           "host ack:frame"};
        QTest::newRow("the same command after a completed one is no resend")
            << "H 05 | D 15 |" + command + "| D 06 |" + reply + "| H 06 | H 05 | D 15 |" +
                   command
            << QStringList{"host enq",         "device nak:enq", "host frame",
                           "device ack:frame", "device frame after 2", "host ack:frame",
                           "host enq",         "device nak:enq", "host frame"};
        QTest::newRow("a reply that never came, the host asking again")
            << "H 05 | D 15 |" + command + "| D 06 | wait 3000 | H 05 | D 06 |" + reply + "| H 06"
            << QStringList{"host enq",          "device nak:enq", "host frame",
                           "device ack:frame",  "device noreply", "host enq",
                           "device ack:enq",    "device frame after 3004", "host ack:frame"};
        QTest::newRow("a reply that never came, the host silent")
            << "H 05 | D 15 |" + command + "| D 06"
            << QStringList{"host enq", "device nak:enq", "host frame", "device ack:frame",
                           "device noreply"};
        QTest::newRow("a reply pending from before")
            << "H 05 | D 06 |" + reply + "| H 06"
            << QStringList{"host enq", "device ack:enq", "device frame stale", "host ack:frame"};
        QTest::newRow("stray bytes between exchanges, a device ENQ among them")
            << QStringLiteral("D 41 05 42 | wait 200 | H 05 | D 15")
            << QStringList{"device stray 410542", "host enq", "device nak:enq"};
    }
    void followerEvents()
    {
        QFETCH(QString, script);
        QFETCH(QStringList, events);
        QCOMPARE(followed(script), events);
    }

    // The device acknowledged the command, its reply never came and it now says it holds
    // none: the command is not sent again (the device would execute it twice); the link
    // keeps asking for the reply and then fails.
    void acknowledgedCommandIsNeverSentTwice()
    {
        QList<ScriptedDevice::Step> steps{{'\x05', QByteArray::fromHex("15")},
                                          {'\x02', QByteArray::fromHex("06")}};
        for (int i = 0; i < FrVelkor::Attempts; ++i)
            steps << ScriptedDevice::Step{'\x05', QByteArray::fromHex("15")};
        ScriptedDevice device(steps);
        VirtualClock clock;
        FrVelkor link;
        TraceRecorder pane;
        link.setLogPane(&pane);
        link.setDevice(&device);
        link.setClock(&clock);
        const FrVelkor::Reply reply = link.frCommand(QByteArray::fromHex("801e000000"), 100);
        QVERIFY(reply.code != FrVelkor::Ok);
        QVERIFY(reply.maybeExecuted);
        QCOMPARE(pane.bytes.count(QStringLiteral("S:02")), 1);
    }

    // A reply frame that stops short is refused at its first missing byte: filled in with
    // guessed bytes, "02 02 02" would pass its checksum and be taken as the reply 02 02.
    // The device's pending reply is then asked for again and taken.
    void frameStoppingShortIsRefused()
    {
        ScriptedDevice device(
            {{'\x05', QByteArray::fromHex("15")},
             {'\x02', QByteArray::fromHex("06020202")},
             {'\x15', {}},
             {'\x05', QByteArray::fromHex("060203100001") + char(0x03 ^ 0x10 ^ 0x01)}});
        VirtualClock clock;
        FrVelkor link;
        TraceRecorder pane;
        link.setLogPane(&pane);
        link.setDevice(&device);
        link.setClock(&clock);
        const FrVelkor::Reply reply = link.frCommand(QByteArray::fromHex("101e000000"), kTimeout);
        QCOMPARE(reply.code, int(FrVelkor::Ok));
        QCOMPARE(reply.data.toHex(), QByteArray("100001"));
        QVERIFY(pane.bytes.contains(QStringLiteral("S:15")));
    }

    // The program is told to quit while a command waits for a silent device: the exchange
    // gives up at once instead of running out its ten attempts against loops that no
    // longer run.
    void quittingEndsTheExchange()
    {
        emu::FaultPlan plan;
        plan.silent = true;
        testsupport::EmulatedLine line(plan);
        FrVelkor::Reply reply;
        QTimer::singleShot(0,
                           [&] { reply = line.link.frCommand(QByteArray::fromHex("10"), 1000); });
        QTimer::singleShot(300, [] { QCoreApplication::exit(0); });
        QCoreApplication::exec();
        QCOMPARE(reply.code, int(FrVelkor::ExchangeError));
        QCOMPARE(line.pane.bytes, QStringList{"S:05"});
    }

    // A port held by another link is reported as busy, with the system's reason.
    void secondOpenFindsThePortBusy()
    {
        testsupport::EmulatedLine line;
        QCOMPARE(line.openCode, int(FrVelkor::Ok));
        FrVelkor other(&line.errors);
        const QString path = QString::fromStdString(line.emulator->portPath());
        QCOMPARE(other.frInit(path, 4800), int(FrVelkor::OpenFailed));
        const QString reason = openFailureReason(path, other.openError(), other.openErrorString());
        QVERIFY2(reason.startsWith(QStringLiteral("Порт %1 занят другой программой.").arg(path)),
                 qPrintable(reason));
        QVERIFY(reason.contains(other.openErrorString()));
    }

    void openFailureReasons_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::newRow("missing device")
            << "ttyNOPE0" << int(QSerialPort::DeviceNotFoundError) << "the reason"
            << "Порт /dev/ttyNOPE0 не найден в системе." << "Причина: the reason.";
        QTest::newRow("other error") << "/dev/null" << int(QSerialPort::OpenError)
                                     << "the reason" << "Причина: the reason."
                                     << "Причина: the reason.";
        const QString eagain = QString::fromLocal8Bit(std::strerror(EAGAIN));
        QTest::newRow("system reason in Russian")
            << "/dev/null" << int(QSerialPort::ResourceError) << eagain
            << "Причина: устройство не отвечает (ресурс временно недоступен)."
            << "Причина: устройство не отвечает (ресурс временно недоступен).";
    }
    void openFailureReasons()
    {
        QFETCH(QString, port);
        QFETCH(int, error);
        QFETCH(QString, given);
        QFETCH(QString, start);
        QFETCH(QString, end);
        const QString reason =
            openFailureReason(port, QSerialPort::SerialPortError(error), given);
        QVERIFY2(reason.startsWith(start), qPrintable(reason));
        QVERIFY2(reason.endsWith(end), qPrintable(reason));
    }

    // The advice for a port the user may not open names a group only when the group may use
    // the port, and never root.
    void permissionAdvice_data()
    {
        QTest::addColumn<QString>("group");
        QTest::addColumn<int>("permissions");
        QTest::addColumn<QString>("advice");
        const int ownerRw = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
        const int groupRw = QFileDevice::ReadGroup | QFileDevice::WriteGroup;
        QTest::newRow("root:dialout 660")
            << "dialout" << (ownerRw | groupRw)
            << "Нет прав доступа к порту /dev/ttyUSB0. Добавьте пользователя в группу dialout "
               "(например: sudo usermod -aG dialout $USER) и войдите в систему заново.";
        QTest::newRow("root:root 600")
            << "root" << ownerRw
            << "Нет прав доступа к порту /dev/ttyUSB0: он принадлежит root:root, права 600. "
               "Попросите администратора дать доступ группе dialout правилом udev (например, "
               "строка KERNEL==\"ttyUSB0\", GROUP=\"dialout\", MODE=\"0660\" в файле "
               "/etc/udev/rules.d/99-velkor.rules), затем добавьте пользователя в группу dialout "
               "(sudo usermod -aG dialout $USER) и войдите в систему заново.";
        QTest::newRow("root:root 660 is still no group to join")
            << "root" << (ownerRw | groupRw) << "он принадлежит root:root, права 660";
    }
    void permissionAdvice()
    {
        QFETCH(QString, group);
        QFETCH(int, permissions);
        QFETCH(QString, advice);
        const QString text = ::permissionAdvice(QStringLiteral("/dev/ttyUSB0"), QStringLiteral("root"),
                                                group, QFileDevice::Permissions(permissions));
        QVERIFY2(text == advice || (advice.size() < 60 && text.contains(advice)), qPrintable(text));
        QVERIFY(!text.contains(QStringLiteral("группу root")));
    }

    // ENQ, NAK, the frame, ACK, the reply and the host's ACK: one byte per trace entry.
    void plainExchangeTracesEveryByte()
    {
        EmulatedLine line;
        QCOMPARE(line.openCode, 0);
        const QByteArray command = withPassword(0x10);
        const FrVelkor::Reply reply = line.link.frCommand(command, kTimeout);
        QCOMPARE(reply.code, 0);
        QCOMPARE(reply.data.size(), 16);
        QCOMPARE(quint8(reply.data.at(0)), quint8(0x10));
        QStringList expected{"S:05", "R:15"};
        expected << frameTrace(QStringLiteral("S:"), command) << QStringLiteral("R:06")
                 << frameTrace(QStringLiteral("R:"), reply.data) << QStringLiteral("S:06");
        QCOMPARE(line.pane.bytes, expected);
        QCOMPARE(line.link.lastCode(), 0);
        QCOMPARE(line.link.answer(), reply.data);
    }

    // Faults the protocol recovers from, the reply's record of attempts (attemptsText), and
    // how often the device executed the command.
    void recoveries_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("attempts");
        QTest::addColumn<unsigned>("executions");
        QTest::newRow("bad checksum, repeated") << "corrupt" << 0 << "[519]0" << 1u;
        // The device executed the old command and this one, each once.
        QTest::newRow("pending reply first") << "pending" << 0 << "[520]520 0" << 2u;
        QTest::newRow("frame not acknowledged") << "ignore" << 0 << "524/unanswered 0" << 1u;
        QTest::newRow("frame refused") << "refuse" << 0 << "524/nak 0" << 1u;
        QTest::newRow("garbage to ENQ") << "garbage" << 0 << "502/garbage 0" << 1u;
        // The reply one byte short: its checksum byte never comes, which is no bad checksum.
        QTest::newRow("reply byte lost") << "lose byte" << 0 << "[501]0" << 1u;
        QTest::newRow("LEN 0 reply") << "zero" << 0 << "[518]0" << 1u;
        QTest::newRow("reply lost twice") << "lose" << 0 << "[501][501]522 0" << 1u;
    }
    void recoveries()
    {
        QFETCH(QString, fault);
        QFETCH(int, code);
        QFETCH(QString, attempts);
        QFETCH(unsigned, executions);
        emu::FaultPlan plan;
        if (fault == QLatin1String("corrupt"))
            plan.corruptReplies = {1};
        else if (fault == QLatin1String("pending"))
            plan.pendingAtStart = true;
        else if (fault == QLatin1String("ignore"))
            plan.ignoreFrames = {1};
        else if (fault == QLatin1String("refuse"))
            plan.refuseFrames = {1};
        else if (fault == QLatin1String("garbage"))
            plan.garbageEnqs = {1};
        else if (fault == QLatin1String("lose byte")) // NAK, ACK, STX, LEN, 13, 00, 01, CS
            plan.byteFaults[7] = {emu::ByteFault::Lose, 0};
        else if (fault == QLatin1String("zero"))
            plan.zeroLengthReplies = {1};
        else if (fault == QLatin1String("lose"))
            plan.loseReplies = {1, 2};
        VirtualLine line(plan);
        const FrVelkor::Reply reply = line.link.frCommand(withPassword(0x13), 1500);
        QCOMPARE(reply.code, code);
        QCOMPARE(reply.data.toHex(), QByteArray("130001"));
        QCOMPARE(attemptsText(reply), attempts);
        QCOMPARE(line.executions(0x13) + line.executions(0x10), executions);

        if (fault == QLatin1String("corrupt")) {
            const int nak = int(line.pane.bytes.lastIndexOf(QStringLiteral("S:15")));
            QVERIFY(nak > 0);
            QCOMPARE(line.pane.bytes.mid(nak + 1, 2), (QStringList{"S:05", "R:06"}));
        }
        if (fault == QLatin1String("zero")) {
            const int zero = int(line.pane.bytes.indexOf(QStringLiteral("R:00")));
            QCOMPARE(line.pane.bytes.value(zero - 1), QStringLiteral("R:02"));
            QCOMPARE(line.pane.bytes.value(zero + 1), QStringLiteral("S:05")); // no ACK, no NAK
        }
        if (fault == QLatin1String("garbage"))
            QVERIFY(line.pane.bytes.contains(QStringLiteral("S:06")));
    }

    // Each attempt waits a second for the answer to ENQ, 50 ms after it, 100 ms before the next.
    void silentDeviceTakesTenAttempts()
    {
        emu::FaultPlan plan;
        plan.silent = true;
        VirtualLine line(plan);
        const FrVelkor::Reply reply = line.link.frCommand(withPassword(0x10), kTimeout);
        QCOMPARE(reply.code, 502);
        QVERIFY(reply.data.isEmpty());
        QVERIFY(!reply.maybeExecuted);
        QCOMPARE(attemptsText(reply),
                 QStringList(10, QStringLiteral("502/silent")).join(QLatin1Char(' ')));
        QCOMPARE(line.pane.bytes.count(QStringLiteral("S:05")), 10);
        QCOMPARE(line.device.clock.nowMs(), 10 * (1000 + 50 + 100));
        QCOMPARE(line.link.errText(reply.code),
                 QStringLiteral("Ошибка драйвера [2]: ошибка обмена с ФР."));
    }

    void longestReplyIsAccepted()
    {
        EmulatedLine line;
        const FrVelkor::Reply reply = line.link.frCommand(QByteArray::fromHex("eeff"), kTimeout);
        QCOMPARE(reply.code, 0);
        QCOMPARE(reply.data.size(), 255);
        QCOMPARE(quint8(reply.data.at(254)), quint8(254));
    }

    void overlongCommandIsNeverSent()
    {
        EmulatedLine line;
        const FrVelkor::Reply reply = line.link.frCommand(QByteArray(256, '\x10'), kTimeout);
        QCOMPARE(reply.code, 518);
        QVERIFY(line.pane.bytes.isEmpty());
        QCOMPARE(line.executions(0x10), 0u);
    }

    void deviceErrorIsTheDevicesAffair()
    {
        EmulatedLine line;
        const FrVelkor::Reply wrong =
            line.link.frCommand(QByteArray::fromHex("1001000000"), kTimeout);
        QCOMPARE(wrong.code, 0);
        QCOMPARE(wrong.data.toHex(), QByteArray("104f")); // 79: wrong password
        QCOMPARE(line.link.frCommand(QByteArray::fromHex("77"), kTimeout).data.toHex(),
                 QByteArray("7737")); // 55: unknown command
    }

    void probe_data()
    {
        QTest::addColumn<bool>("pending");
        QTest::addColumn<int>("deviceBaud");
        QTest::addColumn<int>("result");
        QTest::newRow("idle device") << false << 4800 << int(FrVelkor::Ok);
        QTest::newRow("reply pending") << true << 4800 << int(FrVelkor::Ok);
        QTest::newRow("other rate") << false << 9600 << int(FrVelkor::NoAnswer);
        QTest::newRow("garbage") << false << 0 << int(FrVelkor::NoAnswer);
    }
    void probe()
    {
        QFETCH(bool, pending);
        QFETCH(int, deviceBaud);
        QFETCH(int, result);
        emu::FaultPlan plan;
        plan.pendingAtStart = pending;
        if (deviceBaud == 0)
            plan.garbageEnqs = {1};
        EmulatedLine line(plan, deviceBaud ? deviceBaud : 4800);
        line.link.setProbeWaitMs(kProbeWaitMs);
        QCOMPARE(line.link.frSetLink(4800, kTimeout), result);
        if (result != FrVelkor::Ok)
            return;
        // The pending reply was drained: the next command needs one attempt.
        const FrVelkor::Reply reply = line.link.frCommand(withPassword(0x13), kTimeout);
        QCOMPARE(reply.code, 0);
        QCOMPARE(attemptsText(reply), QStringLiteral("0"));
    }

    // Stray bytes of an earlier burst are not taken for the device's answer: each of the
    // three probes of a connect would read one of them and find no device.
    void strayBytesBeforeAProbe()
    {
        testsupport::InProcessDevice device;
        FrVelkor link;
        link.setDevice(&device);
        link.setClock(&device.clock);
        device.stray(QByteArray::fromHex("337e41"));
        QCOMPARE(link.frSetLink(4800, kTimeout), FrVelkor::Ok);
    }

    void baudChangeMovesTheDevice()
    {
        EmulatedLine line;
        line.link.setProbeWaitMs(kProbeWaitMs);
        const QByteArray to115200 = withPassword(0x14, QByteArray::fromHex("000664"));
        QCOMPARE(line.link.frCommand(to115200, kTimeout).data.toHex(), QByteArray("1400"));
        QCOMPARE(line.link.frSetLink(4800, kTimeout), FrVelkor::NoAnswer);
        QCOMPARE(line.link.frSetLink(115200, kTimeout), FrVelkor::Ok);
        QCOMPARE(
            line.link.frCommand(withPassword(0x15, QByteArray(1, '\0')), kTimeout).data.toHex(),
            QByteArray("15000664"));
    }

    void reopeningClosesFirst()
    {
        EmulatedLine line;
        MessageRecorder recorder;
        QCOMPARE(line.link.frInit(line.link.portName(), 4800), 0);
        const QStringList debug = recorder.messages(QtDebugMsg);
        QVERIFY(debug.contains(QStringLiteral("openComPort close port!")));
        // A pseudo-terminal has no latency timer: the open goes on, and one line says so.
        QCOMPARE(debug.filter(QStringLiteral("openComPort low latency not set:")).size(), 1);
        QVERIFY(debug.contains(QStringLiteral("frInit err 0")));
        QCOMPARE(line.link.frCommand(withPassword(0x13), kTimeout).code, 0);
        // A link that goes right after its exchange sends the reply's ACK first: the next
        // one on the line finds the device ready, no reply pending.
        line.link.closeComPort();
        {
            FrVelkor passing;
            QCOMPARE(passing.frInit(line.link.portName(), 4800), 0);
            QCOMPARE(passing.frCommand(withPassword(0x13), kTimeout).code, 0);
        }
        QCOMPARE(line.link.frInit(line.link.portName(), 4800), 0);
        line.pane.bytes.clear();
        QCOMPARE(line.link.frSetLink(4800, kTimeout), FrVelkor::Ok);
        QCOMPARE(line.pane.bytes.mid(0, 2), (QStringList{"S:05", "R:15"}));
    }

    // A hung-up line ends the exchange at once and closes the port, instead of ten attempts
    // against a port that keeps failing.
    void lostPortEndsTheExchange()
    {
        EmulatedLine line;
        QSignalSpy lost(&line.link, &FrVelkor::portLost);
        QCOMPARE(line.link.frCommand(withPassword(0x13), kTimeout).code, 0);
        line.emulator.reset();
        QElapsedTimer clock;
        clock.start();
        const FrVelkor::Reply reply = line.link.frCommand(withPassword(0x13), kTimeout);
        QCOMPARE(reply.code, int(FrVelkor::PortLost));
        QCOMPARE(line.link.errText(reply.code),
                 QStringLiteral("Ошибка драйвера [23]: потеряна связь с портом."));
        QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(lost.wait(1000) || lost.count() == 1);
        QCOMPARE(lost.count(), 1);
        QVERIFY(!line.link.port().isOpen());
    }

    void missingPortFailsToOpen()
    {
        FrVelkor link;
        MessageRecorder recorder;
        QCOMPARE(link.frInit(QStringLiteral("/nonexistent/ttyVELKOR"), 4800), 510);
        QVERIFY(recorder.messages(QtDebugMsg).contains(QStringLiteral("frInit err 510")));
        QVERIFY(!link.port().isOpen());
        QCOMPARE(link.errText(510), QStringLiteral("Ошибка драйвера 10"));
    }
};

QTEST_GUILESS_MAIN(TestFrVelkor)
#include "tst_frvelkor.moc"
