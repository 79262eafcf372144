#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QStringList>

// Table models over dump data held elsewhere (the device data window's), so that a dump of
// any size is shown at once and costs memory only for itself.

// Any dump as hexadecimal bytes, 16 to a row; a trailing part row is not shown.
class DumpTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int Columns = 16;
    // Rows shown before any data is attached.
    static constexpr int EmptyRows = 8;

    explicit DumpTableModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    // Attaches the data, or shows it again after it has changed.
    void setDump(const QByteArray* data);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    const QByteArray* m_data = nullptr;
};

// One record area of a fiscal memory dump: numbered rows, the records filled up to the
// first that starts with FFh or runs past the data.
class FiscalRecordModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    // A column's text from one record.
    struct Column
    {
        QString header;
        int width;
        int offset; // within the record; -1 for the record's number
        int size;
        bool isDate;
    };

    FiscalRecordModel(int areaOffset, int recordSize, int rows, QList<Column> columns,
                      QObject* parent = nullptr);

    static FiscalRecordModel* fiscalizations(QObject* parent = nullptr);
    static FiscalRecordModel* shiftTotals(QObject* parent = nullptr);

    // Attaches the data, or counts its records again after it has changed.
    void setDump(const QByteArray* data);
    int records() const { return m_records; }
    int columnWidth(int column) const { return m_columns.at(column).width; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // Three bytes as dd/mm/yy hexadecimal digits: 05h 03h 24h give 05/03/24.
    static QString dateText(const QByteArray& bytes);
    // The bytes last to first as upper-case hexadecimal digits.
    static QString reversedHex(const QByteArray& bytes);

private:
    int countRecords() const;

    const QByteArray* m_data = nullptr;
    int m_areaOffset;
    int m_recordSize;
    int m_rows;
    QList<Column> m_columns;
    int m_records = 0;
};
