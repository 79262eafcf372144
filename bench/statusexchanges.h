#pragma once

#include "link/frvelkor.h"
#include "ptyemulator.h"
#include "wiretime.h"

#include <QElapsedTimer>

#include <memory>

// The emulator serving at the wire rate with bytes taking their time on the line; null when
// it did not open.
inline std::unique_ptr<emu::PtyEmulator> pacedEmulator()
{
    emu::FaultPlan plan;
    plan.pace = true;
    auto emulator = std::make_unique<emu::PtyEmulator>(plan, wiretime::Baud);
    if (!emulator->open())
        return nullptr;
    emulator->start();
    return emulator;
}

// Seconds of `count` status requests (11h) through the link on `port` at the wire rate;
// -1 when one failed.
inline double statusExchangeSeconds(const QString& port, int count)
{
    FrVelkor link;
    if (link.frInit(port, wiretime::Baud) != 0)
        return -1;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < count; ++i)
        if (link.frCommand(QByteArray::fromHex("111e000000"), 10000).code != 0)
            return -1;
    return double(clock.nsecsElapsed()) / 1e9;
}
