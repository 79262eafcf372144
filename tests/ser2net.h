#pragma once

#include "ptyemulator.h"
#include "receivedcommands.h"

#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>

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

// A ser2net serving `device` on two ports of its own: RFC 2217 and raw TCP.
class Ser2net
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
        m_process.start(QStringLiteral("ser2net"),
                        {"-n", "-u", "-c", config, "-P", dir + QStringLiteral("/ser2net.pid")});
        // Up when both ports listen: a connection to find out would open the device, and
        // the next client would meet it still closing.
        for (int i = 0; i < 100 && !m_up; ++i) {
            m_up = listening(m_rfc2217) && listening(m_raw);
            QThread::msleep(50);
        }
    }
    ~Ser2net() { stop(); }
    bool up() const { return m_up; }
    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        m_process.waitForFinished(5000);
    }
    QString rfc2217() const { return QStringLiteral("rfc2217://127.0.0.1:%1").arg(m_rfc2217); }
    QString raw() const { return QStringLiteral("tcp://127.0.0.1:%1").arg(m_raw); }

private:
    quint16 m_rfc2217;
    quint16 m_raw;
    QProcess m_process;
    bool m_up = false;
};

// The emulator at `baud` behind a ser2net, and a description directory for velkor-cli.
struct RemoteDevice
{
    explicit RemoteDevice(int baud = 115200, emu::FaultPlan plan = {})
        : emulator(plan, baud)
    {
        if (!emulator.open())
            qFatal("emulator: %s", emulator.error().c_str());
        emulator.start();
        server = std::make_unique<Ser2net>(QString::fromStdString(emulator.portPath()),
                                           dir.path());
    }
    QStringList received() { return testsupport::receivedCommands(emulator); }

    emu::PtyEmulator emulator;
    QTemporaryDir dir;
    std::unique_ptr<Ser2net> server;
};

} // namespace testsupport
