#pragma once

#include "windowrig.h"

#include "base/mlogsystem.h"

#include <QCheckBox>

#include <memory>

// The debug traces go where the program sends them: to its log, not to standard error (a
// terminal or a pipe would cost every trace a write the program never makes).
inline void logAsTheProgram()
{
    MLogSystem::setDebugTraces(true, false);
}

// The main window on the emulator paced at the line's real speed, shown, with the full
// per-byte log on or off.
inline std::unique_ptr<testsupport::WindowRig> pacedWindow(bool fullLog)
{
    logAsTheProgram();
    testsupport::WindowRig::Options options;
    options.plan.pace = true;
    auto rig = std::make_unique<testsupport::WindowRig>(options);
    rig->win().resize(1024, 768);
    rig->win().show();
    rig->ui().cbLogFull->setChecked(fullLog);
    return rig;
}
