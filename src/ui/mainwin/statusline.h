#pragma once

#include <QLabel>

// The main window's status line: one line whatever its text, cut with "…" where the window
// is narrower (the pane keeps the whole line), so a long outcome neither wraps nor widens
// the window, and the layout below it never jumps. text() is the whole text.
class StatusLine : public QLabel
{
    Q_OBJECT

public:
    explicit StatusLine(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};
