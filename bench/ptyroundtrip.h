#pragma once

#include <QElapsedTimer>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

// The round trip of one byte through a bare pseudo-terminal with an echo thread, in
// microseconds: the floor of every turnaround the benchmarks measure, which a real serial
// port does not have. Taken in the same run as the figures it qualifies.
inline double ptyRoundTripMicros()
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        return -1;
    const int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
    termios settings{};
    tcgetattr(slave, &settings);
    cfmakeraw(&settings);
    tcsetattr(slave, TCSANOW, &settings);
    constexpr int kTrips = 2000;
    std::thread echo([master] {
        char byte = 0;
        for (int i = 0; i < kTrips; ++i) {
            pollfd fd{master, POLLIN, 0};
            poll(&fd, 1, 1000);
            if (read(master, &byte, 1) == 1 && write(master, &byte, 1) != 1)
                return;
        }
    });
    QElapsedTimer clock;
    clock.start();
    char byte = 'x';
    for (int i = 0; i < kTrips; ++i) {
        if (write(slave, &byte, 1) != 1)
            break;
        pollfd fd{slave, POLLIN, 0};
        poll(&fd, 1, 1000);
        if (read(slave, &byte, 1) != 1)
            break;
    }
    const double micros = double(clock.nsecsElapsed()) / 1e3 / kTrips;
    echo.join();
    close(slave);
    close(master);
    return micros;
}
