#include "modaldialog.h"

#include <QDialog>

namespace {

ModalRunner& currentRunner()
{
    static ModalRunner runner;
    return runner;
}

} // namespace

int runModal(QDialog* dialog)
{
    const ModalRunner& runner = currentRunner();
    return runner ? runner(dialog) : dialog->exec();
}

ModalRunner setModalRunner(ModalRunner runner)
{
    ModalRunner previous = std::move(currentRunner());
    currentRunner() = std::move(runner);
    return previous;
}
