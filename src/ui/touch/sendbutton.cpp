#include "sendbutton.h"

#include <QEvent>
#include <QPushButton>

namespace {

// The second tap of a double tap (or of a finger bouncing on the screen) comes as a double
// click, which a button takes for another press: "Выполнить" tapped so sent a sale twice.
// Swallowed, the second tap presses nothing, so its release clicks nothing; a tap after the
// double-click interval is a press of its own.
class OneTapOneSend : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        return event->type() == QEvent::MouseButtonDblClick || QObject::eventFilter(watched, event);
    }
};

} // namespace

void makeSendButtons(std::initializer_list<QPushButton*> buttons)
{
    for (QPushButton* button : buttons) {
        button->setFocusPolicy(Qt::NoFocus);
        button->setAutoDefault(false);
        button->setDefault(false);
        button->installEventFilter(new OneTapOneSend(button));
    }
}
