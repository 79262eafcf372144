#pragma once

#include "codec/commandform.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <vector>

class DataKkmWin;
class ProcedureLink;
class SendHex;
class Tables;
struct ProgramObjects;

// Additional processing: the rows that spell out the status-flag bits under a flags reply
// item, and the dispatcher of the catalogue's special procedures.
class DopProc : public QObject
{
    Q_OBJECT

public:
    // The procedures a catalogue command names by its PROC= number.
    enum Procedure
    {
        DateTime = 1,
        HexCommand = 2,
        DeviceData = 3,
        TestScript = 4,
    };

    DopProc(ProgramObjects& objects, ProcedureLink& link, Tables& tables, SendHex& sendHex,
            QObject* parent = nullptr);
    // An open device data window goes with the procedures it belongs to.
    ~DopProc() override;

    // Asked by the form after each flags item of a reply: rows for the registrar's flags
    // (10h, 11h FLAGFR) or the fiscal memory's flags (11h FLAGFP); none otherwise.
    std::vector<FlagRow> flagProc(quint8 code, const QByteArray& ident) const;
    std::vector<FlagRow> dopProc10() const;
    std::vector<FlagRow> dopProc11FR() const;
    std::vector<FlagRow> dopProc11FP() const;

    void cmdDopProc(int proc);
    // The device data window while it is open.
    DataKkmWin* dataWindow() const;

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
    void runTestScript();
    void openDataWindow();

    ProgramObjects& m_objects;
    ProcedureLink& m_link;
    Tables& m_tables;
    SendHex& m_sendHex;
    QPointer<DataKkmWin> m_dataWindow;
};
