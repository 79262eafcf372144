#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class SendHexWin;
}

// The window of the hexadecimal command: a text of hexadecimal bytes, "Выполнить" and
// "Выйти". It only signals; SendHex does the work.
class SendHexWin : public QWidget
{
    Q_OBJECT

public:
    explicit SendHexWin(QWidget* parent = nullptr);
    ~SendHexWin() override;

    Ui::SendHexWin* ui() const { return m_ui.get(); }

Q_SIGNALS:
    void send();
    void exit();

public Q_SLOTS:
    void on_pbSend_clicked();
    void on_pbExit_clicked();

protected:
    // Closing the window by its frame leaves it as "Выйти" does.
    void closeEvent(QCloseEvent* event) override;

private:
    std::unique_ptr<Ui::SendHexWin> m_ui;
};
