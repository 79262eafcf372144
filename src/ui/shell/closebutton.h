#pragma once

class QAbstractButton;
class QWidget;

// A window that its button and the Escape key close, as a dialog would.
void makeClosable(QWidget* window, QAbstractButton* closeButton);
