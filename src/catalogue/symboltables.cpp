#include "symboltables.h"

#include "base/linereader.h"
#include "base/msgbox.h"
#include "base/valueconversion.h"
#include "itemlexer.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFileInfo>
#include <QSettings>

namespace {

QString trSymbols(const char* text)
{
    return QCoreApplication::translate("SymbolTables", text);
}

using Row = SymbolTables::RowResult;

Row error(int pos)
{
    return {Row::Error, pos};
}

// The value of a plain row's token: a known symbol, one literal character, or a 16-bit
// number read as decimal first, then with automatic base.
bool resolvePlainValue(const std::vector<SymbolEntry>& symbols, const QByteArray& token,
                       QByteArray* value)
{
    for (const SymbolEntry& symbol : symbols) {
        if (symbol.name == token) {
            *value = symbol.value;
            return true;
        }
    }
    if (token.size() == 1) {
        *value = token;
        return true;
    }
    // Each reading is held to 16 bits on its own: "0177777" is 177777 in decimal, too large,
    // and 65535 in octal, which fits.
    quint64 number = 0;
    const auto fits = [&token, &number](int base) {
        return parseUnsigned(token, base, &number) && number <= 0xFFFF;
    };
    if (fits(10) || fits(0)) {
        *value = QByteArray(1, char(number & 0xFF));
        return true;
    }
    return false;
}

} // namespace

SymbolTables::SymbolTables(QFile* symbolFile, QFile* defaultFile, QFile* viewFile)
{
    setFiles(symbolFile, defaultFile, viewFile);
}

void SymbolTables::setFiles(QFile* symbolFile, QFile* defaultFile, QFile* viewFile)
{
    m_symbolFile = symbolFile;
    m_defaultFile = defaultFile;
    m_viewFile = viewFile;
}

void SymbolTables::reset()
{
    m_symbols.clear();
    m_defaults.clear();
    m_views.clear();
}

std::vector<SymbolEntry>& SymbolTables::table(Selector selector)
{
    return selector == Symbols ? m_symbols : m_defaults;
}

SymbolTables::RowResult SymbolTables::parseRow(Selector selector, const QString& line)
{
    if (line.startsWith(QLatin1String("//")))
        return {};
    const QByteArray row = line.trimmed().toUtf8();
    if (row.isEmpty())
        return {};
    const int equals = int(row.indexOf('='));
    if (equals <= 0)
        return error(0);
    const int tokenEnd = int(row.indexOf(' ', equals + 1));
    const QByteArray token = row.mid(equals + 1, tokenEnd < 0 ? -1 : tokenEnd - equals - 1);
    if (token.isEmpty())
        return error(equals + 1);

    SymbolEntry entry;
    const char kind = row.at(0);
    if (kind == '#' || kind == '*') {
        ItemLexer lexer(row, 1);
        int size = 0;
        int dp = -1;
        if (!lexer.getSizeDp(1, &size, &dp) || (kind == '*' && dp >= 0) ||
            !lexer.getIdent(&entry.name) || lexer.current() != '=')
            return error(lexer.pos());
        const int valuePos = lexer.pos() + 1;
        QByteArray text = row.mid(valuePos).trimmed();
        if (kind == '#') {
            entry.value = QByteArray(size, '\0');
            if (!numbTo(text, size, dp, reinterpret_cast<quint8*>(entry.value.data())))
                return error(valuePos);
        } else {
            if (row.at(valuePos) == '"') {
                const int close = int(row.indexOf('"', valuePos + 1));
                if (close < 0)
                    return error(valuePos);
                text = row.mid(valuePos + 1, close - valuePos - 1);
            }
            if (size == 0)
                size = int(text.size());
            if (size > MaxValueBytes)
                return error(valuePos);
            entry.value = text.left(size).leftJustified(size, '\0');
        }
    } else {
        entry.name = row.left(equals);
        if (entry.name.size() > MaxNameBytes)
            return error(0);
        if (!resolvePlainValue(m_symbols, token, &entry.value))
            return error(equals + 1);
    }

    std::vector<SymbolEntry>& target = table(selector);
    if (int(target.size()) >= (selector == Symbols ? MaxSymbols : MaxDefaults)) {
        qWarning() << "Table full, row dropped:" << entry.name;
        return error(0);
    }
    target.push_back(entry);
    return {Row::Stored, 0};
}

