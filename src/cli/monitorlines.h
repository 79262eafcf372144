#pragma once

#include "codec/framedecoding.h"
#include "link/framefollower.h"

#include <QJsonObject>
#include <QString>

// The monitor's words for what the frame follower saw: one line of text, or one JSON
// object, per event, with the frames decoded through the catalogue.
class MonitorLines
{
public:
    explicit MonitorLines(FrameDecoding& decoding) : m_decoding(decoding) {}

    struct Line
    {
        QString text;
        QJsonObject json;
    };
    Line describe(const FrameFollower::Event& event);
    // The line that tells both ends moved to another rate.
    static Line rateChanged(qint64 timeMs, int baud);
    // The line that counts device bytes no program took: it had the host side closed.
    // `shown` are the first of them.
    static Line dropped(qint64 timeMs, int count, const QByteArray& shown);

    // "hh:mm:ss.zzz" of a time in milliseconds since the epoch, local time.
    static QString clock(qint64 timeMs);

private:
    void describeFrame(const FrameFollower::Event& event, Line* line);

    FrameDecoding& m_decoding;
};
