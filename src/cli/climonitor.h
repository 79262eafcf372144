#pragma once

#include "codec/framedecoding.h"
#include "link/framefollower.h"
#include "monitorlines.h"
#include "monitorprinter.h"
#include "monitorrelay.h"

#include <QTextStream>
#include <QTimer>

#include <memory>

struct CliOptions;
class MLogSystem;
struct ProgramObjects;

// velkor-cli monitor: sits between another program and the registrar, passes every byte on
// and prints what the two say to each other until Ctrl+C or SIGTERM.
class CliMonitor : public QObject
{
public:
    CliMonitor(ProgramObjects& objects, const CliOptions& options, QTextStream& out,
               QTextStream& err, MLogSystem& log);

    // 0 after a signal ended it; 2 when an end could not be opened or was lost; 3 when the
    // log file could not be opened.
    int run();

    // The relay's rule for the rate switch: the exchange parameters command's port and rate
    // bytes, from Command.ini, and the rates of the rate symbols (BR_), from Symbol.ini.
    static RateWatch::Rule rateRule(ProgramObjects& objects, FrameDecoding& decoding);

private:
    void takeEvents();
    void received(const MonitorRelay::Event& event);
    void show(const FrameFollower::Event& event);
    void print(const MonitorLines::Line& line);
    void report(const QString& text);

    ProgramObjects& m_objects;
    const CliOptions& m_options;
    QTextStream& m_out;
    QTextStream& m_err;
    MLogSystem& m_log;
    FrameDecoding m_decoding;
    MonitorLines m_lines;
    FrameFollower m_follower;
    MonitorRelay m_relay;
    QTimer m_tick;
    int m_logFile = -1; // --log, appended to
    std::unique_ptr<MonitorPrinter> m_printer;
    bool m_lostEnd = false;
};
