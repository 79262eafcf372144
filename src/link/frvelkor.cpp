#include "frvelkor.h"

#include "base/logpane.h"
#include "catalogue/errortexts.h"
#include "linkactivity.h"
#include "lowlatency.h"
#include "openfailure.h"

#include <QCoreApplication>
#include <QDebug>
#include <QSerialPortInfo>

#include <termios.h>

namespace {

// Marks the link busy for the length of one exchange or probe.
class BusyScope
{
public:
    explicit BusyScope(bool& busy) : m_busy(busy) { m_busy = true; }
    ~BusyScope() { m_busy = false; }

private:
    bool& m_busy;
};

} // namespace

FrVelkor::FrVelkor(const ErrorTexts* errors, QObject* parent) : QObject(parent), m_errors(errors)
{
    connect(&m_port, &QSerialPort::errorOccurred, this, &FrVelkor::onPortError);
    connect(&m_network, &NetworkPort::lost, this, &FrVelkor::portFailed);
}

QString FrVelkor::maybeExecutedText()
{
    return tr("Команда могла быть выполнена ФР: ответ не получен. Проверьте состояние ФР, "
              "прежде чем повторять команду.");
}

QString FrVelkor::busyText()
{
    return tr("Команда не отправлена: идёт обмен с ФР.");
}

QString FrVelkor::serverRateText(const QString& portName)
{
    return tr("%1: скорость линии задаёт сервер, скорость тест-драйвера на неё не действует.")
        .arg(portName);
}

QString FrVelkor::serverRateChangeText(const QString& portName)
{
    return tr("%1: скорость линии задаёт сервер, переведите её на сервере вручную на скорость, "
              "заданную командой.")
        .arg(portName);
}

QString FrVelkor::portLostText(const QString& reason) const
{
    return tr("Связь с портом %1 потеряна: %2.").arg(m_portName, systemReasonText(reason));
}

QList<int> FrVelkor::searchRates(const QString& portName, int currentBaud)
{
    const NetworkPortName network = NetworkPortName::parse(portName);
    if (network.kind == NetworkPortName::RawTcp ||
        (network.kind == NetworkPortName::Rfc2217 && !NetworkPort::serverSetsRate(network)))
        return {currentBaud};
    return QList<int>(std::begin(BaudRates), std::end(BaudRates));
}

void FrVelkor::logFailure(LogPane& pane, const QString& title, const Reply& reply) const
{
    pane.logError(title, errText(reply.code));
    if (reply.maybeExecuted)
        pane.logMaybeExecuted(title, maybeExecutedText());
}

FrVelkor::Reply FrVelkor::frCommand(const QByteArray& command, int timeoutMs)
{
    qDebug() << "frCommand:timeout" << timeoutMs;
    m_replyTimeout = timeoutMs;
    qDebug() << "frCommand; sedn cmd = " << command.toHex();
    m_command = command;
    // What the previous exchange learnt says nothing about this one.
    m_commandState = {};
    m_attempts.clear();
    Code code = BadLength; // a longer array cannot be framed: nothing is sent
    qint64 elapsedUs = 0;
    if (command.size() <= MaxPayload) {
        BusyScope busy(m_busy);
        m_portState.update(PortState::Event::ExchangeStarts);
        // Bytes that came before this exchange answer nothing of it; a reply still pending
        // on the device is asked for by the ENQ.
        dropUntilQuiet(0);
        const qint64 start = m_clock->nowUs();
        code = exeCmd();
        elapsedUs = m_clock->nowUs() - start;
    }
    if (m_activity)
        m_activity->exchangeEnded();
    qDebug() << "exeCmd;- ret code = " << int(code);
    m_lastCode = code;
    m_answer.clear();
    if (code == Ok)
        m_answer = m_rxData;
    qDebug() << "/frCommand; ansv cmd = " << m_answer.toHex();
    // Once the frame has gone out the device may have executed the command, unless the
    // exchange proved that it did not take the last frame sent.
    return {code, m_answer, code != Ok && m_commandState.maybeExecuted(), m_attempts, elapsedUs};
}

