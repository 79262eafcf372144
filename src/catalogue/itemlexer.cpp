#include "itemlexer.h"

#include <QDebug>

namespace {

bool isLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

ItemLexer::ItemLexer(QByteArray text, int pos) : m_text(std::move(text)), m_pos(pos) {}

bool ItemLexer::readDigits(int* value)
{
    if (!isDigit(current()))
        return false;
    qint64 number = 0;
    while (isDigit(current())) {
        number = number * 10 + (current() - '0');
        if (number > MaxSize)
            number = MaxSize + 1; // saturate: the caller rejects it
        advance();
    }
    *value = int(number);
    return true;
}

bool ItemLexer::getSizeDp(int defaultSize, int* size, int* dp)
{
    *dp = -1;
    if (!readDigits(size)) {
        *size = defaultSize;
        return current() != '.';
    }
    if (*size > MaxSize)
        return false;
    if (current() == '.') {
        advance();
        if (!readDigits(dp) || *dp > MaxSize)
            return false;
    }
    return true;
}

bool ItemLexer::getIdent(QByteArray* ident)
{
    const int start = m_pos;
    if (!isLetter(current()))
        return false;
    while (isLetter(current()) || isDigit(current()) || current() == '_')
        advance();
    *ident = m_text.mid(start, m_pos - start);
    qDebug() << "getIdent" << *ident;
    return ident->size() <= MaxIdentLength;
}

bool ItemLexer::getIdentDfltOfItem(QByteArray* ident, QByteArray* dflt, bool* written)
{
    dflt->clear();
    if (written)
        *written = false;
    if (!getIdent(ident))
        return false;
    if (atEnd())
        return true;
    if (current() != '=')
        return false;
    if (written)
        *written = true;
    *dflt = m_text.mid(m_pos + 1);
    m_pos = int(m_text.size());
    qDebug() << "getIdentDfltOfItem" << *ident << *dflt;
    return true;
}

bool ItemLexer::getIdentPref(QByteArray* ident, QByteArray* pref)
{
    pref->clear();
    if (!getIdent(ident))
        return false;
    if (atEnd())
        return true;
    if (current() != '/')
        return false;
    advance();
    return getIdent(pref) && atEnd();
}
