#pragma once

#include "devicetable.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>

class ProcedureLink;

// The progress of reading or writing a table, as the window shows it.
class TableProgress
{
public:
    enum Mode
    {
        Reading,
        Writing,
    };
    virtual ~TableProgress() = default;
    virtual void open(Mode mode, int table, int maximum) = 0;
    // Moves to `value` and lets the user act; false when the user has cancelled.
    virtual bool step(int value) = 0;
    virtual void complete() = 0;
    virtual void close() = 0;
};

// The device's tables over the link: the list of tables, reading one table's structure and
// values, writing them back. Every command goes with the current administrator password.
class TableExchange
{
public:
    static constexpr int MaxTables = 32;
    static constexpr quint8 TableStructure = 0x2D;
    static constexpr quint8 FieldStructure = 0x2E;
    static constexpr quint8 ReadField = 0x1F;
    static constexpr quint8 WriteField = 0x1E;
    static constexpr int TableNotDefined = 93;
    static constexpr int FieldNotEditable = 122;
    // Row 1 of this table is protected: it is never written.
    static constexpr int ProtectedRowTable = 5;

    explicit TableExchange(ProcedureLink& link);

    // Asks tables 1 to 32 for their structure until one is not defined; false when another
    // error ends the list (it is then tried again next time).
    bool discover();
    int count() const { return m_count; }
    // Table n (from 1) of the list, as discovery left it.
    const DeviceTable& listed(int n) const { return m_list.at(size_t(n - 1)); }
    QList<QByteArray> names() const;
    // The structure of every discovered table, to the debug trace.
    void dumpStructure() const;

    // Reads table n afresh: structure, field structures, every field of every row.
    bool read(int n, TableProgress& progress);
    // Writes every field of the table read last, with the values it holds now.
    bool write(TableProgress& progress);
    DeviceTable& table() { return m_table; }
    const DeviceTable& table() const { return m_table; }

    QByteArray tableStructure(int table) const;
    QByteArray fieldStructure(int table, int field) const;
    QByteArray readField(int table, int row, int field) const;
    QByteArray writeField(int table, int row, int field, const QByteArray& value) const;

private:
    // The line that ends a reading of the list.
    void listed() const;
    QByteArray withPassword(quint8 code) const;
    // Returns 0 or the failure's code; the reply is kept in m_reply.
    int sendRead(const QByteArray& command, const QString& title, int allowedError = -1);
    int sendWrite(const QByteArray& command, const QString& fieldDescription);
    bool readStructure(int n);
    bool readFieldStructures(TableProgress& progress);
    bool readValues(TableProgress& progress);
    bool fitsTheTool() const;

    ProcedureLink& m_link;
    std::array<DeviceTable, MaxTables> m_list;
    int m_count = -1;
    DeviceTable m_table;
    QByteArray m_reply;
};
