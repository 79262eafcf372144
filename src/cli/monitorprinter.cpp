#include "monitorprinter.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <utility>

MonitorPrinter::MonitorPrinter(int out, int log) : m_out(out), m_log(log)
{
    // A closed reader (| head, a dropped session) makes a write fail instead of killing the
    // program in the middle of the exchange it relays.
    std::signal(SIGPIPE, SIG_IGN);
    m_thread = std::thread([this] { run(); });
}

MonitorPrinter::~MonitorPrinter()
{
    finish(0);
}

void MonitorPrinter::print(const QByteArray& line)
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_lines.size() >= MaxQueued) {
        ++m_skipped;
        return;
    }
    m_lines.push_back(line);
    m_wake.notify_one();
}

bool MonitorPrinter::finish(int waitMs)
{
    if (!m_thread.joinable())
        return true;
    std::unique_lock<std::mutex> lock(m_lock);
    m_stopping = true;
    m_wake.notify_one();
    const bool idle = m_idle.wait_for(lock, std::chrono::milliseconds(waitMs),
                                      [this] { return m_lines.empty() && !m_busy; });
    lock.unlock();
    if (idle) {
        m_thread.join();
        return true;
    }
    m_thread.detach(); // blocked in a write nobody will take: the process ends around it
    return false;
}

void MonitorPrinter::run()
{
    // Printing yields to the relay's threads when the processor is short.
    ::setpriority(PRIO_PROCESS, pid_t(::syscall(SYS_gettid)), 15);
    for (;;) {
        QByteArray text;
        {
            std::unique_lock<std::mutex> lock(m_lock);
            m_busy = false;
            m_idle.notify_all();
            m_wake.wait(lock, [this] { return !m_lines.empty() || m_skipped || m_stopping; });
            if (m_lines.empty() && !m_skipped)
                return;
            if (m_skipped)
                text = QByteArray("… пропущено строк: ") +
                       QByteArray::number(qlonglong(std::exchange(m_skipped, 0))) +
                       " (вывод не успевал)\n";
            for (QByteArray& line : m_lines)
                text += line + '\n';
            m_lines.clear();
            m_busy = true;
        }
        write(m_out, text, "стандартный вывод");
        write(m_log, text, "файл --log");
    }
}

void MonitorPrinter::write(int& fd, const QByteArray& text, const char* name)
{
    if (fd < 0)
        return;
    const char* data = text.constData();
    size_t left = size_t(text.size());
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written > 0) {
            data += written;
            left -= size_t(written);
        } else if (written < 0 && errno != EINTR) {
            break;
        }
    }
    if (left == 0)
        return;
    std::fprintf(stderr, "Монитор: запись в %s не удалась; строки больше не выводятся туда, "
                         "обмен идёт дальше.\n",
                 name);
    fd = -1;
}
