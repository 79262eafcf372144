#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

class DataKkmWin;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QVBoxLayout;
class QWidget;
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

    // Called by the form after each flags item of a reply: rows for the registrar's flags
    // (10h, 11h FLAGFR) or the fiscal memory's flags (11h FLAGFP); nothing otherwise.
    void flagProc(quint8 code, const QByteArray& ident, QWidget* parent, QVBoxLayout* layout);
    void dopProc10();
    void dopProc11FR();
    void dopProc11FP();

    void cmdDopProc(int proc);
    // The device data window while it is open.
    DataKkmWin* dataWindow() const;

private:
    void measure();
    void addRow(const char* name, bool bit, const char* textFor0, const char* textFor1);
    // The flag word's bits as rows; `flags` is the raw word, least significant byte first.
    void registrarPanel(const QByteArray& flags);
    // The raw value bytes of reply item `index`, or `size` zero bytes when there is none.
    // The reply item's first bytes; zeros, and the rows' values left empty, when the item
    // lies beyond the reply.
    QByteArray replyBytes(int index, int size);
    void runTestScript();
    void openDataWindow();

    ProgramObjects& m_objects;
    ProcedureLink& m_link;
    Tables& m_tables;
    SendHex& m_sendHex;
    QPointer<DataKkmWin> m_dataWindow;

    QLabel* m_rowLabel = nullptr;
    QLineEdit* m_rowValue = nullptr;
    QVBoxLayout* m_layout = nullptr;
    QHBoxLayout* m_rowLayout = nullptr;
    QWidget* m_parent = nullptr;
    int m_pointSize = 0;
    int m_parentWidth = 0;
    int m_step = 0;
    int m_valueWidth = 10;
    bool m_flagsKnown = true; // the flags of the rows being added came with the reply
};
