#include "dumpmodels.h"

#include <QCoreApplication>

#include <algorithm>
#include <climits>

namespace {

QString trView(const char* text)
{
    return QCoreApplication::translate("ViewFpWin", text);
}

QString hexByte(quint8 byte)
{
    static const char digits[] = "0123456789ABCDEF";
    const QChar pair[2] = {QLatin1Char(digits[byte >> 4]), QLatin1Char(digits[byte & 15])};
    return QString(pair, 2);
}

} // namespace

void DumpTableModel::setDump(const QByteArray* data)
{
    beginResetModel();
    m_data = data;
    endResetModel();
}

int DumpTableModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    return m_data ? int(std::min<qsizetype>(m_data->size() / Columns, INT_MAX)) : EmptyRows;
}

int DumpTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : Columns;
}

QVariant DumpTableModel::data(const QModelIndex& index, int role) const
{
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    if (role != Qt::DisplayRole || !m_data || !index.isValid())
        return {};
    const qsizetype at = qsizetype(index.row()) * Columns + index.column();
    if (at >= m_data->size())
        return {};
    return hexByte(quint8(m_data->at(at)));
}

QVariant DumpTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return hexByte(quint8(section));
    return section + 1;
}

FiscalRecordModel::FiscalRecordModel(int areaOffset, int recordSize, int rows,
                                     QList<Column> columns, QObject* parent)
    : QAbstractTableModel(parent),
      m_areaOffset(areaOffset),
      m_recordSize(recordSize),
      m_rows(rows),
      m_columns(std::move(columns))
{
}

FiscalRecordModel* FiscalRecordModel::fiscalizations(QObject* parent)
{
    return new FiscalRecordModel(0, 20, 16,
                                 {{trView("Фискализация"), 110, -1, 0, false},
                                  {trView("Дата"), 70, 0, 3, true},
                                  {trView("РНМ"), 100, 3, 5, false},
                                  {trView("ИНН"), 110, 8, 6, false},
                                  {trView("Смена"), 60, 14, 2, false},
                                  {trView("Пароль НИ"), 90, 16, 4, false}},
                                 parent);
}

FiscalRecordModel* FiscalRecordModel::shiftTotals(QObject* parent)
{
    return new FiscalRecordModel(5120, 11, 2100,
                                 {{trView("Смена"), 60, -1, 0, false},
                                  {trView("Дата"), 70, 0, 3, true},
                                  {trView("Итог"), 120, 3, 7, false},
                                  {trView("КС"), 40, 10, 1, false}},
                                 parent);
}

void FiscalRecordModel::setDump(const QByteArray* data)
{
    beginResetModel();
    m_data = data;
    m_records = countRecords();
    endResetModel();
}

int FiscalRecordModel::countRecords() const
{
    if (!m_data)
        return 0;
    int count = 0;
    while (count < m_rows) {
        const qsizetype start = m_areaOffset + qsizetype(count) * m_recordSize;
        if (start + m_recordSize > m_data->size() || quint8(m_data->at(start)) == 0xFF)
            break;
        ++count;
    }
    return count;
}

int FiscalRecordModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int FiscalRecordModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant FiscalRecordModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    const Column& column = m_columns.at(index.column());
    if (column.offset < 0)
        return index.row() + 1;
    if (index.row() >= m_records || !m_data)
        return {};
    const qsizetype at = m_areaOffset + qsizetype(index.row()) * m_recordSize + column.offset;
    const QByteArray bytes = m_data->mid(at, column.size);
    if (bytes.size() < column.size)
        return {};
    return column.isDate ? dateText(bytes) : reversedHex(bytes);
}

QVariant FiscalRecordModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return m_columns.at(section).header;
    return section + 1;
}

QString FiscalRecordModel::dateText(const QByteArray& bytes)
{
    return hexByte(quint8(bytes.at(0))) + QLatin1Char('/') + hexByte(quint8(bytes.at(1))) +
           QLatin1Char('/') + hexByte(quint8(bytes.at(2)));
}

QString FiscalRecordModel::reversedHex(const QByteArray& bytes)
{
    QString text;
    for (qsizetype i = bytes.size() - 1; i >= 0; --i)
        text += hexByte(quint8(bytes.at(i)));
    return text;
}
