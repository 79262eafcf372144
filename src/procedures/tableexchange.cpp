#include "tableexchange.h"

#include "base/logpane.h"
#include "procedurehost.h"
#include "procedurelink.h"

#include <QCoreApplication>
#include <QDebug>

namespace {

constexpr int StructureReply = 45;
constexpr int FieldStructureReply = 44;
constexpr int NameBytes = 40;

QString trTables(const char* text)
{
    return QCoreApplication::translate("Tables", text);
}

void overload(const QByteArray& reply)
{
    qDebug().noquote() << "*****!!!!!!!!!!! overload: " + QString::fromLatin1(reply.toHex());
}

void appendNumber(QByteArray* bytes, quint32 value, int size)
{
    for (int i = 0; i < size; ++i)
        bytes->append(char(quint8(value >> (8 * i))));
}

} // namespace

TableExchange::TableExchange(ProcedureLink& link) : m_link(link) {}

QByteArray TableExchange::withPassword(quint8 code) const
{
    return ProcedureLink::withPassword(code, m_link.host().password());
}

QByteArray TableExchange::tableStructure(int table) const
{
    return withPassword(TableStructure).append(char(table));
}

QByteArray TableExchange::fieldStructure(int table, int field) const
{
    return withPassword(FieldStructure).append(char(table)).append(char(field));
}

QByteArray TableExchange::readField(int table, int row, int field) const
{
    QByteArray command = withPassword(ReadField).append(char(table));
    appendNumber(&command, quint32(row), 2);
    return command.append(char(field));
}

QByteArray TableExchange::writeField(int table, int row, int field, const QByteArray& value) const
{
    QByteArray command = withPassword(WriteField).append(char(table));
    appendNumber(&command, quint32(row), 2);
    return command.append(char(field)).append(value);
}

int TableExchange::sendRead(const QByteArray& command, const QString& title, int allowedError)
{
    const ProcedureLink::Result result = m_link.send(command, {title, title, title}, allowedError);
    m_reply = result.reply;
    return result.code;
}

int TableExchange::sendWrite(const QByteArray& command, const QString& fieldDescription)
{
    const QString title = trTables("Запись поля");
    const ProcedureLink::Result result =
        m_link.send(command, {title, title, title}, -1, fieldDescription);
    m_reply = result.reply;
    if (m_reply.size() >= 2)
        qDebug() << "tabRpl errFR" << quint8(m_reply.at(1));
    return result.code;
}

bool TableExchange::discover()
{
    qDebug() << "getTabList";
    for (int n = 1; n <= MaxTables; ++n) {
        const int code =
            sendRead(tableStructure(n), trTables("Запрос структуры таблицы"), TableNotDefined);
        if (code == TableNotDefined) {
            m_count = n - 1;
            listed();
            return true;
        }
        if (code != 0)
            return false;
        DeviceTable& table = m_list.at(size_t(n - 1));
        table.number = n;
        if (m_reply.size() < StructureReply) {
            overload(m_reply);
            continue;
        }
        table.name = m_reply.mid(2, NameBytes);
        table.rows = quint8(m_reply.at(42)) | quint8(m_reply.at(43)) << 8;
        table.fields = quint8(m_reply.at(44));
        qDebug().noquote() << "getTabStruct \"" + QString::fromLatin1(m_reply.toHex()) + '"';
    }
    m_count = MaxTables;
    listed();
    return true;
}

// A reading ends with a line, as a writing does: the status line tells this outcome, not
// the one before the reading.
void TableExchange::listed() const
{
    m_link.host().logPane().logInfo(trTables("Список таблиц"),
                                    trTables("прочитано таблиц: %1.").arg(m_count));
}

QList<QByteArray> TableExchange::names() const
{
    QList<QByteArray> list;
    for (int n = 1; n <= m_count; ++n) {
        const QByteArray& name = listed(n).name;
        list << name.left(qsizetype(qstrnlen(name.constData(), uint(name.size()))));
    }
    return list;
}

void TableExchange::dumpStructure() const
{
    for (int n = 1; n <= m_count; ++n)
        for (const QString& line : listed(n).structureLines())
            qDebug().noquote() << line;
}

bool TableExchange::readStructure(int n)
{
    m_table = DeviceTable();
    m_table.number = n;
    if (sendRead(tableStructure(n), trTables("Запрос структуры таблицы")) != 0)
        return false;
    m_table.name = m_reply.mid(2, NameBytes);
    if (m_reply.size() < StructureReply) {
        overload(m_reply);
        return false;
    }
    m_table.rows = quint8(m_reply.at(42)) | quint8(m_reply.at(43)) << 8;
    m_table.fields = quint8(m_reply.at(44));
    if (m_table.fields > DeviceTable::MaxFields) {
        m_link.host().logPane().logError(
            trTables("Запрос структуры таблицы"),
            trTables("%1: полей %2, допустимо не более %3. Таблица не открыта.")
                .arg(m_table.title())
                .arg(m_table.fields)
                .arg(DeviceTable::MaxFields));
        return false;
    }
    return true;
}