FrVelkor::Code FrVelkor::exeCmd()
{
    Code code = Ok;
    for (int attempt = 1; attempt <= Attempts; ++attempt) {
        m_attempts.append(Attempt{});
        code = recordAttempt(exchangeOnce());
        if (code == Ok)
            return Ok;
        qDebug() << "FrVelkor::exeCmd" << int(code);
        pauseMs(m_waits.retryPauseMs);
        qDebug() << "FrVelkor::exeCmd; retry cmd #" << QString::number(attempt);
        if (m_portState.waitsEnd())
            break; // the port is gone, or the program is ending: no attempt can get through
    }
    if (code == NotAcknowledged && !m_portState.waitsEnd()) {
        m_attempts.append(Attempt{});
        if (recordAttempt(askAfterLastFrame()) == Ok)
            return Ok;
    }
    if (m_commandState.frameSent)
        dropUntilQuiet(m_waits.quietMs); // the end of a late reply is not the next exchange's
    // The last stage's code would blame the device ("пришёл NAK") for a port that is gone.
    return m_portState.failed ? PortLost : code;
}

// The rules that keep a command from being executed twice: the host acknowledges only a
// whole reply with a good checksum, and after the frame has gone out only this command's;
// what it drops after the frame it drops without ACK, so the device keeps its reply for the
// next ENQ; and the frame goes out again only with proof that the device did not take it:
// no ACK of the frame, then its NAK to ENQ on a line that stays quiet, with no ACK of the
// host's since the frame.
FrVelkor::Code FrVelkor::exchangeOnce()
{
    if (m_commandState.frameSent)
        dropUntilQuiet(m_waits.quietMs);
    quint8 answer = 0;
    putByte(ENQ);
    if (readByte(m_waits.answerMs, &answer) != Ok) {
        pauseMs(m_waits.shortPauseMs);
        return ended(End::NoEnqAnswer, ExchangeError);
    }
    // After the frame, STX in answer to ENQ is the device's reply with its ACK lost.
    if (answer == ACK || (answer == STX && m_commandState.frameSent)) {
        if (takeReply(answer == STX) == Ok)
            return Ok;
        pauseMs(m_waits.shortPauseMs);
        return ended(End::ReplyRefused, GotAck);
    }
    if (answer != NAK) {
        purgeInput();
        return ended(End::EnqGarbage, ExchangeError);
    }
    if (m_commandState.frameSent) {
        // A NAK that is a damaged ACK has the pending reply right behind it: sent again, the
        // command would be executed twice.
        if (!m_commandState.quietNakIsProof() || !dropUntilQuiet(m_waits.byteMs)) {
            pauseMs(m_waits.shortPauseMs);
            return ended(End::EnqNak, GotNak);
        }
        m_commandState.update(CommandState::Event::QuietNak);
        if (m_portState.waitsEnd())
            return ended(End::EnqNak, GotNak); // not sent again: the proof stands
        qDebug() << "FrVelkor::exchangeOnce; frame sent again";
    }
    const FrameAnswer sent = sendFrame();
    if (sent != FrameAnswer::Acknowledged && sent != FrameAnswer::ReplyBegun) {
        // Nothing but NAK, or nothing at all, came back: the device did not take the frame.
        // Anything else may be its reply behind a damaged ACK, which it repeats on ENQ.
        if (dropUntilQuiet(m_waits.quietMs) && !m_commandState.heardSinceFrame)
            return ended(sent == FrameAnswer::Nak ? End::FrameNak : End::FrameUnanswered,
                         NotAcknowledged);
    } else if (takeReply(sent == FrameAnswer::ReplyBegun) == Ok) {
        return Ok;
    } else {
        // The reply failed; what is left of it is dropped, and the device is asked to
        // repeat it.
        dropUntilQuiet(m_waits.quietMs);
    }
    putByte(ENQ);
    // On a timeout the NAK of the first ENQ stays in force.
    const bool answered = readByte(m_waits.answerMs, &answer) == Ok;
    if (answer == ACK || answer == STX)
        return takeReply(answer == STX) == Ok ? Ok : ended(End::ReplyRefused, NoAnswer);
    if (answer == NAK)
        return ended(answered ? End::EnqNak : End::NoEnqAnswer, GotNak);
    pauseMs(m_waits.shortPauseMs);
    return ended(End::EnqGarbage, NoAnswer);
}

// The last frame was not acknowledged: no attempt is left to send it again, but the device
// is asked once more, so that a device that refused every frame is not reported as one that
// may have executed the command. A quiet NAK is the proof that it holds nothing of it; a reply
// (the device's ACK of the frame was lost) is taken as on any ENQ after the frame.
FrVelkor::Code FrVelkor::askAfterLastFrame()
{
    quint8 answer = 0;
    putByte(ENQ);
    if (readByte(m_waits.answerMs, &answer) != Ok)
        return ended(End::NoEnqAnswer, NoAnswer);
    if (answer == ACK || answer == STX) {
        const Code taken = takeReply(answer == STX);
        return taken == Ok ? Ok : ended(End::ReplyRefused, taken);
    }
    if (answer == NAK && m_commandState.quietNakIsProof() && dropUntilQuiet(m_waits.byteMs))
        m_commandState.update(CommandState::Event::QuietNak);
    return ended(answer == NAK ? End::EnqNak : End::EnqGarbage, GotNak);
}

