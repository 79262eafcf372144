#pragma once

// Installs the real modal QMessageBox behind msgBox().
void installWidgetMsgBox();