bool TableExchange::readFieldStructures(TableProgress& progress)
{
    int offset = 0;
    for (int k = 0; k < m_table.fields; ++k) {
        if (!progress.step(k))
            return false;
        TableField field;
        field.offset = offset;
        if (sendRead(fieldStructure(m_table.number, k + 1),
                     trTables("Запрос структуры поля ") + QString::number(k)) != 0)
            return false;
        if (m_reply.size() < FieldStructureReply) {
            overload(m_reply);
            return false;
        }
        field.name = m_reply.mid(2, NameBytes);
        field.type = quint8(m_reply.at(42));
        field.size = quint8(m_reply.at(43));
        offset += field.size;
        m_table.fieldList << field;
    }
    m_table.rowSize = offset;
    return true;
}

bool TableExchange::fitsTheTool() const
{
    const qint64 bytes = qint64(m_table.rows) * m_table.rowSize;
    const qint64 cells = qint64(m_table.rows) * m_table.fields;
    if (bytes <= DeviceTable::MaxDataBytes && cells <= DeviceTable::MaxDataBytes)
        return true;
    m_link.host().logPane().logError(
        trTables("Запрос структуры таблицы"),
        trTables("%1: рядов %2 по %3 байт, допустимо не более %4 байт. Таблица не открыта.")
            .arg(m_table.title())
            .arg(m_table.rows)
            .arg(m_table.rowSize)
            .arg(DeviceTable::MaxDataBytes));
    return false;
}

bool TableExchange::readValues(TableProgress& progress)
{
    const int fields = m_table.fields;
    for (int r = 0; r < m_table.rows; ++r) {
        if (m_table.rows > 1)
            qDebug() << "getTableRows row=" << r;
        for (int k = 0; k < fields; ++k) {
            if (!progress.step(k + fields * (r + 1)))
                return false;
            const int size = m_table.fieldList.at(k).size;
            const QString title = trTables("Чтение поля ") + QString::number(k) +
                                  trTables(" ряд ") + QString::number(r);
            if (sendRead(readField(m_table.number, r + 1, k + 1), title) != 0)
                return false;
            if (m_reply.size() < size + 2) {
                overload(m_reply);
                return false;
            }
            std::copy_n(m_reply.constData() + 2, size, m_table.value(r, k));
        }
    }
    return true;
}

bool TableExchange::read(int n, TableProgress& progress)
{
    if (!readStructure(n))
        return false;
    progress.open(TableProgress::Reading, n, m_table.rows * m_table.fields + m_table.fields);
    bool done = readFieldStructures(progress) && fitsTheTool();
    if (done) {
        m_table.data = QByteArray(qsizetype(m_table.rows) * m_table.rowSize, '\0');
        for (const QString& line : m_table.structureLines())
            qDebug().noquote() << line;
        if (m_table.rows > 1)
            qDebug() << "getTableRows rows=" << m_table.rows;
        done = readValues(progress);
    }
    if (done) {
        progress.complete();
        m_link.host().logPane().logInfo(trTables("Чтение таблицы"),
                                        trTables("Таблица %1: прочитано рядов %2, полей %3.")
                                            .arg(n)
                                            .arg(m_table.rows)
                                            .arg(m_table.fields));
    }
    progress.close();
    return done;
}

bool TableExchange::write(TableProgress& progress)
{
    int written = 0;
    int refused = 0;
    // One line ends every write: the fields taken and refused, and whether it stopped early.
    const auto finish = [&](bool whole) {
        progress.close();
        QString text = trTables("Таблица %1: записано полей %2, отказано %3.")
                           .arg(m_table.number)
                           .arg(written)
                           .arg(refused);
        if (!whole)
            text += trTables(" Запись прервана.");
        m_link.host().logPane().logInfo(trTables("Запись таблицы"), text);
        return whole;
    };
    const int fields = m_table.fields;
    progress.open(TableProgress::Writing, m_table.number, m_table.rows * fields);
    for (int r = 0; r < m_table.rows; ++r) {
        for (int k = 0; k < fields; ++k) {
            qDebug() << "putTabRowFld" << m_table.number << r << k;
            if (!progress.step(k + fields * r))
                return finish(false);
            if (m_table.number == ProtectedRowTable && r == 0)
                continue;
            const TableField& field = m_table.fieldList.at(k);
            QString description =
                trTables("Поле ") + QString::number(k + 1) + QLatin1Char(' ') + field.displayName();
            if (m_table.rows > 1)
                description += trTables(" ряд ") + QString::number(r + 1);
            const QByteArray value(m_table.value(r, k), field.size);
            const int code =
                sendWrite(writeField(m_table.number, r + 1, k + 1, value), description);
            if (code == 0)
                ++written;
            else if (code > 0 && code <= 0xFF) // the device's own error byte
                ++refused;
            if (code != 0 && code != FieldNotEditable)
                return finish(false);
        }
    }
    progress.complete();
    return finish(true);
}
