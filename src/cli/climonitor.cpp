#include "climonitor.h"

#include "app/mlogsystem.h"
#include "app/programobjects.h"
#include "app/terminationsignals.h"
#include "clioptions.h"
#include "link/frvelkor.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonDocument>

namespace {

constexpr quint8 ExchangeParameters = 0x14;
constexpr int TickMs = 100;
// How long after the host's ACK both ends move to the new rate: the ACK has to be on the
// device's line at the old one first (the device switches once it has it), and the host
// needs a moment of its own to reconfigure before it sends at the new one.
constexpr int RateSwitchDelayMs = 20;

} // namespace

CliMonitor::CliMonitor(ProgramObjects& objects, const CliOptions& options, QTextStream& out,
                       QTextStream& err, MLogSystem& log)
    : m_objects(objects), m_options(options), m_out(out), m_err(err), m_log(log),
      m_decoding(objects.catalogue, objects.codec, objects.errors), m_lines(m_decoding),
      m_follower([this](const FrameFollower::Event& event) { show(event); })
{
    m_tick.setInterval(TickMs);
    connect(&m_tick, &QTimer::timeout, this,
            [this] { m_follower.tick(QDateTime::currentMSecsSinceEpoch()); });
}

int CliMonitor::run()
{
    QString error;
    if (!m_relay.openDevice(m_options.port(), m_options.baud, &error)) {
        m_err << QStringLiteral("Порт ФР не открыт: ") << error << '\n';
        return 2;
    }
    const bool hostOpened = m_options.hostLink.isEmpty()
                                ? m_relay.openHostPort(m_options.hostPort, m_options.baud, &error)
                                : m_relay.openHostLink(m_options.hostLink, &error);
    if (!hostOpened) {
        m_err << QStringLiteral("Порт программы не открыт: ") << error << '\n';
        return 2;
    }
    if (!m_options.logFile.isEmpty()) {
        m_logFile.setFileName(m_options.logFile);
        if (!m_logFile.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
            m_err << QStringLiteral("Файл %1 не открыт: %2")
                         .arg(m_options.logFile, m_logFile.errorString())
                  << '\n';
            return 3;
        }
        m_logStream.setDevice(&m_logFile);
        m_logStream.setEncoding(QStringConverter::Utf8);
    }
    const QString other = m_options.hostLink.isEmpty() ? m_options.hostPort : m_options.hostLink;
    m_err << QStringLiteral("Монитор: ФР на %1 (%2 бит/с), программа на %3. Ctrl+C завершает.")
                 .arg(m_options.port())
                 .arg(m_options.baud)
                 .arg(other)
          << '\n';
    m_err.flush();
    m_log.logWrite(QStringLiteral("monitor %1 %2").arg(m_options.port(), other), LogInfo);
    onTerminationSignal([] { QCoreApplication::quit(); });
    m_relay.start(this, [this](const MonitorRelay::Chunk& chunk) { received(chunk); });
    m_tick.start();
    QCoreApplication::exec();
    m_relay.stop();
    // What was passed on before the end is told too.
    QCoreApplication::processEvents();
    m_follower.tick(QDateTime::currentMSecsSinceEpoch());
    return m_lostEnd ? 2 : 0;
}

void CliMonitor::received(const MonitorRelay::Chunk& chunk)
{
    for (const char byte : chunk.bytes)
        m_follower.feed(chunk.from, quint8(byte), chunk.timeMs);
    if (chunk.failure.isEmpty())
        return;
    m_lostEnd = true;
    const QString text =
        (chunk.from == FrameFollower::Side::Device ? QStringLiteral("Порт ФР потерян: ")
                                                   : QStringLiteral("Порт программы потерян: ")) +
        chunk.failure;
    m_err << text << '\n';
    m_err.flush();
    m_log.logWrite(text, LogError);
    QCoreApplication::quit();
}

void CliMonitor::show(const FrameFollower::Event& event)
{
    print(m_lines.describe(event));
    followRateChange(event);
}

void CliMonitor::print(const MonitorLines::Line& line)
{
    const QString text =
        m_options.json ? QString::fromUtf8(QJsonDocument(line.json).toJson(QJsonDocument::Compact))
                       : line.text;
    m_out << text << '\n';
    m_out.flush();
    if (m_logFile.isOpen()) {
        m_logStream << text << '\n';
        m_logStream.flush();
    }
    m_log.logWrite(line.text, LogPlain);
}

void CliMonitor::followRateChange(const FrameFollower::Event& event)
{
    if (event.kind != FrameFollower::Kind::Ack || event.side != FrameFollower::Side::Host ||
        event.command.isEmpty() || quint8(event.command.at(0)) != ExchangeParameters ||
        event.answered.size() < 2 || event.answered.at(1) != 0)
        return;
    m_decoding.command(event.command);
    const ItemTable& items = m_objects.codec.commandItems();
    for (int i = 0; i < items.count; ++i) {
        if (items[i].ident.toLower() != "baud")
            continue;
        const int baud = m_objects.codec.replyText(items[i]).toInt();
        QTimer::singleShot(RateSwitchDelayMs, this, [this, baud] {
            QString error;
            if (!m_relay.setBaudRate(baud, &error)) {
                m_err << QStringLiteral("Скорость %1 не установлена: ").arg(baud) << error << '\n';
                return;
            }
            print(MonitorLines::rateChanged(QDateTime::currentMSecsSinceEpoch(), baud));
        });
        return;
    }
}
