#pragma once

#include "ptyemulator.h"
#include "receivedcommands.h"

#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <functional>
#include <memory>

// A real ser2net, started by a test on 127.0.0.1 in front of the emulator's pseudo-terminal
// with the user guide's configuration (chardelay off), over RFC 2217 and over raw TCP, and
// stopped by its pid.
namespace testsupport {

// A TCP port of this machine in the listening state, as the kernel lists it.
bool listening(quint16 port)
{
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly))
        return false;
    const QByteArray local = ':' + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 3 && fields.at(1).endsWith(local) && fields.at(3) == "0A")
            return true;
    }
    return false;
}

quint16 freePort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

// A server of a registrar's line on 127.0.0.1, a process of the test's, stopped by its pid.
class PortServer
{
public:
    virtual ~PortServer() { stop(); }
    bool up() const { return m_up; }
    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        m_process.waitForFinished(5000);
    }
    virtual QString rfc2217() const = 0;
    virtual QString raw() const { return QString(); }
    // What it printed on standard output so far (a script's subnegotiation lines).
    virtual QString said() { return QString(); }

protected:
    // Starts it and waits until its ports listen: a connection to find out would open the
    // device, and the next client would meet it still closing.
    void start(const QString& program, const QStringList& arguments, QList<quint16> ports)
    {
        m_process.start(program, arguments);
        for (int i = 0; i < 100 && !m_up; ++i) {
            m_up = std::all_of(ports.begin(), ports.end(), &listening);
            QThread::msleep(50);
        }
    }

    QProcess m_process;
    bool m_up = false;
};

// A script of tests/ started as a server on `port`, up once it listens.
class ScriptServer : public PortServer
{
public:
    ScriptServer(const QString& script, const QStringList& arguments, quint16 port)
        : m_port(port)
    {
        m_process.setStandardErrorFile(QProcess::nullDevice());
        // Debian's python, whose packages (python3-serial) the scripts use.
        start(QStringLiteral("/usr/bin/python3"),
              QStringList{QStringLiteral(VELKOR_TESTS_DIR "/") + script} + arguments, {port});
    }
    QString rfc2217() const override
    {
        return QStringLiteral("rfc2217://127.0.0.1:%1").arg(m_port);
    }
    QString raw() const override { return QStringLiteral("tcp://127.0.0.1:%1").arg(m_port); }
    QString said() override
    {
        m_said += QString::fromUtf8(m_process.readAllStandardOutput());
        return m_said;
    }

private:
    quint16 m_port;
    QString m_said;
};

// The python3-serial example RFC 2217 server in front of `device`: a second real peer.
inline std::unique_ptr<ScriptServer> exampleServer(const QString& device)
{
    const quint16 port = freePort();
    return std::make_unique<ScriptServer>(QStringLiteral("rfc2217_example.py"),
                                          QStringList{device, QString::number(port)}, port);
}

// tests/hostile_server.py in `mode` (flood, endless, refuse: see there) on a port of its own;
// `device` is the line a refusing server relays to.
inline std::unique_ptr<ScriptServer> hostileServer(const QString& mode, const QString& device)
{
    const quint16 port = freePort();
    return std::make_unique<ScriptServer>(QStringLiteral("hostile_server.py"),
                                          QStringList{mode, QString::number(port), device}, port);
}

// A ser2net serving `device` on two ports of its own: RFC 2217 and raw TCP.
class Ser2net : public PortServer
{
public:
    // `charDelay`: ser2net's default gathering of the line's bytes before it sends them on,
    // which the user guide's configuration turns off.
    Ser2net(const QString& device, const QString& dir, bool charDelay = false)
        : m_rfc2217(freePort()), m_raw(freePort())
    {
        const QString config = dir + QStringLiteral("/ser2net.yaml");
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly))
            return;
        file.write(QStringLiteral("connection: &velkor\n"
                                  "  accepter: telnet(rfc2217),tcp,127.0.0.1,%1\n"
                                  "  connector: serialdev,%3,115200n81,local\n"
                                  "  options:\n"
                                  "    chardelay: %4\n"
                                  "connection: &velkor-raw\n"
                                  "  accepter: tcp,127.0.0.1,%2\n"
                                  "  connector: serialdev,%3,115200n81,local\n"
                                  "  options:\n"
                                  "    chardelay: %4\n")
                       .arg(m_rfc2217)
                       .arg(m_raw)
                       .arg(device, charDelay ? QStringLiteral("true") : QStringLiteral("false"))
                       .toUtf8());
        file.close();
        // It says only that it starts no mDNS; a server that did not come up fails up().
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.setStandardErrorFile(QProcess::nullDevice());
        start(QStringLiteral("ser2net"),
              {"-n", "-u", "-c", config, "-P", dir + QStringLiteral("/ser2net.pid")},
              {m_rfc2217, m_raw});
    }
    QString rfc2217() const override
    {
        return QStringLiteral("rfc2217://127.0.0.1:%1").arg(m_rfc2217);
    }
    QString raw() const override { return QStringLiteral("tcp://127.0.0.1:%1").arg(m_raw); }

private:
    quint16 m_rfc2217;
    quint16 m_raw;
};

// The emulator at `baud` behind a server (ser2net unless another is made for its device),
// and a description directory for velkor-cli.
struct RemoteDevice
{
    using MakeServer = std::function<std::unique_ptr<PortServer>(const QString& device)>;
    explicit RemoteDevice(int baud = 115200, emu::FaultPlan plan = {}, MakeServer make = {})
        : emulator(plan, baud)
    {
        if (!emulator.open())
            qFatal("emulator: %s", emulator.error().c_str());
        emulator.start();
        const QString device = QString::fromStdString(emulator.portPath());
        server = make ? make(device) : std::make_unique<Ser2net>(device, dir.path());
    }
    QStringList received() { return testsupport::receivedCommands(emulator); }

    emu::PtyEmulator emulator;
    QTemporaryDir dir;
    std::unique_ptr<PortServer> server;
};

} // namespace testsupport
