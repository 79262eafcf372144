#include "sendbutton.h"

#include <QPushButton>

void makeSendButtons(std::initializer_list<QPushButton*> buttons)
{
    for (QPushButton* button : buttons) {
        button->setFocusPolicy(Qt::NoFocus);
        button->setAutoDefault(false);
        button->setDefault(false);
    }
}
