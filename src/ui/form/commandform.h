#pragma once

#include "procedures/statusflags.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <vector>

class CommandExchange;
class LogPane;
class QLabel;
class QLayout;
class QLineEdit;
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
    // The rows shown below a status-flag reply item, asked with the command code and the
    // item's identifier.
    using FlagRows = std::function<std::vector<FlagRow>(quint8 code, const QByteArray& ident)>;

    CommandForm(RazbCmd& codec, const SymbolTables& tables, QScrollArea* area);

    void setFlagRows(FlagRows rows) { m_flagRows = std::move(rows); }

    // isCmd true: a fresh form with the command part; false: the reply part, its rows
    // updated in place when the same rows are shown again, else built anew.
    void ceShowCmd(bool isCmd);
    // Deletes the form and forgets every item's widgets.
    void clearForm();
    void readForm();
    void cePutParmRpl();
    // Reads, encodes, exchanges and, after a good reply, shows the reply part and the status.
    void ceSendCmdRcvRpl(CommandExchange& exchange, LogPane& pane, const QString& commandName,
                         int timeoutMs);
    // The two halves of a run: the form read and encoded (false when a value is refused,
    // nothing sent), then the exchange of what was encoded and its outcome shown.
    bool readAndEncode(CommandExchange& exchange, const QString& commandName);
    void sendAndShow(CommandExchange& exchange, LogPane& pane, const QString& commandName,
                     int timeoutMs);

    // After a run: the focus goes to the first field the user types in, unless it is in
    // the form already.
    void focusTypingField();

    static int ceWidth(const CmdItem& item);
    QWidget* container() const { return m_container; }

private:
    void forgetWidgets();
    static void showValue(QLineEdit* field, const QString& text);
    // The width of a flag row's label, the rest of the container's width beside its value.
    int flagLabelWidth() const;
    quint8 commandCode() const;
    QLayout* addRow(CmdItem& item, bool isCmd, int pointSize, int areaWidth);
    void addFlagRow(const FlagRow& flag, bool isCmd);
    void fitText(QLabel* label, int width);
    void deleteReplyPart();
    // The flag rows of every shown flags item of the reply, in order.
    std::vector<FlagRow> replyFlagRows() const;
    // Puts the flag rows into the reply part shown; false when it shows other rows (or the
    // form was laid out for another width) and has to be built anew.
    bool updateReplyInPlace(const std::vector<FlagRow>& flags);

    // What the reply part was laid out for: a change of either width builds it anew.
    struct ReplyLayout
    {
        int areaWidth = -1;
        int containerWidth = -1;
        int pointSize = -1;
        bool operator==(const ReplyLayout& other) const
        {
            return areaWidth == other.areaWidth && containerWidth == other.containerWidth &&
                   pointSize == other.pointSize;
        }
    };
    ReplyLayout currentLayout() const;

    RazbCmd& m_codec;
    const SymbolTables& m_tables;
    QScrollArea* m_area;
    QWidget* m_container = nullptr;
    QVBoxLayout* m_layout = nullptr;
    std::vector<QLayout*> m_replyRows; // the rows of the reply part, in the form layout
    struct FlagWidgets
    {
        QLabel* label;
        QLineEdit* value;
    };
    std::vector<FlagWidgets> m_flagWidgets; // the reply part's flag rows, in order
    bool m_replyShown = false;
    ReplyLayout m_replyLayout;
    FlagRows m_flagRows;
};
