#pragma once

#include "linkclock.h"
#include "linkstate.h"
#include "networkport.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QStringList>

class ErrorTexts;
class LinkActivity;
class LogPane;

// The device link: frames a command array, exchanges it with the registrar under the
// ENQ/ACK/NAK handshake with up to ten attempts, and returns the reply with a driver result
// code. Also opens, closes and probes its serial port. One exchange at a time, on the thread
// that owns it. Its bytes go through a QIODevice and its waits through a LinkClock: the port
// and the event loop's clock in the program, a device model and a virtual clock in tests.
class FrVelkor : public QObject
{
    Q_OBJECT

public:
    static constexpr quint8 STX = 0x02;
    static constexpr quint8 ENQ = 0x05;
    static constexpr quint8 ACK = 0x06;
    static constexpr quint8 NAK = 0x15;

    // Driver result codes: 500 + the line of the driver error table.
    enum Code
    {
        Ok = 0,
        ByteTimeout = 501,
        ExchangeError = 502,
        OpenFailed = 510,
        BaudFailed = 511,
        NotStx = 517,
        BadLength = 518,
        BadChecksum = 519,
        GotAck = 520,
        GotNak = 521,
        NoAnswer = 522,
        PortLost = 523, // the port failed during the exchange and was closed
        NotAcknowledged = 524, // the device did not acknowledge the frame
    };
    Q_ENUM(Code)
    static constexpr int Attempts = 10;
    static constexpr int MaxPayload = 255;
    // The line's rates, lowest first: the settings panel's choices and the search's order.
    static constexpr int BaudRates[] = {2400, 4800, 9600, 19200, 38400, 57600, 115200};
    // How long a probe waits for the device's answer to ENQ.
    static constexpr int ProbeWaitMs = 2000;

    // What ended an attempt, where its code does not tell: 502 is both no answer to ENQ and
    // another byte in answer to it, 524 both NAK to the frame and no answer to it.
    enum class End
    {
        Reply,           // with this command's reply
        NoEnqAnswer,     // nothing came in answer to ENQ
        EnqGarbage,      // another byte than ACK, NAK or STX came in answer to ENQ
        EnqNak,          // after the frame, ENQ was answered with NAK: no reply is pending
        FrameNak,        // the frame was answered with NAK and the line stayed quiet
        FrameUnanswered, // nothing came in answer to the frame
        ReplyRefused,    // a reply frame was refused: refusedReplies says why
        PortLost,        // the port failed
    };

    // One attempt of an exchange, as its reply records it.
    struct Attempt
    {
        Code code = Ok; // how the attempt ended
        End end = End::Reply;
        // The reply frames the attempt read and did not take as this command's, each by why:
        // ByteTimeout (a byte late or missing, the checksum byte too), NotStx (another byte
        // where STX should be), BadLength, BadChecksum (all bytes came, their sum is wrong),
        // GotAck (a stale or foreign reply).
        QList<Code> refusedReplies;
    };

    struct Reply
    {
        Code code = Ok;
        QByteArray data;
        // A failed exchange after which the device may have executed the command: its frame
        // went out, and the exchange holds no proof that the device did not take it.
        bool maybeExecuted = false;
        // Every attempt in order and, when the last attempt's frame went unacknowledged, the
        // ENQ the link sent after it. Empty for an array refused before any attempt.
        QList<Attempt> attempts;
        // From the first ENQ to the end of the exchange (the ACK of the reply when it
        // succeeded), on the link's clock.
        qint64 elapsedUs = 0;
    };

    // The link's waits, the protocol's.
    struct Waits
    {
        int answerMs = 1000;     // the answer to ENQ and to a frame
        int byteMs = 1000;       // each byte of a reply after its STX; the silence after the
                                 // NAK that allows a frame to be sent again
        int quietMs = 100;       // the silence that ends a purge of the line
        int retryPauseMs = 100;  // between attempts
        int shortPauseMs = 50;   // after an unanswered ENQ, a stale reply, a stray answer
    };

    // The line after a failure that may have left the command executed.
    static QString maybeExecutedText();
    // The line for a command refused because another exchange is on the line.
    static QString busyText();
    // A raw TCP port's line runs at the server's rate: the tool's rate has no effect on it,
    // and a rate change command must be followed on the server by hand.
    static QString serverRateText(const QString& portName);
    static QString serverRateChangeText(const QString& portName);
    // The rates a device search tries on a port, lowest first: all of them, or for a raw TCP
    // port only `currentBaud` (the line's rate is not the tool's to change).
    static QList<int> searchRates(const QString& portName, int currentBaud);
    // The line telling that the open port was lost, for the reason portLost gave.
    QString portLostText(const QString& reason) const;
    // A failed exchange in the pane: the driver's error under `title`, then, when the device
    // may have executed the command, the line that says so.
    void logFailure(LogPane& pane, const QString& title, const Reply& reply) const;

    explicit FrVelkor(const ErrorTexts* errors = nullptr, QObject* parent = nullptr);
    // Closes the port as closeComPort does: what is still to be written goes out first.
    ~FrVelkor() override;

