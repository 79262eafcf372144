#include "lowlatency.h"

#include <cerrno>
#include <cstring>
#include <linux/serial.h>
#include <sys/ioctl.h>

bool requestLowLatency(int descriptor, QString* reason)
{
    serial_struct serial{};
    if (::ioctl(descriptor, TIOCGSERIAL, &serial) != 0) {
        *reason = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    serial.flags |= ASYNC_LOW_LATENCY;
    if (::ioctl(descriptor, TIOCSSERIAL, &serial) != 0) {
        *reason = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    return true;
}
