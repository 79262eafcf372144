#include "frvelkor.h"

#include "app/logpane.h"
#include "catalogue/errortexts.h"

#include <QCoreApplication>
#include <QDebug>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSerialPortInfo>
#include <QTimer>

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
}

FrVelkor::Reply FrVelkor::frCommand(const QByteArray& command, int timeoutMs)
{
    qDebug() << "frCommand:timeout" << timeoutMs;
    m_replyTimeout = timeoutMs;
    qDebug() << "frCommand; sedn cmd = " << command.toHex();
    m_command = command;
    int code = BadLength; // a longer array cannot be framed: nothing is sent
    if (command.size() <= MaxPayload) {
        BusyScope busy(m_busy);
        m_frameSent = false;
        m_frameAcked = false;
        m_quitting = false;
        code = exeCmd();
    }
    qDebug() << "exeCmd;- ret code = " << code;
    m_lastCode = code;
    m_answer.clear();
    if (code == Ok)
        m_answer = m_rxData;
    qDebug() << "/frCommand; ansv cmd = " << m_answer.toHex();
    return {code, m_answer};
}

int FrVelkor::exeCmd()
{
    int code = Ok;
    for (int attempt = 1; attempt <= Attempts; ++attempt) {
        code = exchangeOnce();
        if (code == Ok)
            return Ok;
        qDebug() << "FrVelkor::exeCmd" << code;
        pauseMs(100);
        qDebug() << "FrVelkor::exeCmd; retry cmd #" << QString::number(attempt);
        if (m_portFailed || m_quitting)
            break; // the port is gone, or the program is ending: no attempt can get through
    }
    return code;
}

int FrVelkor::exchangeOnce()
{
    quint8 answer = 0;
    putByte(ENQ);
    if (readByte(1000, &answer) != Ok) {
        pauseMs(50);
        return ExchangeError;
    }
    if (answer == ACK) {
        // A reply is pending. Once this command's frame has gone out, it is this command's
        // reply, which was lost on the line: take it instead of executing the command again.
        const int received = receiveFrame();
        if (received == Ok && m_frameSent && !m_command.isEmpty() && !m_rxData.isEmpty() &&
            m_rxData.at(0) == m_command.at(0))
            return Ok;
        pauseMs(50);
        return GotAck;
    }
    if (answer != NAK) {
        purgeInput();
        return ExchangeError;
    }
    // The device took this command already: sent again, it would be executed twice (a sale
    // booked twice). Its reply is lost, or the NAK was a stray byte of an earlier frame; only
    // asking for the pending reply again is safe.
    if (m_frameAcked) {
        pauseMs(50);
        return GotNak;
    }
    if (sendFrame() == GotAck)
        return GotAck;
    if (receiveFrame() == Ok)
        return Ok;
    putByte(ENQ);
    readByte(1000, &answer); // on a timeout the NAK of the first ENQ stays in force
    if (answer == ACK)
        return receiveFrame() == Ok ? Ok : NoAnswer;
    if (answer == NAK)
        return GotNak;
    pauseMs(50);
    return NoAnswer;
}

int FrVelkor::sendFrame()
{
    const quint8 length = quint8(m_command.size());
    quint8 checksum = length;
    putByte(STX);
    putByte(length);
    for (const char byte : std::as_const(m_command)) {
        putByte(quint8(byte));
        checksum ^= quint8(byte);
    }
    putByte(checksum);
    m_frameSent = true;
    quint8 answer = 0;
    if (readByte(1000, &answer) != Ok || answer != ACK)
        return GotAck;
    m_frameAcked = true;
    return Ok;
}

int FrVelkor::receiveFrame()
{
    m_rxData.clear();
    quint8 byte = 0;
    if (readByte(m_replyTimeout, &byte) != Ok)
        return ByteTimeout;
    if (byte != STX)
        return NotStx;
    if (readByte(1000, &byte) != Ok)
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
        if (readByte(1000, &byte) != Ok) {
            m_rxData.clear();
            putByte(NAK);
            return ByteTimeout;
        }
        m_rxData.append(char(byte));
        checksum ^= byte;
    }
    if (readByte(1000, &byte) != Ok || byte != checksum) {
        putByte(NAK);
        return BadChecksum;
    }
    putByte(ACK);
    return Ok;
}

