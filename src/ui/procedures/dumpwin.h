#pragma once

#include <QByteArray>
#include <QString>
#include <QWidget>

#include <memory>

class DumpTableModel;
class LogPane;

namespace Ui {
class DumpWin;
}

// The dump viewer: the dump data as a hexadecimal table of 16 columns, saved to a file or
// replaced by one. It shows the caller's data in place, without a copy.
class DumpWin : public QWidget
{
    Q_OBJECT

public:
    DumpWin(const QString& appDir, LogPane& pane, QWidget* parent = nullptr);
    ~DumpWin() override;

    void setViewDump(QByteArray* data, const QString& unitName);
    // Shows the data again after it has been replaced.
    void reload() { viewDump(); }
    Ui::DumpWin* ui() const { return m_ui.get(); }

Q_SIGNALS:
    // A file loaded here replaced the dump data.
    void dumpReplaced();

public Q_SLOTS:
    void on_pbOpen_clicked();
    void on_pbSaveAs_clicked();

private:
    void viewDump();

    std::unique_ptr<Ui::DumpWin> m_ui;
    QString m_appDir;
    LogPane& m_pane;
    DumpTableModel* m_model;
    QByteArray* m_data = nullptr;
};
