#pragma once

#include "base/msgbox.h"
#include "catalogue/errortexts.h"
#include "linktestsupport.h"
#include "procedures/procedurehost.h"
#include "procedures/procedurelink.h"
#include "receivedcommands.h"
#include "shippedcodec.h"

#include <QStringList>

namespace testsupport {

// A host without a window: the link to the emulator at its own rate, a recording pane,
// and a recorder of message boxes.
class ProcedureRig : public ProcedureHost
{
public:
    static constexpr int DeviceBaud = 115200;

    ProcedureRig() : line({}, DeviceBaud, DeviceBaud)
    {
        if (!shipped.load())
            qFatal("the shipped tables did not load");
        m_previousBox = setMsgBoxHandler([this](MsgIcon, const QString& title, const QString& text) {
            boxes << title + QLatin1Char('|') + text;
        });
        line.emulator->withModel([](emu::DeviceModel& m) { m.clearCommands(); });
    }
    ~ProcedureRig() override { setMsgBoxHandler(m_previousBox); }
    ProcedureRig(const ProcedureRig&) = delete;
    ProcedureRig& operator=(const ProcedureRig&) = delete;

    bool connected() const override { return linked; }
    int mpGettimeout() const override { return 2000; }
    quint32 password() const override { return 30; }
    LogPane& logPane() override { return line.pane; }
    void exchangeStarted() override
    {
        ++exchanges;
        ++depth;
    }
    void exchangeFinished() override { --depth; }
    bool exchangeRunning() const override { return depth > 0; }
    void showOverlay() override { overlay = true; }
    void hideOverlay() override { overlay = false; }

    QStringList received() { return receivedCommands(*line.emulator); }
    // The pane's lines without the frames.
    QStringList reports() const
    {
        QStringList list;
        for (const QString& text : line.pane.lines)
            if (!text.startsWith(QLatin1String("snd|")) && !text.startsWith(QLatin1String("rcv|")))
                list << text;
        return list;
    }

    EmulatedLine line;
    QFile deviceErrors{QStringLiteral(":/Ini/Error.txt")};
    ErrorTexts errors{&deviceErrors, &line.driverErrors};
    ShippedCodec shipped;
    ProcedureLink link{*this, line.link, errors};
    QStringList boxes;
    bool linked = true;
    bool overlay = false;
    int exchanges = 0;
    int depth = 0;

private:
    MsgBoxHandler m_previousBox;
};

} // namespace testsupport
