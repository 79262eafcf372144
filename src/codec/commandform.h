#pragma once

#include <QByteArray>

#include <functional>
#include <vector>

class CommandExchange;
class LogPane;
class QLayout;
class QScrollArea;
class QVBoxLayout;
class QWidget;
class RazbCmd;
class SymbolTables;
struct CmdItem;

// The generated form of the selected command in the main window's scroll area: editors for
// the command items, a separator, read-only fields for the reply items once the command has
// run; and the run of the command from its form to its decoded reply.
class CommandForm
{
public:
    // Adds rows below a status-flag reply item: the command code, the item's identifier,
    // the form container and its layout.
    using FlagRows =
        std::function<void(quint8 code, const QByteArray& ident, QWidget*, QVBoxLayout*)>;

    CommandForm(RazbCmd& codec, const SymbolTables& tables, QScrollArea* area);

    void setFlagRows(FlagRows rows) { m_flagRows = std::move(rows); }

    // isCmd true: a fresh form with the command part; false: the reply part rebuilt.
    void ceShowCmd(bool isCmd);
    // Deletes the form and forgets every item's widgets.
    void clearForm();
    void readForm();
    void cePutParmRpl();
    // Reads, encodes, exchanges and, after a good reply, shows the reply part and the status.
    void ceSendCmdRcvRpl(CommandExchange& exchange, LogPane& pane, const QString& commandName,
                         int timeoutMs);

    static int ceWidth(const CmdItem& item);
    QWidget* container() const { return m_container; }

private:
    void forgetWidgets();
    quint8 commandCode() const;
    QLayout* addRow(CmdItem& item, bool isCmd, int pointSize, int areaWidth);

    RazbCmd& m_codec;
    const SymbolTables& m_tables;
    QScrollArea* m_area;
    QWidget* m_container = nullptr;
    QVBoxLayout* m_layout = nullptr;
    std::vector<QLayout*> m_replyRows; // the rows of the reply part, in the form layout
    FlagRows m_flagRows;
};
