#pragma once

#include <QByteArray>

#include <poll.h>
#include <unistd.h>

// The protocol's good path and nothing else, on a raw terminal file descriptor: ENQ, the
// frame after NAK, the reply after ACK, its ACK; a byte waited for with poll() and read alone.
// The floor of an exchange on this line and machine, which the link and the window are
// measured beside.
namespace bareclient {

inline int readByte(int fd)
{
    pollfd ready{fd, POLLIN, 0};
    unsigned char byte = 0;
    if (poll(&ready, 1, 1000) <= 0 || read(fd, &byte, 1) != 1)
        return -1;
    return byte;
}

inline bool writeBytes(int fd, const QByteArray& bytes)
{
    return write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
}

// One exchange of `command`; false when anything but the good path came.
inline bool exchange(int fd, const QByteArray& command)
{
    QByteArray frame(1, '\x02');
    frame.append(char(command.size()));
    quint8 checksum = quint8(command.size());
    for (const char byte : command)
        checksum ^= quint8(byte);
    frame.append(command).append(char(checksum));
    if (!writeBytes(fd, QByteArray(1, '\x05')) || readByte(fd) != 0x15 ||
        !writeBytes(fd, frame) || readByte(fd) != 0x06 || readByte(fd) != 0x02)
        return false;
    const int length = readByte(fd);
    for (int i = 0; i <= length; ++i) // the payload and its checksum
        if (readByte(fd) < 0)
            return false;
    return length > 0 && writeBytes(fd, QByteArray(1, '\x06'));
}

} // namespace bareclient
