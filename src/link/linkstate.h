#pragma once

// What the link knows of the command under way, from the events of its exchange. The rules
// that keep a command from being executed twice read it: the frame goes out again, and a
// failure leaves out "may have executed", only with the proof that the device did not take
// the last frame.
struct CommandState
{
    enum class Event
    {
        FrameSent,   // the command's frame went out (again)
        FrameTaken,  // the device answered the frame with ACK or the STX of its reply
        DeviceSpoke, // a byte other than NAK came, or the line held bytes that were dropped
        HostAck,     // the host sent ACK
        QuietNak,    // the device answered ENQ with NAK, and the line stayed quiet after it
    };

    bool frameSent = false; // this command's frame has gone out
    // A byte other than NAK came back after the last frame: the device may be sending its
    // reply, so it is asked for it (ENQ) rather than the attempt ending.
    bool heardSinceFrame = false;
    bool ackSinceFrame = false; // the host has sent ACK since the first frame went out
    // The device answered the last frame with ACK or the STX of its reply: it took it.
    bool frameTaken = false;
    // Proof that the device did not take the last frame: it did not acknowledge it, then
    // answered ENQ with NAK on a line that stayed quiet, and the host has sent no ACK since
    // the frame.
    bool provenNotTaken = false;

    void update(Event event)
    {
        switch (event) {
        case Event::FrameSent:
            frameSent = true;
            heardSinceFrame = false;
            frameTaken = false;
            provenNotTaken = false;
            break;
        case Event::FrameTaken:
            frameTaken = true;
            break;
        case Event::DeviceSpoke:
            heardSinceFrame = heardSinceFrame || frameSent;
            break;
        case Event::HostAck:
            ackSinceFrame = ackSinceFrame || frameSent;
            break;
        case Event::QuietNak:
            provenNotTaken = provenNotTaken || (frameSent && quietNakIsProof());
            break;
        }
    }
    // A quiet NAK now would prove that the device did not take the last frame: a device that
    // took it, or whose reply the host may have acknowledged, proves nothing by a NAK.
    bool quietNakIsProof() const { return !frameTaken && !ackSinceFrame; }
    // A failure now leaves the command possibly executed.
    bool maybeExecuted() const { return frameSent && !provenNotTaken; }
};

// The state of the link's port as its waits see it.
struct PortState
{
    enum class Event
    {
        Opened,
        Failed,      // the open port failed under the link
        LoopRefused, // no event loop runs any more: the application is ending
        Abandoned,   // the program is ending: abandon()
        ExchangeStarts,
    };

    bool failed = false;
    bool quitting = false;  // every wait of the exchange under way gives up at once
    bool abandoned = false; // abandon() was called and the port has not been opened since

    void update(Event event)
    {
        switch (event) {
        case Event::Opened:
            failed = false;
            abandoned = false;
            break;
        case Event::Failed:
            failed = true;
            break;
        case Event::LoopRefused:
            quitting = true;
            break;
        case Event::Abandoned:
            abandoned = true;
            quitting = true;
            break;
        case Event::ExchangeStarts:
            quitting = abandoned;
            break;
        }
    }
    // No byte can come any more: every wait ends at once.
    bool waitsEnd() const { return failed || quitting; }
};
