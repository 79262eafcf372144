#pragma once

#include "base/logpane.h"
#include "catalogue/errortexts.h"
#include "inprocessdevice.h"
#include "link/frvelkor.h"
#include "ptyemulator.h"

#include <QFile>
#include <QStringList>

#include <map>
#include <memory>

namespace testsupport {

// Records what the link reports through the log pane: "S:05" for a byte sent, "R:15" for
// a byte received.
class TraceRecorder : public LogPane
{
public:
    QStringList bytes;
    QStringList lines;

    void logError(const QString& title, const QString& text) override
    {
        lines << QStringLiteral("error|") + title + QLatin1Char('|') + text;
    }
    void logInfo(const QString& title, const QString& text) override
    {
        lines << QStringLiteral("info|") + title + QLatin1Char('|') + text;
    }
    void setStatus(const QString& first, const QString& second) override
    {
        lines << QStringLiteral("status|") + first + QLatin1Char('|') + second;
    }
    void logSndBlock(const QByteArray& block) override
    {
        lines << QStringLiteral("snd|") + QString::fromLatin1(block.toHex());
    }
    void logRcvBlock(const QByteArray& block) override
    {
        lines << QStringLiteral("rcv|") + QString::fromLatin1(block.toHex());
    }
    void logSndHex(const QByteArray& byte) override
    {
        bytes << QStringLiteral("S:") + QString::fromLatin1(byte.toHex());
    }
    void logRcvHex(const QByteArray& byte) override
    {
        bytes << QStringLiteral("R:") + QString::fromLatin1(byte.toHex());
    }
};

// The driver's error texts a link in a test tells its codes by.
struct DriverTexts
{
    QFile driverErrors{QStringLiteral(":/Ini/ErrorDrv.txt")};
    ErrorTexts errors{nullptr, &driverErrors};
};

// The emulator on a pseudo-terminal and the link connected to it at the device's rate.
struct EmulatedLine : DriverTexts
{
    std::unique_ptr<emu::PtyEmulator> emulator;
    FrVelkor link{&errors};
    TraceRecorder pane;

    explicit EmulatedLine(const emu::FaultPlan& plan = {}, int deviceBaud = 4800,
                          int portBaud = 4800)
        : emulator(std::make_unique<emu::PtyEmulator>(plan, deviceBaud))
    {
        if (!emulator->open())
            qFatal("emulator: %s", emulator->error().c_str());
        emulator->start();
        link.setLogPane(&pane);
        openCode = link.frInit(QString::fromStdString(emulator->portPath()), portBaud);
    }
    unsigned executions(uint8_t code)
    {
        return emulator->withModel([code](emu::DeviceModel& m) { return m.executions(code); });
    }

    int openCode = -1;
};

// The emulated registrar in the test's own thread and the link on its virtual clock: the
// protocol's waits at no cost of time.
struct VirtualLine : DriverTexts
{
    InProcessDevice device;
    FrVelkor link{&errors};
    TraceRecorder pane;

    explicit VirtualLine(const emu::FaultPlan& plan = {}) : device(plan)
    {
        link.setDevice(&device);
        link.setClock(&device.clock);
        link.setLogPane(&pane);
    }
    unsigned executions(uint8_t code) const { return device.executions(code); }
};

// A reply's record of attempts: "520 0" for a stale reply, then this command's; a reply
// frame the attempt refused in brackets before its code, "[519]0"; after the code, what
// ended the attempt where the code does not tell, "524/nak".
inline QString attemptsText(const FrVelkor::Reply& reply)
{
    using End = FrVelkor::End;
    const std::map<End, QString> marks{{End::NoEnqAnswer, "/silent"}, {End::EnqGarbage, "/garbage"},
                                       {End::EnqNak, "/enqnak"},      {End::FrameNak, "/nak"},
                                       {End::FrameUnanswered, "/unanswered"},
                                       {End::PortLost, "/lost"}};
    QStringList attempts;
    for (const FrVelkor::Attempt& attempt : reply.attempts) {
        QString text;
        for (const FrVelkor::Code refused : attempt.refusedReplies)
            text += QStringLiteral("[%1]").arg(int(refused));
        const auto mark = marks.find(attempt.end);
        attempts << text + QString::number(int(attempt.code)) +
                        (mark != marks.end() ? mark->second : QString());
    }
    return attempts.join(QLatin1Char(' '));
}

// Command arrays with the emulator's password.
inline QByteArray withPassword(quint8 code, const QByteArray& data = {})
{
    return QByteArray(1, char(code)) + QByteArray::fromHex("1e000000") + data;
}

// The frame of a payload, as bytes on the wire in trace form.
inline QStringList frameTrace(const QString& direction, const QByteArray& payload)
{
    QStringList trace;
    quint8 sum = quint8(payload.size());
    trace << direction + QStringLiteral("02") << direction + QString::asprintf("%02x", sum);
    for (const char b : payload) {
        trace << direction + QString::asprintf("%02x", quint8(b));
        sum ^= quint8(b);
    }
    trace << direction + QString::asprintf("%02x", sum);
    return trace;
}

} // namespace testsupport
