#pragma once

#include "commandgate.h"

#include <QByteArray>
#include <QString>

class Catalogue;
class ProcedureLink;

// A command typed as hexadecimal bytes, sent unchanged: the first byte is the code, the
// rest its data; the reply is only shown as the received frame.
class HexCommand
{
public:
    enum Outcome
    {
        NotSent,      // no link, no byte in the text, too many bytes, not confirmed or busy
        Answered,     // the device answered without an error
        LinkFailed,   // a driver error, written to the log pane
        DeviceFailed, // the device's error (or a reply without one), written to the log pane
    };

    // The toolkit's rule: digits of either case paired from the end backwards, every other
    // character skipped, an odd digit left at the front a byte of its own.
    static QByteArray decode(const QString& text) { return QByteArray::fromHex(text.toLatin1()); }

    struct Sent
    {
        Outcome outcome = NotSent;
        QByteArray reply; // what the device answered, when it did
    };

    // Through the command gate: a command whose code the catalogue holds irreversible is
    // put to `ask` first, under the catalogue's name. An answer without an error sets the
    // status line.
    static Sent send(const QString& text, ProcedureLink& link, const Catalogue& catalogue,
                     const CommandGate::Question& ask = {});
};
