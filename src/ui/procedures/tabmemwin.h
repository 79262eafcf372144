#pragma once

#include <QDialog>
#include <QList>

#include <memory>

class QLineEdit;
struct DeviceTable;

namespace Ui {
class TabMemWin;
}

// The window of a table with one row: one labelled line edit per field.
class TabMemWin : public QDialog
{
    Q_OBJECT

public:
    explicit TabMemWin(QWidget* parent = nullptr);
    ~TabMemWin() override;

    // Puts one row per field of the table in the scroll area, filled with row 0's values,
    // and sizes the window to the widest row.
    void showTable(const DeviceTable& table);
    const QList<QLineEdit*>& edits() const { return m_edits; }
    Ui::TabMemWin* ui() const { return m_ui.get(); }

public Q_SLOTS:
    void on_pbEnter_clicked() { accept(); }
    void on_pbExit_clicked() { reject(); }

private:
    std::unique_ptr<Ui::TabMemWin> m_ui;
    QList<QLineEdit*> m_edits;
};
