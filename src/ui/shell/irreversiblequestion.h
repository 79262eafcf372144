#pragma once

#include <QString>

class QWidget;

// Asks over `parent` the question before an irreversible command (or a test that holds
// some). Only the answer "Выполнить" runs it; "Отмена" is the default, and Escape, closing
// the box and quitting the program answer it too.
bool askIrreversible(QWidget* parent, const QString& question);
