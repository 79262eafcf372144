#pragma once

#include "linereport.h"

#include <functional>

class ProcedureLink;

// The line test: short status requests (10h, read-only) one after another on the connected
// link, with the link's retries and rules as for any command. Each reply's record of
// attempts and its time go into the report. The test stops after the exchange under way
// when its progress says so, and at a lost port; the report keeps what it has.
class LineTest
{
public:
    static constexpr int DefaultCount = 200;
    static constexpr int MaxCount = 100000;
    static constexpr quint8 StatusCode = 0x10;

    // Told after each exchange, with the report so far; false stops the test.
    using Progress = std::function<bool(const LineReport& report)>;

    LineTest(ProcedureLink& link, const QString& port, int baud, int count = DefaultCount);

    // Runs on a connected link; returns at once with no exchange on another.
    LineReport run(const Progress& progress = {});

private:
    ProcedureLink& m_link;
    QString m_port;
    int m_baud;
    int m_count;
};
