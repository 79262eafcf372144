#pragma once

#include <QString>

#include <functional>

class QDialog;

// Runs a dialog modally and returns its result code. Tests install a runner that answers
// the dialog instead, so no test waits on one.
using ModalRunner = std::function<int(QDialog* dialog)>;

int runModal(QDialog* dialog);
// Installs the runner; returns the one it replaces (null: QDialog::exec).
ModalRunner setModalRunner(ModalRunner runner);

// A file dialog's question: open an existing file or name one to save to.
struct FileQuestion
{
    bool save = false;
    QString caption;
    QString directory;
    QString filter;
};

// Asks for a file name; empty when the user cancels. Tests install an answerer instead.
using FileAnswerer = std::function<QString(const FileQuestion& question)>;

QString askFileName(const FileQuestion& question);
// Installs the answerer; returns the one it replaces (null: the toolkit's file dialog).
FileAnswerer setFileAnswerer(FileAnswerer answerer);
