#pragma once

#include <QList>
#include <QWidget>

#include <memory>

class MainWin;
class QCheckBox;
class QLineEdit;
struct SearchPort;

namespace Ui {
class ComWin;
}

// The device search window: one row per port with its tick box and the rate being tried.
// The search is a chain of three signal and slot pairs (next port, next rate, probe) that
// runs inside "Искать" until the device answers, every ticked port and rate has failed, or
// the user cancels.
class ComWin : public QWidget
{
    Q_OBJECT

public:
    explicit ComWin(MainWin& window);
    ~ComWin() override;

    // Closes the window; while the chain still runs in its slots, only once it has returned.
    void closeWhenIdle();
    bool searching() const { return m_searching; }
    QCheckBox* tickBox(int port) const { return m_ticks.value(port); }
    QLineEdit* rateField(int port) const { return m_rateFields.value(port); }
    Ui::ComWin* ui() const { return m_ui.get(); }

Q_SIGNALS:
    void sTestLink();
    void sComNext();
    void sBaudNext();
    void sNotFinded();
    void sFinded();
    void sCanceled();

public Q_SLOTS:
    void on_pbSetAll_clicked();
    void on_pbClearAll_clicked();
    void on_pbSearch_clicked();
    void on_pbCancel_clicked();
    void pTestLink();
    void pComNext();
    void pBaudNext();
    void catchText(const QString& text);
    void on_miniLog_textChanged() {}

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void fillPorts();

    std::unique_ptr<Ui::ComWin> m_ui;
    MainWin& m_window;
    QList<SearchPort>& m_ports;
    QList<QCheckBox*> m_ticks;
    QList<QLineEdit*> m_rateFields;
    int m_port = -1;
    int m_rate = -1;
    QList<int> m_rates; // the rates tried on the current port
    bool m_searching = false;
    bool m_closing = false;
};
