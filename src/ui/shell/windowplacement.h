#pragma once

class QWidget;

// Centres a window of its own over the program's main window, within the main window's
// screen: without a window manager (a kiosk session) it would open at the screen's corner.
void placeOverMainWindow(QWidget* window);
