#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#include <vector>

// A named constant of Symbol.ini or a typed start value of Default.ini.
struct SymbolEntry
{
    QByteArray name;  // at most 31 bytes
    QByteArray value; // `length` valid bytes, least significant first for numbers
    int length() const { return int(value.size()); }
};

// An identifier's or a symbol's display text from View.ini.
struct ViewEntry
{
    QByteArray name; // the INI key, UTF-8
    QString text;
};

// The symbol table, the default table and the name table, loaded once at start-up.
class SymbolTables
{
public:
    enum Selector
    {
        Symbols,
        Defaults
    };
    static constexpr int MaxSymbols = 256;
    static constexpr int MaxDefaults = 32;
    static constexpr int MaxViews = 512;
    static constexpr int MaxNameBytes = 31;
    static constexpr int MaxValueBytes = 256;

    // Result of one row of Symbol.ini or Default.ini.
    struct RowResult
    {
        enum Kind
        {
            Skipped, // comment or empty line
            Stored,
            Error
        } kind = Skipped;
        int errorPos = 0; // byte position in the trimmed row where the fault was found
    };

    SymbolTables() = default;
    SymbolTables(QFile* symbolFile, QFile* defaultFile, QFile* viewFile);
    void setFiles(QFile* symbolFile, QFile* defaultFile, QFile* viewFile);
    void reset();

    // Loads Symbol.ini into the symbol table or Default.ini into the default table; false
    // when the file cannot be opened (after the critical box) or a row was in error.
    bool loadSymbolFile(Selector selector);
    // Loads View.ini into the name table; always true.
    bool loadViewFile();
    // One row of the shared grammar, appended to the selected table when good.
    RowResult parseRow(Selector selector, const QString& line);

    void dumpSymbols() const;
    void dumpViews() const;

    // Text of the first name-table entry of exactly that name; null when there is none.
    QString viewOf(const QByteArray& ident) const;
    // Display names of the family's members in table order (the name when none).
    QStringList enumNames(const QByteArray& prefix) const;
    // First `size` value bytes of the n-th member; empty when there is none.
    QByteArray enumValue(const QByteArray& prefix, int n, int size) const;
    // Ordinal of the first member whose value begins with `bytes`; -1 when none.
    int enumIndex(const QByteArray& prefix, const QByteArray& bytes) const;
    int findDefault(const QByteArray& name) const;
    int findSymbol(const QByteArray& name) const;

    const std::vector<SymbolEntry>& symbols() const { return m_symbols; }
    const std::vector<SymbolEntry>& defaults() const { return m_defaults; }
    const std::vector<ViewEntry>& views() const { return m_views; }
    // The settings panel writes the current password through this.
    void setDefaultValue(int index, const QByteArray& value);

private:
    std::vector<SymbolEntry>& table(Selector selector);
    std::vector<const SymbolEntry*> family(const QByteArray& prefix) const;

    QFile* m_symbolFile = nullptr;
    QFile* m_defaultFile = nullptr;
    QFile* m_viewFile = nullptr;
    Selector m_selector = Symbols;
    std::vector<SymbolEntry> m_symbols;
    std::vector<SymbolEntry> m_defaults;
    std::vector<ViewEntry> m_views;
};
