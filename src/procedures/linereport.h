#pragma once

#include "link/frvelkor.h"

#include <QList>
#include <QString>
#include <QStringList>

// What a line test found: each exchange's outcome, the faults it met and its time, and the
// report made of them, with a verdict on the line and one piece of advice.
class LineReport
{
public:
    // A fault on the line as the test counts it: every reply frame the link refused, and what
    // ended every attempt that got no reply.
    enum class Cause
    {
        NoEnqAnswer,
        EnqGarbage,
        EnqNak,
        FrameNak,
        FrameUnanswered,
        BadChecksum,
        LateByte,
        NotStx,
        EmptyReply,
        ForeignReply,
        PortLost,
    };
    static constexpr int CauseCount = int(Cause::PortLost) + 1;

    enum class Outcome
    {
        FirstAttempt, // the reply came at once, nothing refused
        Retried,      // the reply came after a repeat: an attempt, or a reply asked again
        Failed,
    };

    struct Exchange
    {
        Outcome outcome = Outcome::FirstAttempt;
        double ms = 0; // from the first ENQ to the end of the exchange
        QList<Cause> causes;
    };

    enum class End
    {
        Running,
        Completed,
        Stopped,
        PortLost,
    };

    enum class Verdict
    {
        Untested, // no exchange was made
        Sound,    // every exchange at the first attempt
        Noisy,    // repeats, no failure
        Faulty,   // failures
    };

    // Milliseconds, or shares of the wire time.
    struct Spread
    {
        double min = 0;
        double median = 0;
        double p95 = 0;
        double max = 0;
    };

    LineReport(const QString& port, int baud, int planned, int commandSize);

    void add(const FrVelkor::Reply& reply);
    void setEnd(End end) { m_end = end; }

    const QString& port() const { return m_port; }
    int baud() const { return m_baud; }
    int planned() const { return m_planned; }
    End end() const { return m_end; }
    const QList<Exchange>& exchanges() const { return m_exchanges; }
    int count(Outcome outcome) const;
    int count(Cause cause) const { return m_causes[int(cause)]; }
    Spread times() const;
    // The bytes of a clean exchange on the wire at the port's rate, in ms; 0 before a reply.
    double wireMs() const { return m_wireMs; }
    Spread shares() const;
    Verdict verdict() const;

    static QString causeText(Cause cause);
    // The cause's name in the command-line program's JSON.
    static QString causeKey(Cause cause);
    QString verdictText() const;
    // What to try for the usual cause; empty for a sound or untested line.
    QString adviceText() const;
    // The report as lines of text, the advice and then the verdict last.
    QStringList lines() const;
    // "2,5 %" of `part` in `whole`.
    static QString percentText(int part, int whole);

private:
    QString m_port;
    int m_baud;
    int m_planned;
    int m_commandSize;
    End m_end = End::Running;
    QList<Exchange> m_exchanges;
    int m_causes[CauseCount] = {};
    double m_wireMs = 0;
};
