#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

class Catalogue;
class ErrorTexts;
class RazbCmd;

// A frame's payload in the catalogue's words: the command and its items as the form shows
// them, the device's error, the reply's rows. It selects commands in the catalogue and
// parses them into the codec it is given, so that codec should be its own.
class FrameDecoding
{
public:
    struct Item
    {
        QString name;
        QString text;
    };
    struct Decoded
    {
        bool known = false; // the catalogue has a command of this code
        quint8 code = 0;
        QString name;      // the command's name
        int error = -1;    // a reply's error byte; -1 when it has none
        QString errorText; // for a non-zero error: "Ошибка" and the device's text
        std::vector<Item> items;
    };

    FrameDecoding(Catalogue& catalogue, RazbCmd& codec, const ErrorTexts& errors);

    // A command array: its code's command and its parameter items.
    Decoded command(const QByteArray& payload);
    // A reply array, read by its first byte's command.
    Decoded reply(const QByteArray& payload);
    // A reply over the command parsed last: its error, and its rows when the error is 0.
    void readReply(const QByteArray& payload, Decoded* decoded);

private:
    // Selects and parses the command of a code; false when the catalogue has none.
    bool select(quint8 code, Decoded* decoded);

    Catalogue& m_catalogue;
    RazbCmd& m_codec;
    const ErrorTexts& m_errors;
};
