#pragma once

#include <QObject>

class ProcedureLink;
class SendHexWin;
struct ProgramObjects;

// The hexadecimal command procedure: opens its window over the dimmed main window, sends
// the typed bytes on every "Выполнить", and ends when the window is left.
class SendHex : public QObject
{
    Q_OBJECT

public:
    SendHex(ProgramObjects& objects, ProcedureLink& link, QObject* parent = nullptr);
    ~SendHex() override;

    // Opens the window and returns at once.
    void open();
    SendHexWin* window() const { return m_window; }

public Q_SLOTS:
    void sendHex();
    void exitHex();

private:
    ProgramObjects& m_objects;
    ProcedureLink& m_link;
    SendHexWin* m_window = nullptr;
};
