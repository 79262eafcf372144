#pragma once

#include <functional>

class QDialog;

// Runs a dialog modally and returns its result code. Tests install a runner that answers
// the dialog instead, so no test waits on one.
using ModalRunner = std::function<int(QDialog* dialog)>;

int runModal(QDialog* dialog);
// Installs the runner; returns the one it replaces (null: QDialog::exec).
ModalRunner setModalRunner(ModalRunner runner);
