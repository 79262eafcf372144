#include "modaldialog.h"

#include "windowplacement.h"

#include <QDialog>
#include <QFileDialog>

namespace {

ModalRunner& currentRunner()
{
    static ModalRunner runner;
    return runner;
}

FileAnswerer& currentAnswerer()
{
    static FileAnswerer answerer;
    return answerer;
}

} // namespace

int runModal(QDialog* dialog)
{
    const ModalRunner& runner = currentRunner();
    placeOverMainWindow(dialog);
    return runner ? runner(dialog) : dialog->exec();
}

ModalRunner setModalRunner(ModalRunner runner)
{
    ModalRunner previous = std::move(currentRunner());
    currentRunner() = std::move(runner);
    return previous;
}

QString askFileName(const FileQuestion& question)
{
    if (const FileAnswerer& answerer = currentAnswerer())
        return answerer(question);
    return question.save ? QFileDialog::getSaveFileName(nullptr, question.caption,
                                                        question.directory, question.filter)
                         : QFileDialog::getOpenFileName(nullptr, question.caption,
                                                        question.directory, question.filter);
}

FileAnswerer setFileAnswerer(FileAnswerer answerer)
{
    FileAnswerer previous = std::move(currentAnswerer());
    currentAnswerer() = std::move(answerer);
    return previous;
}