FrVelkor::FrameAnswer FrVelkor::sendFrame()
{
    const quint8 length = quint8(m_command.size());
    quint8 checksum = length;
    m_commandState.update(CommandState::Event::FrameSent);
    queueByte(STX);
    queueByte(length);
    for (const char byte : std::as_const(m_command)) {
        queueByte(quint8(byte));
        checksum ^= quint8(byte);
    }
    queueByte(checksum);
    sendQueued();
    if (m_activity)
        m_activity->deviceBusy();
    quint8 answer = 0;
    if (readByte(m_waits.answerMs, &answer) != Ok)
        return FrameAnswer::Nothing;
    if (answer == NAK)
        return FrameAnswer::Nak;
    if (answer != ACK && answer != STX)
        return FrameAnswer::OtherByte;
    // A device that acknowledged the frame, or began its reply, has taken it: whatever it
    // says later (a reset device holds no reply), the frame never goes out again.
    m_commandState.update(CommandState::Event::FrameTaken);
    return answer == ACK ? FrameAnswer::Acknowledged : FrameAnswer::ReplyBegun;
}

FrVelkor::Code FrVelkor::receiveFrame(bool stxRead)
{
    m_rxData.clear();
    quint8 byte = STX;
    if (!stxRead && readByte(m_replyTimeout, &byte) != Ok)
        return ByteTimeout;
    if (byte != STX)
        return NotStx;
    if (readByte(m_waits.byteMs, &byte) != Ok)
        return ByteTimeout;
    const quint8 length = byte;
    if (length == 0)
        return BadLength;
    quint8 checksum = length;
    // A byte that does not come breaks the frame: waiting a second for each byte still
    // counted (a lost LEN byte makes the first data byte the length, up to 255 seconds) only
    // delays the retry, and a frame filled in with guessed bytes could pass its checksum
    // by chance and be taken for what the device sent.
    for (int i = 0; i < length; ++i) {
        if (readByte(m_waits.byteMs, &byte) != Ok) {
            m_rxData.clear();
            putByte(NAK);
            return ByteTimeout;
        }
        m_rxData.append(char(byte));
        checksum ^= byte;
    }
    // A checksum byte that does not come is a byte missing, not a damaged one.
    const bool checksumCame = readByte(m_waits.byteMs, &byte) == Ok;
    if (!checksumCame || byte != checksum) {
        m_rxData.clear();
        putByte(NAK);
        return checksumCame ? BadChecksum : ByteTimeout;
    }
    return Ok;
}

FrVelkor::Code FrVelkor::takeReply(bool stxRead)
{
    const Code received = receiveFrame(stxRead);
    if (received != Ok)
        return refused(received);
    if (!m_commandState.frameSent) {
        putByte(ACK); // a reply of an earlier command: the device may forget it
        m_rxData.clear();
        return refused(GotAck);
    }
    if (isOwnReply()) {
        putByte(ACK);
        return Ok;
    }
    // A whole frame, but not this command's reply (a stale one read after a damaged
    // answer): acknowledged, it could take the place of this command's pending reply.
    qDebug() << "FrVelkor::takeReply; not this command's reply" << m_rxData.toHex();
    m_rxData.clear();
    dropUntilQuiet(m_waits.quietMs);
    return refused(GotAck);
}

FrVelkor::Code FrVelkor::ended(End end, Code code)
{
    m_attempts.last().end = end;
    return code;
}

FrVelkor::Code FrVelkor::recordAttempt(Code code)
{
    m_attempts.last().code = code;
    if (code != Ok && m_portState.failed)
        m_attempts.last().end = End::PortLost;
    return code;
}

FrVelkor::Code FrVelkor::refused(Code why)
{
    if (!m_attempts.isEmpty())
        m_attempts.last().refusedReplies.append(why);
    return why;
}

bool FrVelkor::isOwnReply() const
{
    return m_command.isEmpty() || (!m_rxData.isEmpty() && m_rxData.at(0) == m_command.at(0));
}

void FrVelkor::putByte(quint8 byte)
{
    queueByte(byte);
    sendQueued();
}

