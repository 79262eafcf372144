#pragma once

#include <QDialog>

class QPushButton;
class QTableWidget;

// The window of a table with several rows: the grid over a row of "Применить" and
// "Отменить".
class TabDialog : public QDialog
{
    Q_OBJECT

public:
    // Takes the grid; sized to it, 20 pixels wider and 30 higher, within the screen.
    TabDialog(QTableWidget* grid, const QString& title);

    QTableWidget* grid() const { return m_grid; }
    QPushButton* enterButton() const { return m_enter; }
    QPushButton* exitButton() const { return m_exit; }

private:
    QTableWidget* m_grid;
    QPushButton* m_enter;
    QPushButton* m_exit;
};
