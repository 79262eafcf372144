#pragma once

#include <initializer_list>

class QPushButton;

// Buttons that send to the device take no keyboard focus and are never a dialog's default:
// a blank, Return or Enter typed after a tap must not press them again; and a double tap on
// one presses it once.
void makeSendButtons(std::initializer_list<QPushButton*> buttons);
