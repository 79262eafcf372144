#pragma once

#include "deviceside.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace emu {

// The emulated registrar behind a pseudo-terminal: the tool opens portPath() as an
// ordinary serial port. The device hears the host only when the port is set to the
// device's own baud rate.
class PtyEmulator
{
public:
    explicit PtyEmulator(FaultPlan plan = {}, int baudRate = 4800);
    ~PtyEmulator();
    PtyEmulator(const PtyEmulator&) = delete;
    PtyEmulator& operator=(const PtyEmulator&) = delete;

    // Creates the pseudo-terminal, in raw mode, and a symlink to it at linkPath when given.
    bool open(const std::string& linkPath = {});
    std::string portPath() const;
    const std::string& error() const { return m_error; }

    // Serves the line on a thread of its own until stop() or destruction.
    void start();
    void stop();
    // Serves the line on the calling thread until requestStop().
    void run();
    // Safe to call from a signal handler.
    void requestStop() { m_running = false; }

    void setSummaryHandler(std::function<void(const std::string&)> handler);
    // Runs `f` on the device model while the line is not being served.
    template <typename F> auto withModel(F&& f)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return f(m_model);
    }
    // Bytes the device discarded because the port was at another baud rate.
    unsigned long misheardBytes() const { return m_misheard; }

private:
    void loop();
    // The rate the host set on its end of the line; B0 when it cannot be read.
    unsigned lineSpeed() const;
    void serve(const Bytes& bytes);
    void send(const DeviceSide::Output& output);
    void sleepMs(int ms);

    DeviceModel m_model;
    DeviceSide m_side;
    FaultPlan m_plan;
    std::mutex m_mutex;
    int m_master = -1;
    int m_slave = -1; // held open so that the master never sees a hang-up
    std::string m_slaveName;
    std::string m_link;
    std::string m_error;
    std::thread m_thread;
    std::atomic<bool> m_running{false};
    std::atomic<unsigned long> m_misheard{0};
    DeviceSide::Clock::time_point m_lineFree; // when the line is done with earlier bytes
};

} // namespace emu
