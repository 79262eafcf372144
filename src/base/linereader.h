#pragma once

#include <QIODevice>
#include <QString>

// Reads a description file line by line on bytes, so that recorded positions are byte
// offsets. A UTF-8 byte-order mark at the start selects UTF-8 and is skipped; without one the
// lines are Windows-1251. Line ends (LF or CR LF) are dropped.
class LineReader
{
public:
    explicit LineReader(QIODevice* device);

    bool atEnd() const;
    QString readLine();
    // The byte offset of the next line.
    qint64 pos() const;
    void seek(qint64 pos);
    bool isUtf8() const { return m_utf8; }
    // Line number (from 1) of the line read last.
    int lineNumber() const { return m_lineNumber; }

private:
    QIODevice* m_device;
    bool m_utf8 = false;
    int m_lineNumber = 0;
};
