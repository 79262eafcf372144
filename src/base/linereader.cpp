#include "linereader.h"

#include "cp1251.h"

namespace {

const QByteArray kUtf8Bom("\xEF\xBB\xBF");

} // namespace

LineReader::LineReader(QIODevice* device) : m_device(device)
{
    if (m_device->pos() == 0 && m_device->peek(3) == kUtf8Bom) {
        m_utf8 = true;
        m_device->skip(3);
    }
}

bool LineReader::atEnd() const
{
    return m_device->atEnd();
}

QString LineReader::readLine()
{
    QByteArray line = m_device->readLine();
    ++m_lineNumber;
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    return m_utf8 ? QString::fromUtf8(line) : Cp1251::decode(line);
}

qint64 LineReader::pos() const
{
    return m_device->pos();
}

void LineReader::seek(qint64 pos)
{
    m_device->seek(pos);
}
