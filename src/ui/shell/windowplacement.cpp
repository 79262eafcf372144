#include "windowplacement.h"

#include <QApplication>
#include <QMainWindow>
#include <QScreen>

void placeOverMainWindow(QWidget* window)
{
    const QMainWindow* main = nullptr;
    for (QWidget* candidate : QApplication::topLevelWidgets())
        if (auto* found = qobject_cast<QMainWindow*>(candidate); found && found->isVisible())
            main = found;
    if (!main || main == window)
        return;
    QRect placed(QPoint(), window->frameGeometry().size());
    placed.moveCenter(main->frameGeometry().center());
    if (const QScreen* screen = main->screen()) {
        const QRect free = screen->availableGeometry();
        placed.moveLeft(std::clamp(placed.left(), free.left(),
                                   std::max(free.left(), free.right() - placed.width() + 1)));
        placed.moveTop(std::clamp(placed.top(), free.top(),
                                  std::max(free.top(), free.bottom() - placed.height() + 1)));
    }
    window->move(placed.topLeft());
}