    void setLogPane(LogPane* pane) { m_pane = pane; }
    void setActivity(LinkActivity* activity) { m_activity = activity; }
    // The byte state machine talks through this device; null means the serial port.
    void setDevice(QIODevice* device) { m_device = device; }
    // The link's waits ask this clock; null means the event loop's.
    void setClock(LinkClock* clock) { m_clock = clock ? clock : &m_eventLoopClock; }
    QSerialPort& port() { return m_port; }
    // The port is open: the serial port, or the network port of a network name.
    bool isOpen() const { return m_onNetwork ? m_network.isOpen() : m_port.isOpen(); }
    // The open port is a network port whose line rate the server keeps (raw TCP): the rate
    // controls have no effect on the wire.
    bool rateIsServers() const { return m_onNetwork && !m_network.setsLineRate(); }

    Reply frCommand(const QByteArray& command, int timeoutMs);
    QString errText(int code) const;

    // The program is ending: the exchange under way gives up at once, every later one until
    // the port is opened again fails at once, and the port is closed.
    void abandon();

    Code frInit(const QString& portName, int baudRate);
    Code openComPort();
    void closeComPort();
    // Moves the port to `baudRate` and probes the device there: Ok when it answered ENQ,
    // NoAnswer when it did not, BaudFailed when the port refused the rate.
    Code frSetLink(int baudRate, int timeoutMs);
    // Tests of the device search shorten the probe's wait; a silent port costs it per probe.
    void setProbeWaitMs(int ms) { m_probeWaitMs = ms; }
    static QStringList availablePorts();
    // Why the last openComPort failed, as the port library reported it.
    QSerialPort::SerialPortError openError() const { return m_openError; }
    const QString& openErrorString() const { return m_openErrorString; }

    bool busy() const { return m_busy; }
    Code lastCode() const { return m_lastCode; }
    const QByteArray& answer() const { return m_answer; }
    const QString& portName() const { return m_portName; }
    int baudRate() const { return m_baudRate; }

Q_SIGNALS:
    // The port failed under an open link (adapter unplugged, peer gone); it is being closed.
    void portLost(const QString& errorString);

private:
    // What came back after the frame.
    enum class FrameAnswer
    {
        Acknowledged,
        ReplyBegun, // STX: the device's ACK was lost and its reply has begun
        Nak,
        OtherByte,
        Nothing,
    };

    QIODevice* device()
    {
        if (m_device)
            return m_device;
        return m_onNetwork ? static_cast<QIODevice*>(&m_network) : &m_port;
    }
    Code exeCmd();
    Code exchangeOnce();
    FrameAnswer sendFrame();
    // Reads a reply frame; with `stxRead` its STX has been read already. Sends NAK for a
    // broken frame, nothing for a good one: the caller decides whether to acknowledge it.
    Code receiveFrame(bool stxRead = false);
    // A control byte, sent at once.
    void putByte(quint8 byte);
    // A byte queued for the line; sendQueued() sends what is queued, so that a frame goes
    // out in one write.
    void queueByte(quint8 byte);
    void sendQueued();
    Code readByte(int waitMs, quint8* byte);
    void pauseMs(int ms);
    void purgeInput();
    // The open port failed under the link: the exchange ends, the port is closed, and
    // portLost tells the user once.
    void portFailed(const QString& text);
    // Reads a reply frame and acknowledges it when it is this command's, or a stale one
    // before the frame has gone out. Ok only for this command's reply; a reply not taken is
    // recorded in the attempt under way.
    Code takeReply(bool stxRead);
    // Records a reply frame not taken in the attempt under way; returns `why`.
    Code refused(Code why);
    // Records what ended the attempt under way; returns `code`.
    Code ended(End end, Code code);
    // Records the code of the attempt under way, and a lost port as what ended it.
    Code recordAttempt(Code code);
    // One ENQ after the last attempt's frame went unacknowledged: Ok with the reply, else the
    // proof that the device did not take the frame when it answers NAK on a quiet line.
    Code askAfterLastFrame();
    bool isOwnReply() const;
    // Drops what the line holds, without ACK, until it has been quiet for `quietMs`.
    // True when nothing came.
    bool dropUntilQuiet(int quietMs);
    void onPortError(QSerialPort::SerialPortError error);
    // Waits on the clock until `deadlineMs`, bytes or a wake; marks the exchange as ending
    // when no wait can run any more.
    void waitUntil(qint64 deadlineMs);
    // Waits until what was written has left: the serial line drained, the network port's
    // bytes handed to the connection.
    void drainOutput();

    const ErrorTexts* m_errors;
    LogPane* m_pane = nullptr;
    LinkActivity* m_activity = nullptr;
    QSerialPort m_port;
    NetworkPort m_network;
    bool m_onNetwork = false; // the port name is a network port's
    QIODevice* m_device = nullptr;
    QString m_portName;
    int m_baudRate = 0;
    int m_replyTimeout = 10000;
    int m_probeWaitMs = ProbeWaitMs;
    QByteArray m_command;
    QByteArray m_rxData;
    QByteArray m_answer;
    Code m_lastCode = Ok;
    bool m_busy = false;
    const Waits m_waits;
    EventLoopClock m_eventLoopClock;
    LinkClock* m_clock = &m_eventLoopClock;
    CommandState m_commandState;
    PortState m_portState;
    QList<Attempt> m_attempts; // of the exchange under way
    QSerialPort::SerialPortError m_openError = QSerialPort::NoError;
    QString m_openErrorString;
};
