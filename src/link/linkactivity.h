#pragma once

// What the link tells the program about an exchange under way, for work that should keep off
// the line's turnarounds: done while the device waits for the program (the NAK after ENQ, the
// last byte of a reply), it would keep the device waiting.
class LinkActivity
{
public:
    virtual ~LinkActivity() = default;
    // A frame has gone out: the device takes it and answers, and until the reply's end the
    // program has nothing to say on the line.
    virtual void deviceBusy() = 0;
    // The exchange is over, answered or not.
    virtual void exchangeEnded() = 0;
};
