#pragma once

#include <QElapsedTimer>

#include <algorithm>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

// Opens a terminal device raw, as the link would use it.
inline int openRaw(const char* path)
{
    const int fd = open(path, O_RDWR | O_NOCTTY);
    termios settings{};
    tcgetattr(fd, &settings);
    cfmakeraw(&settings);
    tcsetattr(fd, TCSANOW, &settings);
    return fd;
}

// Microseconds of each of `trips` single-byte round trips from `port` to an echo thread on
// `echoEnd`, the other side of the line.
inline std::vector<double> tripMicros(int port, int echoEnd, int trips)
{
    std::thread echo([echoEnd, trips] {
        char byte = 0;
        for (int i = 0; i < trips; ++i) {
            pollfd fd{echoEnd, POLLIN, 0};
            poll(&fd, 1, 1000);
            if (read(echoEnd, &byte, 1) != 1 || write(echoEnd, &byte, 1) != 1)
                return;
        }
    });
    std::vector<double> micros;
    char byte = 'x';
    for (int i = 0; i < trips; ++i) {
        QElapsedTimer clock;
        clock.start();
        if (write(port, &byte, 1) != 1)
            break;
        pollfd fd{port, POLLIN, 0};
        poll(&fd, 1, 1000);
        if (read(port, &byte, 1) != 1)
            break;
        micros.push_back(double(clock.nsecsElapsed()) / 1e3);
    }
    echo.join();
    return micros;
}

// The mean round trip of one byte through a bare pseudo-terminal, in microseconds: the
// floor of every turnaround the benchmarks measure, which a real serial port does not have.
// Taken in the same run as the figures it qualifies.
inline double ptyRoundTripMicros()
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        return -1;
    const int slave = openRaw(ptsname(master));
    const std::vector<double> trips = tripMicros(slave, master, 2000);
    close(slave);
    close(master);
    double sum = 0;
    for (const double trip : trips)
        sum += trip;
    return trips.empty() ? -1 : sum / double(trips.size());
}
