#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

class RazbCmd;

// A row spelling out one status flag under a flags reply item: the flag's name and its
// state, empty when the reply did not hold it.
struct FlagRow
{
    QString name;
    QString value;
};

// The rows that spell out the status-flag bits under a flags reply item, read from the
// codec's last reply.
class StatusFlags
{
public:
    explicit StatusFlags(const RazbCmd& codec) : m_codec(codec) {}

    // Asked by the form after each flags item of a reply: rows for the registrar's flags
    // (10h, 11h FLAGFR) or the fiscal memory's flags (11h FLAGFP); none otherwise.
    std::vector<FlagRow> flagProc(quint8 code, const QByteArray& ident) const;
    std::vector<FlagRow> dopProc10() const;
    std::vector<FlagRow> dopProc11FR() const;
    std::vector<FlagRow> dopProc11FP() const;

private:
    // The first bytes of a reply item, and whether the reply held them: zeros when it did
    // not (the rows' values are then left empty) or when there is no such item (before any
    // reply: the rows show their texts for 0).
    struct Flags
    {
        QByteArray bytes;
        bool known = true;
    };
    Flags replyBytes(int index, int size) const;
    // The flag word's bits as rows; the raw word, least significant byte first.
    static std::vector<FlagRow> registrarPanel(const Flags& flags);

    const RazbCmd& m_codec;
};