void FrVelkor::putByte(quint8 byte)
{
    QIODevice* out = device();
    if (out->isOpen() && !m_portFailed)
        out->write(reinterpret_cast<const char*>(&byte), 1);
    if (m_pane)
        m_pane->logSndHex(QByteArray(1, char(byte)));
}

int FrVelkor::readByte(int waitMs, quint8* byte)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        QIODevice* in = device();
        if (!m_portFailed && in->isOpen() && in->bytesAvailable() > 0) {
            char value = 0;
            in->getChar(&value);
            if (m_pane)
                m_pane->logRcvHex(QByteArray(1, value));
            *byte = quint8(value);
            return Ok;
        }
        const qint64 left = waitMs - clock.elapsed();
        if (left <= 0 || m_portFailed || m_quitting) {
            qDebug() << "rTmt";
            return ByteTimeout;
        }
        waitEvents(int(left));
    }
}

void FrVelkor::waitEvents(int ms)
{
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(device(), &QIODevice::readyRead, &loop, &QEventLoop::quit);
    connect(this, &FrVelkor::wake, &loop, &QEventLoop::quit);
    deadline.start(ms);
    // Once the application has been told to quit, no event loop runs any more (exec returns
    // at once): the wait would spin until its deadline, and no byte could arrive anyway.
    if (loop.exec() < 0)
        m_quitting = true;
}

void FrVelkor::pauseMs(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms && !m_quitting) {
        QEventLoop loop;
        QTimer::singleShot(int(ms - clock.elapsed()), Qt::PreciseTimer, &loop, &QEventLoop::quit);
        if (loop.exec() < 0)
            m_quitting = true;
    }
}

void FrVelkor::purgeInput()
{
    QIODevice* in = device();
    if (in->isOpen() && in->bytesAvailable() > 0)
        in->readAll();
    putByte(ACK);
    pauseMs(100);
    if (in->isOpen() && in->bytesAvailable() > 0)
        in->readAll();
}

QString FrVelkor::errText(int code) const
{
    return m_errors ? m_errors->driverErrorText(code)
                    : QCoreApplication::translate("ErrorTexts", "Ошибка драйвера ") +
                          QString::number(code - 500);
}

int FrVelkor::frInit(const QString& portName, int baudRate)
{
    qDebug() << "frInit";
    m_portName = portName;
    m_baudRate = baudRate;
    const int code = openComPort();
    qDebug() << "frInit err" << code;
    if (code == Ok)
        qDebug() << "/frInit";
    return code;
}

int FrVelkor::openComPort()
{
    qDebug() << "openComPort" << m_portName;
    if (m_port.isOpen()) {
        qDebug() << "openComPort close port!";
        m_port.close();
    }
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
    m_openError = QSerialPort::NoError;
    m_openErrorString.clear();
    // What the line held before the port was opened is not an answer to anything.
    m_port.clear(QSerialPort::Input);
    m_port.readAll();
    m_portFailed = false;
    qDebug() << "/openComPort";
    return Ok;
}

void FrVelkor::closeComPort()
{
    m_port.close();
}

int FrVelkor::frSetLink(int baudRate, int timeoutMs)
{
    qDebug() << "frSetLink:" << baudRate << timeoutMs;
    BusyScope busy(m_busy);
    m_quitting = false;
    m_replyTimeout = timeoutMs;
    m_baudRate = baudRate;
    if (!m_port.setBaudRate(baudRate, QSerialPort::AllDirections)) {
        qDebug() << "frSetLink baud error:" << m_port.errorString();
        return BaudFailed;
    }
    quint8 answer = 0;
    putByte(ENQ);
    readByte(m_probeWaitMs, &answer);
    if (answer == NAK)
        return 1;
    if (answer == ACK) {
        receiveFrame(); // the device held a reply: read, acknowledge and drop it
        return 1;
    }
    return 0;
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
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError || !m_port.isOpen() ||
        m_portFailed)
        return;
    m_portFailed = true;
    const QString text = m_port.errorString();
    qDebug() << "FrVelkor port error" << int(error) << text;
    emit wake();
    QMetaObject::invokeMethod(
        this,
        [this, text] {
            closeComPort();
            emit portLost(text);
        },
        Qt::QueuedConnection);
}
