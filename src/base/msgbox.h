#pragma once

#include <QString>

#include <functional>

// The modal message box of start-up, the loaders and the test-script runner. The core only
// sees this seam; the program installs the real box, tests install a recorder.
enum class MsgIcon
{
    Information,
    Critical
};

using MsgBoxHandler = std::function<void(MsgIcon icon, const QString& title, const QString& text)>;

void msgBox(MsgIcon icon, const QString& title, const QString& text);

// Installs the handler that shows (or records) the boxes; returns the one it replaces.
MsgBoxHandler setMsgBoxHandler(MsgBoxHandler handler);
