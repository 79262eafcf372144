#pragma once

#include "link/frvelkor.h"

#include <QString>

class ErrorTexts;
class LogPane;
class RazbCmd;

// One run of the selected command after its form has been read: encodes the command items,
// exchanges the command array with the device and decodes what came back into the reply
// items (a failed run leaves them with only what its reply carried). Every failure is
// reported through the log pane.
class CommandExchange
{
public:
    enum Outcome
    {
        ParameterError, // an item could not be encoded; nothing was sent
        LinkError,      // the link returned a driver result code
        IncompleteReply, // the reply has no error byte
        DeviceError,    // the device answered with an error code
        Decoded,        // the reply items hold the reply's texts
    };
    // Whether the run reached the device: its reply items then hold this run's outcome.
    static bool exchanged(Outcome outcome) { return outcome != ParameterError; }

    CommandExchange(RazbCmd& codec, FrVelkor& link, const ErrorTexts& errors, LogPane& pane);

    // Encodes, then exchanges.
    Outcome run(const QString& commandName, int timeoutMs);
    // Encodes the command items into the command array; false, with the refused value's
    // line in the pane, when one cannot be encoded.
    bool encode(const QString& commandName);
    // Exchanges the array encoded last and decodes what came back.
    Outcome exchangeEncoded(const QString& commandName, int timeoutMs);
    // The device error line: "Ошибка" and the device's text for the code.
    void showDevError(int code);

private:
    // Reports a failed exchange, an incomplete reply or a device error.
    Outcome judge(const QString& title, const FrVelkor::Reply& reply);

    RazbCmd& m_codec;
    FrVelkor& m_link;
    const ErrorTexts& m_errors;
    LogPane& m_pane;
};
