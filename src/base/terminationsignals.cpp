#include "terminationsignals.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};
std::function<void()> g_handler;
QPointer<QSocketNotifier> g_notifier;

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

void writeSignal(int)
{
    const int savedErrno = errno; // the interrupted code may be reading it
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[0], &byte, 1);
    errno = savedErrno;
}

} // namespace

void onTerminationSignal(std::function<void()> handler)
{
    g_handler = std::move(handler);
    if (g_signalPipe[0] < 0 &&
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, g_signalPipe) != 0)
        return;
    // One notifier for the program's life; a later call only replaces the handler.
    if (!g_notifier) {
        g_notifier = new QSocketNotifier(g_signalPipe[1], QSocketNotifier::Read,
                                         QCoreApplication::instance());
        QObject::connect(g_notifier, &QSocketNotifier::activated, g_notifier, [] {
            char bytes[16];
            while (::read(g_signalPipe[1], bytes, sizeof bytes) > 0) {
            }
            if (g_handler)
                g_handler();
        });
    }
    struct sigaction action = {};
    action.sa_handler = writeSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : kSignals)
        ::sigaction(signal, &action, nullptr);
}

void restoreDefaultTerminationSignals()
{
    g_handler = nullptr;
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (const int signal : kSignals)
        ::sigaction(signal, &action, nullptr);
}
