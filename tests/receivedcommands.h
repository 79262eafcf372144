#pragma once

#include "ptyemulator.h"

#include <QByteArray>
#include <QStringList>

namespace testsupport {

// The command arrays the emulated device received, oldest first, in hexadecimal.
inline QStringList receivedCommands(emu::PtyEmulator& emulator)
{
    return emulator.withModel([](emu::DeviceModel& m) {
        QStringList list;
        for (const emu::Bytes& command : m.commands())
            list << QString::fromLatin1(
                QByteArray(reinterpret_cast<const char*>(command.data()), int(command.size()))
                    .toHex());
        return list;
    });
}

} // namespace testsupport
