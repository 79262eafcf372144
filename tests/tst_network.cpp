// Registrars on the network: velkor-cli and the link through a real ser2net (ser2net.h).
#include "clirun.h"
#include "link/frvelkor.h"
#include "link/networkport.h"
#include "procedurerig.h"
#include "procedures/datacommands.h"
#include "ser2net.h"

#include <QProcess>
#include <QtTest>

#include <memory>

using testsupport::RemoteDevice;

namespace {

using Run = testsupport::CliRun;

// velkor-cli with its description files in `dir`.
Run runCli(const QStringList& arguments, const QString& dir)
{
    return testsupport::runCli(arguments + QStringList{"--dir", dir});
}


} // namespace

class TestNetwork : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("ser2net")).isEmpty())
            QFAIL("ser2net is not installed (tools/install-packages installs it)");
    }

    void portNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("address"); // host:port as connected to
        const int local = NetworkPortName::Local;
        const int rfc2217 = NetworkPortName::Rfc2217;
        const int tcp = NetworkPortName::RawTcp;
        const int malformed = NetworkPortName::Malformed;
        QTest::newRow("a local name") << "ttyUSB0" << local << "";
        QTest::newRow("a local path") << "/dev/serial/by-id/usb-FTDI-if00" << local << "";
        QTest::newRow("a path with a colon") << "/tmp/tcp:4001" << local << "";
        QTest::newRow("rfc2217 by name") << "rfc2217://shop-7.example:2001" << rfc2217
                                         << "shop-7.example:2001";
        QTest::newRow("any letter case") << "RFC2217://10.0.0.5:4001" << rfc2217 << "10.0.0.5:4001";
        QTest::newRow("raw tcp, IPv4") << "tcp://192.168.1.20:4001" << tcp << "192.168.1.20:4001";
        QTest::newRow("IPv6 in brackets") << "tcp://[fe80::1]:4001" << tcp << "[fe80::1]:4001";
        QTest::newRow("IPv6 without brackets") << "tcp://fe80::1:4001" << malformed << "";
        QTest::newRow("not IPv6 in brackets") << "tcp://[host]:4001" << malformed << "";
        QTest::newRow("no port") << "rfc2217://host" << malformed << "";
        QTest::newRow("port 0") << "tcp://host:0" << malformed << "";
        QTest::newRow("port past 65535") << "tcp://host:65536" << malformed << "";
        QTest::newRow("no host") << "tcp://:4001" << malformed << "";
        QTest::newRow("a path after it") << "tcp://host:4001/" << malformed << "";
        QTest::newRow("a blank") << "tcp://host :4001" << malformed << "";
        QTest::newRow("empty") << "tcp://" << malformed << "";
    }
    void portNames()
    {
        QFETCH(QString, name);
        QFETCH(int, kind);
        QFETCH(QString, address);
        const NetworkPortName parsed = NetworkPortName::parse(name);
        QCOMPARE(int(parsed.kind), kind);
        if (parsed.isNetwork())
            QCOMPARE(parsed.address(), address);
    }

    // velkor-cli's commands through the server: what a direct run prints.
    void commands_data()
    {
        QTest::addColumn<QString>("peer"); // "example": python3-serial's example server
        QTest::addColumn<bool>("rfc2217");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("lines");  // lines of standard output, in this order
        QTest::addColumn<QString>("received");   // a command array the device received
        // Over raw TCP the device moves and the server's line does not: the user is told.
        QTest::addRow("tcp rate change")
            << "" << false << QStringList{"run", "14", "30", "0", "6"}
            << QStringList{"rcv: 14 00", "Установка параметров обмена: %port%: скорость линии "
                                         "задаёт сервер, переведите её на сервере вручную на "
                                         "скорость, заданную командой."}
            << "141e000000000664";
        // A server that refuses COM Port Control keeps its line's rate, as over raw TCP.
        QTest::addRow("refused rate change")
            << "refuse" << true << QStringList{"run", "14", "30", "0", "6"}
            << QStringList{"rcv: 14 00", "Установка параметров обмена: %port%: скорость линии "
                                         "задаёт сервер, переведите её на сервере вручную на "
                                         "скорость, заданную командой."}
            << "141e000000000664";
        const QList<QPair<QString, bool>> peers{
            {"", true}, {"", false}, {"example", true}, {"refuse", true}};
        for (const auto& [peer, rfc2217] : peers) {
            const QByteArray kind =
                (peer.isEmpty() ? QString(rfc2217 ? "rfc2217" : "tcp") : peer).toUtf8();
            QTest::addRow("%s probe", kind.constData())
                << peer << rfc2217 << QStringList{"probe"}
                << QStringList{"Установка связи с ФР (115200): Связь есть."} << "";
            QTest::addRow("%s status", kind.constData())
                << peer << rfc2217 << QStringList{"run", "11"}
                << QStringList{"snd: 11 1E 00 00 00", "Режим ФР: Закрытая смена"} << "111e000000";
            // FFh bytes in the frame: escaped on the way (RFC 2217), intact at the device.
            QTest::addRow("%s FFh in the frame", kind.constData())
                << peer << rfc2217 << QStringList{"hex", "13 FF FF FF 00"}
                << QStringList{"snd: 13 FF FF FF 00", "rcv: 13 4F"} << "13ffffff00";
            QTest::addRow("%s script", kind.constData())
                << peer << rfc2217 << QStringList{"script", VELKOR_EXAMPLES_DIR "/testfp.txt"}
                << QStringList{"snd: 10 1E 00 00 00", "snd: FC", "rcv: FC 00 00 00 01 00 07 00 "
                                                                 "C2 C5 CB CA CE D0 20 DD CC D3 CB "
                                                                 "DF D2 CE D0"}
                << "fc";
        }
    }
    void commands()
    {
        QFETCH(QString, peer);
        QFETCH(bool, rfc2217);
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, lines);
        QFETCH(QString, received);
        RemoteDevice::MakeServer make;
        if (peer == QLatin1String("example"))
            make = &testsupport::exampleServer;
        else if (!peer.isEmpty())
            make = [&peer](const QString& line) { return testsupport::hostileServer(peer, line); };
        RemoteDevice device(115200, {}, make);
        QVERIFY(device.server->up());
        const QString port = rfc2217 ? device.server->rfc2217() : device.server->raw();
        const Run run = runCli(arguments + QStringList{"--port", port}, device.dir.path());
        QVERIFY2(run.code == 0 || arguments.front() == QLatin1String("hex"),
                 qPrintable(run.out.join('\n') + run.err));
        qsizetype from = 0;
        for (QString line : lines) {
            line.replace(QStringLiteral("%port%"), port);
            from = run.out.indexOf(line, from);
            QVERIFY2(from >= 0, qPrintable(line + QStringLiteral("\n---\n") + run.out.join('\n')));
        }
        if (!received.isEmpty())
            QVERIFY2(device.received().contains(received), qPrintable(device.received().join(' ')));
        // After the server's DONT no COM port command is sent.
        QVERIFY2(!device.server->said().contains(QStringLiteral("SB")),
                 qPrintable(device.server->said()));
    }

    // Servers that misbehave: memory stays bounded and every wait within its limit, the
    // connection ends with the reason, and nothing of a subnegotiation is the line's.
    void hostileServers_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("rfc2217");
        QTest::addColumn<QString>("reason");
        const QString flood = QStringLiteral("сервер шлёт данные без остановки");
        QTest::newRow("tcp flood") << "flood" << false << flood;
        QTest::newRow("rfc2217 flood") << "flood" << true << flood;
        QTest::newRow("endless subnegotiation")
            << "endless" << true << QStringLiteral("подсогласование длиннее 1024 байт");
    }
    void hostileServers()
    {
        QFETCH(QString, mode);
        QFETCH(bool, rfc2217);
        QFETCH(QString, reason);
        const auto server = testsupport::hostileServer(mode, QString());
        QVERIFY(server->up());
        QTemporaryDir dir;
        int peakKb = 0;
        const Run run = testsupport::runWatched({"probe", "--port", rfc2217 ? server->rfc2217() : server->raw(),
                                    "--dir", dir.path()},
                                   &peakKb);
        const QString out = run.out.join('\n') + run.err;
        QCOMPARE(run.code, 2);
        QVERIFY2(out.contains(reason) && !out.contains(QStringLiteral("Связь есть.")),
                 qPrintable(out));
#ifndef VELKOR_SANITIZED
        QVERIFY2(peakKb > 0 && peakKb < 96 * 1024, qPrintable(QString::number(peakKb)));
#endif
    }

    // A whole fiscal memory unit, whose empty part is FFh bytes: every block arrives intact
    // through the server's Telnet escaping.
    void dumpThroughRfc2217()
    {
        RemoteDevice device;
        QVERIFY(device.server->up());
        testsupport::ProcedureRig rig;
        QCOMPARE(rig.line.link.frInit(device.server->rfc2217(), 115200), int(FrVelkor::Ok));
        DataCommands commands(rig.link);
        int blocks = 0;
        QVERIFY(commands.requestDump(1, &blocks).ok);
        QVERIFY(blocks > 100);
        int withFF = 0;
        for (int i = 0; i < blocks; ++i) {
            int number = -1;
            QByteArray block;
            const DataCommands::Result result = commands.dataBlock(&number, &block);
            QVERIFY2(result.ok, qPrintable(result.status));
            QCOMPARE(number, i + 1);
            QCOMPARE(block.size(), 32);
            withFF += block.contains(char(0xFF));
        }
        QVERIFY(withFF > 0);
    }

    // 14h moves the device to 9600 bit/s; the server's line follows only when the link sets
    // it (the emulator answers only at its own rate), and back again.
    void rateChangeThroughRfc2217()
    {
        RemoteDevice device;
        QVERIFY(device.server->up());
        const QString port = device.server->rfc2217();
        QCOMPARE(runCli({"run", "14", "30", "0", "2", "--port", port}, device.dir.path()).code, 0);
        // The ACK that moves the device is in the server's hands: the next connection resets
        // the line's rate, and the emulator judges a byte by the rate when it reads it.
        QTRY_COMPARE(device.emulator.withModel([](emu::DeviceModel& m) { return m.baudRate(); }),
                     9600);
        const Run at9600 = runCli({"run", "10", "--baud", "9600", "--port", port}, device.dir.path());
        QVERIFY2(at9600.code == 0, qPrintable(at9600.err));
        QVERIFY(at9600.out.contains(QStringLiteral("Режим ФР: Закрытая смена")));
        QCOMPARE(runCli({"probe", "--probe-wait", "300", "--port", port}, device.dir.path()).code,
                 2);
    }

    // The search tries the rates over RFC 2217 and finds the device at one past the first;
    // over raw TCP it tries the one rate, and says why.
    void searchFindsTheRate_data()
    {
        QTest::addColumn<bool>("rfc2217");
        QTest::addColumn<int>("deviceBaud");
        QTest::newRow("rfc2217") << true << 9600;
        QTest::newRow("tcp") << false << 115200;
    }
    void searchFindsTheRate()
    {
        QFETCH(bool, rfc2217);
        QFETCH(int, deviceBaud);
        RemoteDevice device(deviceBaud);
        QVERIFY(device.server->up());
        const QString port = rfc2217 ? device.server->rfc2217() : device.server->raw();
        const Run run =
            runCli({"search", "--probe-wait", "300", "--port", port}, device.dir.path());
        QCOMPARE(run.code, 0);
        QCOMPARE(run.out, QStringList{QStringLiteral("ФР найден. %1 %2").arg(port).arg(deviceBaud)});
        QCOMPARE(run.err.contains(FrVelkor::serverRateText(port)), !rfc2217);
        QCOMPARE(run.err.count(QStringLiteral("Поиск: ")), rfc2217 ? 3 : 1);
    }

    // The monitor with the registrar behind ser2net: the other program's runs go through,
    // and the rate switch after 14h goes to the server's line (and back).
    void monitorThroughRfc2217()
    {
        RemoteDevice device;
        QVERIFY(device.server->up());
        const QString link = device.dir.filePath(QStringLiteral("ttyMON"));
        QProcess monitor;
        monitor.start(QStringLiteral(VELKOR_CLI), {"monitor", "--port", device.server->rfc2217(),
                                                    "--host-link", link, "--dir", device.dir.path()});
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(link).isSymLink(), 5000);
        const QList<QStringList> commands = {{"run", "10"},
                                             {"run", "14", "30", "0", "2"},
                                             {"run", "10", "--baud", "9600"},
                                             {"run", "14", "30", "0", "6", "--baud", "9600"},
                                             {"run", "10"}};
        for (const QStringList& command : commands) {
            const Run run = runCli(command + QStringList{"--port", link}, device.dir.path());
            QVERIFY2(run.code == 0, qPrintable(command.join(' ') + run.err +
                                               QString::fromUtf8(monitor.readAllStandardError())));
        }
        monitor.terminate();
        QVERIFY(monitor.waitForFinished(5000));
        const QByteArray printed = monitor.readAllStandardOutput();
        QVERIFY2(printed.contains("скорость 9600 бит/с: обе стороны переключены") &&
                     printed.contains("скорость 115200 бит/с: обе стороны переключены"),
                 printed.constData());
    }

    // The server stops while the device works on a command: the link says the connection is
    // lost, the command may have been executed, and velkor-cli ends with 2.
    void serverStopsDuringAnExchange()
    {
        emu::FaultPlan slow;
        slow.replyDelayMs = 1500;
        RemoteDevice device(115200, slow);
        QVERIFY(device.server->up());
        QProcess cli;
        cli.start(QStringLiteral(VELKOR_CLI), {"run", "13", "--port", device.server->rfc2217(),
                                                "--dir", device.dir.path()});
        QTRY_VERIFY_WITH_TIMEOUT(device.received().contains(QStringLiteral("131e000000")), 10000);
        device.server->stop();
        QVERIFY(cli.waitForFinished(20000));
        const QString out = QString::fromUtf8(cli.readAllStandardOutput());
        QCOMPARE(cli.exitCode(), 2);
        QVERIFY2(out.contains(QStringLiteral("потеряна связь с портом")), qPrintable(out));
        QVERIFY2(out.contains(FrVelkor::maybeExecutedText()), qPrintable(out));
        QVERIFY2(
            out.count(
                QStringLiteral("Связь с портом %1 потеряна: ").arg(device.server->rfc2217())) == 1,
            qPrintable(out));
    }
};

QTEST_GUILESS_MAIN(TestNetwork)
#include "tst_network.moc"
