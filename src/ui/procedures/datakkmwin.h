#pragma once

#include "procedures/datacommands.h"

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>

class ProcedureLink;
class SymbolTables;

namespace Ui {
class DataKkmWin;
}

// The device data window: memory dumps by hand, registers, whole dumps read into memory
// and "dumpfp.bin", dump files loaded back, and the viewers opened on the data.
class DataKkmWin : public QWidget
{
    Q_OBJECT

public:
    static constexpr const char* DumpFileName = "dumpfp.bin";
    // How often a reading shows the number of the block it has reached.
    static constexpr int ProgressIntervalMs = 40;

    DataKkmWin(ProcedureLink& link, const SymbolTables& tables, const QString& appDir,
               QWidget* parent = nullptr);
    ~DataKkmWin() override;

    Ui::DataKkmWin* ui() const { return m_ui.get(); }
    const QByteArray& dumpData() const { return m_dump; }
    bool reading() const { return m_reading; }
    // The viewers this window opened that are still open.
    QList<QWidget*> viewers() const;

public Q_SLOTS:
    void on_cbUnitDump_currentIndexChanged(int index);
    void on_pbReqDump_clicked();
    void on_pbGetDump_clicked();
    void on_pbInterDump_clicked();
    void on_pbOperReg_clicked();
    void on_pbMoneyReg_clicked();
    void on_cbUnitData_currentIndexChanged(int index);
    void on_pbReadData_clicked();
    void on_pbInterData_clicked() { m_stopRequest = true; }
    void on_pbViewData_clicked();
    void on_pbViewFp_clicked();
    void on_pbOpen_clicked();
    void on_butClose_clicked();

protected:
    // Every way of closing hides the overlay; a reading under way is stopped first.
    void closeEvent(QCloseEvent* event) override;

private:
    void readWholeDump();
    quint8 unitCode(int position) const;
    // The outcome in the status line; true on success.
    bool report(const DataCommands::Result& result);
    bool readRegisterNumber(quint8* number);
    void setViewButtons(bool present);
    void keepViewer(QWidget* viewer);
    void refreshViewers();

    std::unique_ptr<Ui::DataKkmWin> m_ui;
    ProcedureLink& m_link;
    const SymbolTables& m_tables;
    QString m_appDir;
    DataCommands m_commands;
    QByteArray m_dump;
    int m_dumpUnit = -1;
    bool m_stopRequest = false;
    bool m_reading = false;
    bool m_closeRequested = false;
    QList<QPointer<QWidget>> m_viewers;
};
