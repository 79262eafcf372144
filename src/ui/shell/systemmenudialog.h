#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class SystemMenuDialog;
}

// The terminal's system menu: on this tool only Exit and Cancel are offered; the other
// buttons of the form stay hidden.
class SystemMenuDialog : public QDialog
{
    Q_OBJECT

public:
    enum Result
    {
        Cancel = 0,
        Reboot = 1,
        PowerDown = 2,
        Exit = 3,
        RunProgram1 = 4,
        Calibrate = 5,
        SoftUpdateLocal = 6,
        SoftUpdateFtp = 7,
        RunProgram2 = 8,
        RunProgram3 = 9,
        RunProgram4 = 10,
    };

    explicit SystemMenuDialog(QWidget* parent = nullptr);
    ~SystemMenuDialog() override;

public Q_SLOTS:
    void pressExit() { done(Exit); }
    void pressPowerDown() { done(PowerDown); }
    void pressReboot() { done(Reboot); }
    void pressCalibrate() { done(Calibrate); }
    void on_butCancel_clicked() { done(Cancel); }
    void on_butRunSoftUpdate_clicked() { done(SoftUpdateLocal); }
    void on_butRunSoftUpdateFTP_clicked() { done(SoftUpdateFtp); }
    void on_butRunProgram1_clicked() { done(RunProgram1); }
    void on_butRunProgram2_clicked() { done(RunProgram2); }
    void on_butRunProgram3_clicked() { done(RunProgram3); }
    void on_butRunProgram4_clicked() { done(RunProgram4); }

private:
    std::unique_ptr<Ui::SystemMenuDialog> m_ui;
};