bool SymbolTables::loadSymbolFile(Selector selector)
{
    m_selector = selector;
    QFile* file = selector == Symbols ? m_symbolFile : m_defaultFile;
    qDebug() << "SymbFile" << QFileInfo(*file).absoluteFilePath();
    if (!file->open(QIODevice::ReadOnly)) {
        msgBox(MsgIcon::Critical, trSymbols("Инициализация"),
               selector == Symbols ? trSymbols("Нет файла Symbol.ini")
                                   : trSymbols("Нет файла Default.ini"));
        return false;
    }
    bool good = true;
    LineReader reader(file);
    while (!reader.atEnd()) {
        const RowResult result = parseRow(selector, reader.readLine());
        if (result.kind == RowResult::Error) {
            qDebug() << "Error" << reader.lineNumber() << result.errorPos;
            good = false;
        }
    }
    file->close();
    return good;
}

bool SymbolTables::loadViewFile()
{
    QSettings ini(QFileInfo(*m_viewFile).absoluteFilePath(), QSettings::IniFormat);
    const QStringList keys = ini.allKeys();
    for (const QString& key : keys) {
        if (int(m_views.size()) >= MaxViews) {
            qWarning() << "Name table full, key dropped:" << key;
            continue;
        }
        const QByteArray name = key.toUtf8();
        if (name.size() > MaxNameBytes) {
            qWarning() << "Name too long, key dropped:" << key;
            continue;
        }
        // A value holding an unquoted comma is a list, whose text is empty; it is still an
        // entry, so a lookup finds an empty text rather than nothing.
        QString text = ini.value(key).toString();
        if (text.isNull())
            text = QLatin1String("");
        m_views.push_back({name, text});
    }
    return true;
}

void SymbolTables::dumpSymbols() const
{
    const bool symbols = m_selector == Symbols;
    const std::vector<SymbolEntry>& entries = symbols ? m_symbols : m_defaults;
    qDebug() << (symbols ? "Symbol file-----------------------------"
                         : "Default file-----------------------------");
    qDebug() << (symbols ? "symbolsVol" : "dfltsVol") << entries.size();
    for (size_t i = 0; i < entries.size(); ++i)
        qDebug() << i << entries[i].name << entries[i].value.toHex();
}

void SymbolTables::dumpViews() const
{
    qDebug() << "View file-----------------------------";
    qDebug() << "viewsVol" << m_views.size();
    for (const ViewEntry& view : m_views)
        qDebug() << view.name << view.text;
}

QString SymbolTables::viewOf(const QByteArray& ident) const
{
    for (const ViewEntry& view : m_views) {
        if (view.name == ident)
            return view.text;
    }
    return {};
}

std::vector<const SymbolEntry*> SymbolTables::family(const QByteArray& prefix) const
{
    std::vector<const SymbolEntry*> members;
    if (prefix.isEmpty())
        return members;
    for (const SymbolEntry& symbol : m_symbols) {
        if (symbol.name.startsWith(prefix))
            members.push_back(&symbol);
    }
    return members;
}

QStringList SymbolTables::enumNames(const QByteArray& prefix) const
{
    QStringList names;
    for (const SymbolEntry* member : family(prefix)) {
        const QString view = viewOf(member->name);
        names << (view.isNull() ? QString::fromUtf8(member->name) : view);
    }
    return names;
}

QByteArray SymbolTables::enumValue(const QByteArray& prefix, int n, int size) const
{
    const auto members = family(prefix);
    if (n < 0 || n >= int(members.size()) || size <= 0)
        return {};
    return members[size_t(n)]->value.left(size).leftJustified(size, '\0');
}

int SymbolTables::enumIndex(const QByteArray& prefix, const QByteArray& bytes) const
{
    const auto members = family(prefix);
    for (size_t i = 0; i < members.size(); ++i) {
        const QByteArray padded = members[i]->value.leftJustified(
            std::max(members[i]->length(), int(bytes.size())), '\0');
        if (padded.startsWith(bytes))
            return int(i);
    }
    return -1;
}

int SymbolTables::findDefault(const QByteArray& name) const
{
    for (size_t i = 0; i < m_defaults.size(); ++i) {
        if (m_defaults[i].name == name)
            return int(i);
    }
    return -1;
}

int SymbolTables::findSymbol(const QByteArray& name) const
{
    for (size_t i = 0; i < m_symbols.size(); ++i) {
        if (m_symbols[i].name == name)
            return int(i);
    }
    return -1;
}

void SymbolTables::setDefaultValue(int index, const QByteArray& value)
{
    if (index >= 0 && index < int(m_defaults.size()))
        m_defaults[size_t(index)].value = value.left(MaxValueBytes);
}
