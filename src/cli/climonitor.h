#pragma once

#include "codec/framedecoding.h"
#include "link/framefollower.h"
#include "monitorlines.h"
#include "monitorrelay.h"

#include <QFile>
#include <QTextStream>
#include <QTimer>

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

private:
    void received(const MonitorRelay::Chunk& chunk);
    void show(const FrameFollower::Event& event);
    void print(const MonitorLines::Line& line);
    // After the host took a good reply to the exchange parameters command: both ends move to
    // the rate the command set, as the registrar does.
    void followRateChange(const FrameFollower::Event& event);

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
    QFile m_logFile;
    QTextStream m_logStream;
    bool m_lostEnd = false;
};