void FrVelkor::queueByte(quint8 byte)
{
    QIODevice* out = device();
    if (out->isOpen() && !m_portState.failed)
        out->write(reinterpret_cast<const char*>(&byte), 1);
    if (byte == ACK)
        m_commandState.update(CommandState::Event::HostAck);
    if (m_pane)
        m_pane->logSndHex(QByteArray(1, char(byte)));
}

// The ports write from the event loop otherwise: every turnaround would wait for a pass of
// it, and the last ACK of a reply for the window to have shown the reply, keeping the device
// from the next command meanwhile.
void FrVelkor::sendQueued()
{
    if (m_device || m_portState.failed)
        return;
    if (m_onNetwork && m_network.isOpen())
        m_network.sendWritten();
    else if (!m_onNetwork && m_port.isOpen())
        m_port.flush();
}

FrVelkor::Code FrVelkor::readByte(int waitMs, quint8* byte)
{
    const qint64 deadline = m_clock->nowMs() + waitMs;
    for (;;) {
        QIODevice* in = device();
        if (!m_portState.failed && in->isOpen() && in->bytesAvailable() > 0) {
            char value = 0;
            in->getChar(&value);
            if (quint8(value) != NAK)
                m_commandState.update(CommandState::Event::DeviceSpoke);
            if (m_pane)
                m_pane->logRcvHex(QByteArray(1, value));
            *byte = quint8(value);
            return Ok;
        }
        if (m_clock->nowMs() >= deadline || m_portState.waitsEnd()) {
            qDebug() << "rTmt";
            return ByteTimeout;
        }
        waitUntil(deadline);
    }
}

void FrVelkor::waitUntil(qint64 deadlineMs)
{
    if (!m_clock->waitUntil(deadlineMs, *device()))
        m_portState.update(PortState::Event::LoopRefused);
}

void FrVelkor::pauseMs(int ms)
{
    const qint64 deadline = m_clock->nowMs() + ms;
    while (m_clock->nowMs() < deadline && !m_portState.quitting)
        waitUntil(deadline);
}

void FrVelkor::drainOutput()
{
    if (m_port.isOpen()) {
        m_port.flush();
        ::tcdrain(int(m_port.handle()));
    }
    if (m_network.isOpen())
        m_network.waitWritten();
}

void FrVelkor::purgeInput()
{
    // After the frame an ACK would be taken for the acknowledgement of this command's reply,
    // which the device would then forget.
    if (m_commandState.frameSent) {
        dropUntilQuiet(m_waits.quietMs);
        return;
    }
    QIODevice* in = device();
    if (in->isOpen() && in->bytesAvailable() > 0)
        in->readAll();
    putByte(ACK);
    pauseMs(m_waits.quietMs);
    if (in->isOpen() && in->bytesAvailable() > 0)
        in->readAll();
}

bool FrVelkor::dropUntilQuiet(int quietMs)
{
    // A line that never falls quiet (a device streaming noise) still ends the purge.
    const qint64 end = m_clock->nowMs() + quietMs + 3 * m_waits.byteMs;
    QIODevice* in = device();
    QByteArray dropped;
    qint64 quietEnd = m_clock->nowMs() + quietMs;
    while (!m_portState.waitsEnd() && in->isOpen() && m_clock->nowMs() < end) {
        if (in->bytesAvailable() > 0) {
            dropped += in->readAll();
            quietEnd = m_clock->nowMs() + quietMs;
            continue;
        }
        if (m_clock->nowMs() >= quietEnd)
            break;
        waitUntil(std::min(quietEnd, end));
    }
    if (dropped.isEmpty())
        return true;
    m_commandState.update(CommandState::Event::DeviceSpoke);
    qDebug() << "FrVelkor::purge dropped" << dropped.toHex();
    return false;
}

QString FrVelkor::errText(int code) const
{
    return m_errors ? m_errors->driverErrorText(code)
                    : QCoreApplication::translate("ErrorTexts", "Ошибка драйвера ") +
                          QString::number(code - 500);
}

FrVelkor::Code FrVelkor::frInit(const QString& portName, int baudRate)
{
    qDebug() << "frInit";
    m_portName = portName;
    m_baudRate = baudRate;
    const Code code = openComPort();
    qDebug() << "frInit err" << int(code);
    if (code == Ok)
        qDebug() << "/frInit";
    return code;
}

