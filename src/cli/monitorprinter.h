#pragma once

#include <QByteArray>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

// Writes the monitor's lines to standard output and to its --log file on a thread of its own,
// so a pager, a full pipe or a FIFO nobody reads never holds the program up. Lines beyond
// what it can keep are skipped and counted; a write that fails ends the printing to that
// file only, with one line on standard error. It writes to the descriptors directly: a
// thread left blocked in a write at the end holds no lock the program's exit needs.
class MonitorPrinter
{
public:
    static constexpr size_t MaxQueued = 10000;

    // Descriptors; `log` may be -1. Neither is closed here.
    MonitorPrinter(int out, int log);
    ~MonitorPrinter();
    MonitorPrinter(const MonitorPrinter&) = delete;
    MonitorPrinter& operator=(const MonitorPrinter&) = delete;

    // One line, without its line end, in UTF-8.
    void print(const QByteArray& line);
    // Lets the thread write what is queued for at most `waitMs`. False when it is still
    // blocked in a write then: it is left behind, and so must this object be (the process is
    // ending).
    bool finish(int waitMs);

private:
    void run();
    // Writes to `fd` unless it failed before; on a failure says so once.
    static void write(int& fd, const QByteArray& text, const char* name);

    int m_out;
    int m_log;
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<QByteArray> m_lines;
    long m_skipped = 0;
    bool m_busy = false;
    bool m_stopping = false;
    std::thread m_thread;
};
