#pragma once

#include <QByteArray>

// The lexical rules of the parameter description language, shared by the command items
// and the rows of Symbol.ini and Default.ini. Reads an item text from a position and
// advances it; an item ends at the end of its text.
class ItemLexer
{
public:
    static constexpr int MaxSize = 256;
    static constexpr int MaxIdentLength = 31;

    ItemLexer() = default;
    ItemLexer(QByteArray text, int pos);

    const QByteArray& text() const { return m_text; }
    int pos() const { return m_pos; }
    bool atEnd() const { return m_pos >= m_text.size(); }
    char current() const { return atEnd() ? '\0' : m_text.at(m_pos); }
    void advance() { ++m_pos; }
    QByteArray rest() const { return m_text.mid(m_pos); }

    // Size digits (else `defaultSize`) and an optional ".digits"; dp is -1 without them.
    bool getSizeDp(int defaultSize, int* size, int* dp);
    // An ASCII letter followed by letters, digits and "_", at most 31 characters.
    bool getIdent(QByteArray* ident);
    // An identifier, then the end of the item or "=" and a default; `written` tells whether
    // a "=" was there (the default may be empty).
    bool getIdentDfltOfItem(QByteArray* ident, QByteArray* dflt, bool* written = nullptr);
    // An identifier, then the end of the item or "/" and a prefix identifier.
    bool getIdentPref(QByteArray* ident, QByteArray* pref);

private:
    bool readDigits(int* value);

    QByteArray m_text;
    int m_pos = 0;
};