FrVelkor::Code FrVelkor::openComPort()
{
    qDebug() << "openComPort" << m_portName;
    if (isOpen())
        qDebug() << "openComPort close port!";
    closeComPort();
    const NetworkPortName network = NetworkPortName::parse(m_portName);
    m_onNetwork = network.isNetwork();
    if (network.kind == NetworkPortName::Malformed) {
        // Not a local port either: nothing is opened.
        m_openError = QSerialPort::OpenError;
        m_openErrorString = NetworkPortName::malformedText(m_portName);
        return OpenFailed;
    }
    if (m_onNetwork) {
        if (!m_network.open(network, m_baudRate)) {
            m_openError = QSerialPort::OpenError;
            m_openErrorString = m_network.errorString();
            qDebug() << m_openErrorString;
            return OpenFailed;
        }
        m_network.purgeInput();
    } else {
        m_port.setPortName(m_portName);
        m_port.setBaudRate(m_baudRate, QSerialPort::AllDirections);
        m_port.setDataBits(QSerialPort::Data8);
        m_port.setParity(QSerialPort::NoParity);
        m_port.setStopBits(QSerialPort::OneStop);
        m_port.setFlowControl(QSerialPort::NoFlowControl);
        qDebug() << "openComPort open";
        if (!m_port.open(QIODevice::ReadWrite)) {
            m_openError = m_port.error();
            m_openErrorString = m_port.errorString();
            qDebug() << m_openErrorString;
            return OpenFailed;
        }
        QString reason;
        if (requestLowLatency(int(m_port.handle()), &reason))
            qDebug() << "openComPort low latency set";
        else
            qDebug() << "openComPort low latency not set:" << reason;
        // What the line held before the port was opened is not an answer to anything.
        m_port.clear(QSerialPort::Input);
        m_port.readAll();
    }
    m_openError = QSerialPort::NoError;
    m_openErrorString.clear();
    m_portState.update(PortState::Event::Opened);
    qDebug() << "/openComPort";
    return Ok;
}

FrVelkor::~FrVelkor()
{
    closeComPort();
}

void FrVelkor::abandon()
{
    m_portState.update(PortState::Event::Abandoned);
    m_clock->wake();
    closeComPort();
}

void FrVelkor::closeComPort()
{
    // The port writes from the event loop: the ACK of the last reply is still waiting when a
    // program closes the port right after its exchange, and the device would keep that
    // reply (and a rate change it makes on the ACK) pending; closed, the line's settings go
    // back before the ACK has left it.
    drainOutput();
    m_port.close();
    m_network.close();
}

FrVelkor::Code FrVelkor::frSetLink(int baudRate, int timeoutMs)
{
    qDebug() << "frSetLink:" << baudRate << timeoutMs;
    BusyScope busy(m_busy);
    m_portState.update(PortState::Event::ExchangeStarts);
    m_replyTimeout = timeoutMs;
    m_baudRate = baudRate;
    drainOutput(); // the last ACK leaves at the old rate
    if (m_onNetwork) {
        // Raw TCP keeps the server's rate: there is nothing to set.
        if (m_network.setsLineRate() && !m_network.setBaudRate(baudRate))
            return BaudFailed;
    } else if (!m_port.setBaudRate(baudRate, QSerialPort::AllDirections)) {
        qDebug() << "frSetLink baud error:" << m_port.errorString();
        return BaudFailed;
    }
    m_commandState = {};
    m_attempts.clear();
    // Stray bytes of an earlier burst would be read as the answer to this probe.
    dropUntilQuiet(m_waits.quietMs);
    quint8 answer = 0;
    putByte(ENQ);
    readByte(m_probeWaitMs, &answer);
    if (answer == NAK)
        return Ok;
    if (answer == ACK) {
        takeReply(false); // the device held a reply: read, acknowledge and drop it
        return Ok;
    }
    return NoAnswer;
}

QStringList FrVelkor::availablePorts()
{
    QStringList names;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports)
        names << info.portName();
    return names;
}

void FrVelkor::onPortError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError || !m_port.isOpen())
        return;
    // An open local port fails for one cause: its device went (an adapter unplugged, the
    // emulator stopped). The system names it as the hang-up finds the port, "resource
    // temporarily unavailable", "file exists" or "not a serial port": one reason for one
    // cause.
    qDebug() << "FrVelkor serial port error" << error << m_port.errorString();
    portFailed(tr("порт закрыт: устройство отключено или программа-эмулятор остановлена"));
}

void FrVelkor::portFailed(const QString& text)
{
    if (m_portState.failed)
        return;
    m_portState.update(PortState::Event::Failed);
    qDebug() << "FrVelkor port error" << text;
    m_clock->wake();
    QMetaObject::invokeMethod(
        this,
        [this, text] {
            closeComPort();
            emit portLost(text);
        },
        Qt::QueuedConnection);
}
