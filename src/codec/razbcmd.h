#pragma once

#include "catalogue/itemlexer.h"
#include "cmditem.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

class Catalogue;
class SymbolTables;

// The command codec: parses the selected command's CMD= and RPL= lines into the command
// and reply item tables, encodes the command items into the command array and decodes a
// reply into the reply items' texts.
class RazbCmd
{
    Q_DECLARE_TR_FUNCTIONS(RazbCmd)

public:
    static constexpr int MaxViewBytes = 127;
    // The reserved identifiers: the command code of a line, and the password the form
    // neither shows nor reads.
    static const QByteArray CmdIdent;
    static const QByteArray PrlsaIdent;

    // A name from the description files (a command, an item) through the translation lookup.
    static QString trName(const QString& name) { return tr(name.toUtf8().constData()); }
    // The form has a row for every item but the command code and the password.
    static bool shownInForm(const CmdItem& item)
    {
        return item.ident != CmdIdent && item.ident != PrlsaIdent;
    }

    RazbCmd(Catalogue* catalogue, SymbolTables* tables);

    // The current system-administrator password as decimal text, the default of the
    // password item of a CMD= line.
    void setPasswordText(const QByteArray& text) { m_passwordText = text; }
    const QByteArray& passwordText() const { return m_passwordText; }
    // A new administrator password: the password items' default and the first four bytes
    // of the default table's `prlsa` row at `passwordIndex` (none when negative).
    void setPassword(quint32 password, int passwordIndex);

    // Parses the catalogue's current command; a run-time table entry only gets its
    // procedure number.
    bool parseCommand();
    bool parseLine(const QByteArray& text, bool isCmd);
    // Parses the current item text into the current slot.
    bool convCmdItem();
    void dumpItems(bool isCmd) const;

    ItemTable& commandItems() { return m_cmdItems; }
    ItemTable& replyItems() { return m_rplItems; }
    const ItemTable& commandItems() const { return m_cmdItems; }
    const ItemTable& replyItems() const { return m_rplItems; }

    // Encoding. An enumeration item takes the value of a family member chosen by ordinal
    // (zero bytes when the family has none); then every item's text becomes its bytes.
    void setEnumChoice(int index, int ordinal);
    bool ceConvParmCmd(int* errIndex);
    // The log line of a command item that could not be encoded: its name in quotes.
    QString parameterError(int index) const
    {
        return tr("Ошибка в параметре") + QStringLiteral(" \"") + trName(m_cmdItems[index].view) +
               QLatin1Char('"');
    }
    QByteArray commandArray() const;

    // Decoding: the reply's bytes over the reply items, then their texts.
    void splitReply(const QByteArray& reply);
    void ceConvParmRpl();
    // A command array someone else sent, over the command items, then their texts: what
    // the form would show had it been typed in.
    void decodeCommand(const QByteArray& command);
    // The text the form shows for a decoded item (of a reply, or of a command decoded
    // above): an enumeration's display name, otherwise the text read as Windows-1251.
    QString replyText(const CmdItem& item) const;

private:
    static void splitItems(ItemTable& items, const QByteArray& bytes);
    static void convertItems(ItemTable& items);
    // What most items start with: size digits and decimals, an identifier, a default.
    struct ItemHead
    {
        int size = 0;
        int dp = -1;
        QByteArray ident;
        QByteArray dflt;
        bool written = false; // a "=" was there
    };
    bool readHead(ItemHead* head);
    bool constItem();
    bool numbItem();
    bool hexsItem();
    bool charItem();
    bool dateItem(char type);
    bool enumItem();
    bool tmtItem();
    bool setItem(char type, bool dflt, bool ned, int len, int dp, const QByteArray& ident);
    ItemTable& currentTable() { return m_isCmd ? m_cmdItems : m_rplItems; }
    bool convertCommandItem(CmdItem& item);

    Catalogue* m_catalogue;
    SymbolTables* m_tables;
    QByteArray m_passwordText;
    ItemTable m_cmdItems;
    ItemTable m_rplItems;

    // Parse state.
    CmdItem* m_item = nullptr;
    int m_offset = 0;
    int m_itemIndex = 0;
    bool m_isCmd = false;
    ItemLexer m_lexer;
};
