#pragma once

#include <QJsonObject>
#include <QString>

#include <vector>

class RazbCmd;
class SymbolTables;
struct CmdItem;

// A parsed catalogue command in words: the values a run line takes, in order, and the
// items of its reply, so that a run line can be written without opening Command.ini.
class CommandDescription
{
public:
    // A member of an enumeration: a run line gives its value, the form shows its name.
    struct Choice
    {
        quint64 value = 0;
        QString name;
    };
    struct Item
    {
        QString ident;
        QString name;
        QString kind;
        int size = 0;      // bytes; 0 is variable
        int decimals = -1; // of a number; -1 when none
        QString defaultText;
        bool hasDefault = false;
        std::vector<Choice> choices;
    };

    CommandDescription(const QString& code, const QString& name, const QString& group,
                       const RazbCmd& codec, const SymbolTables& tables);

    QString text() const;
    QJsonObject json() const;

private:
    static Item describe(const CmdItem& item, const SymbolTables& tables);
    static QString itemLine(const Item& item);
    static QJsonObject itemObject(const Item& item);

    QString m_code;
    QString m_name;
    QString m_group;
    std::vector<Item> m_values;
    std::vector<Item> m_reply;
};
