#pragma once

#include <QObject>
#include <QPointer>

class DataKkmWin;
class ProcedureLink;
class SendHex;
class Tables;
struct ProgramObjects;

// The dispatcher of the catalogue's special procedures.
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

    void cmdDopProc(int proc);
    // The device data window while it is open.
    DataKkmWin* dataWindow() const;

private:
    void runTestScript();
    void openDataWindow();

    ProgramObjects& m_objects;
    ProcedureLink& m_link;
    Tables& m_tables;
    SendHex& m_sendHex;
    QPointer<DataKkmWin> m_dataWindow;
};
