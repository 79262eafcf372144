#pragma once

#include "procedures/tableexchange.h"

#include <QPointer>

class QProgressDialog;

// The progress of a table's reading or writing in a frameless progress dialog with its
// "Прекратить" button; each step lets the window's events through.
class TableProgressWindow : public TableProgress
{
public:
    ~TableProgressWindow() override;

    void open(Mode mode, int table, int maximum) override;
    bool step(int value) override;
    void complete() override;
    void close() override;

    QProgressDialog* dialog() const;

private:
    QPointer<QProgressDialog> m_dialog;
};
