#pragma once

#include <QByteArray>
#include <QWidget>

#include <memory>

class FiscalRecordModel;
class QTableView;

namespace Ui {
class ViewFpWin;
}

// The fiscal memory viewer: the fiscalizations and the shift totals of a dump of the first
// fiscal memory unit, read in place from the caller's data.
class ViewFpWin : public QWidget
{
    Q_OBJECT

public:
    explicit ViewFpWin(QWidget* parent = nullptr);
    ~ViewFpWin() override;

    void setViewFp(QByteArray* data);
    // Shows the data again after it has been replaced.
    void reload();
    Ui::ViewFpWin* ui() const { return m_ui.get(); }

private:
    void setViewFisc();
    void setViewSmenItog();
    static void setUpTable(QTableView* table, FiscalRecordModel* model);

    std::unique_ptr<Ui::ViewFpWin> m_ui;
    FiscalRecordModel* m_fiscalizations;
    FiscalRecordModel* m_shiftTotals;
    QByteArray* m_data = nullptr;
};
