#pragma once

#include <QString>

class QWidget;

// Asks over `parent` whether the irreversible command `name` is to be run. Only the answer
// "Выполнить" runs it; Escape, closing the box and quitting the program answer "Отмена".
bool confirmIrreversibleCommand(QWidget* parent, const QString& name);
