#include "climonitor.h"

#include "base/mlogsystem.h"
#include "base/terminationsignals.h"
#include "cliconsole.h"
#include "clioptions.h"
#include "link/frvelkor.h"
#include "procedures/programobjects.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

constexpr quint8 ExchangeParameters = 0x14;
// How often the follower's clock moves on (and the relay's events are taken, besides when
// they come).
constexpr int TickMs = 100;
constexpr char RatePrefix[] = "BR_";
// How much less the threads that decode and print count than the relay's (nice values).
constexpr int LowerPriority = 10;

} // namespace

CliMonitor::CliMonitor(ProgramObjects& objects, const CliOptions& options, QTextStream& out,
                       QTextStream& err, MLogSystem& log)
    : m_objects(objects), m_options(options), m_out(out), m_err(err), m_log(log),
      m_decoding(objects.catalogue, objects.codec, objects.errors), m_lines(m_decoding),
      m_follower([this](const FrameFollower::Event& event) { show(event); })
{
    m_tick.setInterval(TickMs);
    connect(&m_tick, &QTimer::timeout, this, [this] {
        takeEvents();
        m_follower.tick(QDateTime::currentMSecsSinceEpoch());
    });
}

RateWatch::Rule CliMonitor::rateRule(ProgramObjects& objects, FrameDecoding& decoding)
{
    RateWatch::Rule rule;
    rule.code = ExchangeParameters;
    // The rate byte's meaning is the symbol's value: "BR_115200=06" moves to 115200 bit/s
    // on 06, whatever View.ini calls it.
    for (const SymbolEntry& symbol : objects.symbols.symbols()) {
        if (!symbol.name.startsWith(RatePrefix) || symbol.value.isEmpty())
            continue;
        bool ok = false;
        const int baud = symbol.name.mid(int(sizeof RatePrefix) - 1).toInt(&ok);
        if (ok && baud > 0)
            rule.rates.emplace(quint8(symbol.value.at(0)), baud);
    }
    if (!decoding.command(QByteArray(1, char(ExchangeParameters))).known)
        return rule;
    const ItemTable& items = objects.codec.commandItems();
    for (int i = 0; i < items.count; ++i) {
        if (items[i].pref == RatePrefix)
            rule.rateOffset = items[i].rel;
        else if (items[i].ident.toLower() == "port")
            rule.portOffset = items[i].rel;
    }
    return rule;
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
        m_logFile = ::open(QFile::encodeName(m_options.logFile).constData(),
                           O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (m_logFile < 0) {
            m_err << QStringLiteral("Файл %1 не открыт: %2")
                         .arg(m_options.logFile, QString::fromLocal8Bit(std::strerror(errno)))
                  << '\n';
            return 3;
        }
    }
    m_relay.setRateRule(rateRule(m_objects, m_decoding));
    const QString other = m_options.hostLink.isEmpty() ? m_options.hostPort : m_options.hostLink;
    m_err << QStringLiteral("Монитор: ФР на %1 (%2 бит/с), программа на %3. Ctrl+C завершает.")
                 .arg(m_options.port())
                 .arg(m_options.baud)
                 .arg(other)
          << '\n';
    if (m_relay.deviceRateIsServers())
        m_err << FrVelkor::serverRateText(m_options.port()) << '\n';
    m_err.flush();
    m_log.logWrite(QStringLiteral("monitor %1 %2").arg(m_options.port(), other), LogInfo);
    m_out.flush();
    m_printer = std::make_unique<MonitorPrinter>(STDOUT_FILENO, m_logFile);
    onTerminationSignal([] { QCoreApplication::quit(); });
    QSocketNotifier ready(m_relay.readyDescriptor(), QSocketNotifier::Read);
    connect(&ready, &QSocketNotifier::activated, this, &CliMonitor::takeEvents);
    m_relay.start();
    // The relay's threads go first when the processor is short: decoding and printing
    // may fall behind, the line may not.
    ::setpriority(PRIO_PROCESS, pid_t(::syscall(SYS_gettid)), LowerPriority);
    m_tick.start();
    QCoreApplication::exec();
    m_relay.stop();
    // What was passed on before the end is told too.
    takeEvents();
    m_follower.tick(QDateTime::currentMSecsSinceEpoch() + 60000);
    if (!m_printer->finish(500))
        m_printer.release(); // its thread still uses it until the process ends
    if (m_logFile >= 0)
        ::close(m_logFile);
    return m_lostEnd ? 2 : 0;
}

void CliMonitor::takeEvents()
{
    for (const MonitorRelay::Event& event : m_relay.takeEvents())
        received(event);
}

void CliMonitor::received(const MonitorRelay::Event& event)
{
    using E = MonitorRelay::Event;
    const bool fromDevice = event.from == FrameFollower::Side::Device;
    switch (event.kind) {
    case E::Passed:
        for (const char byte : event.bytes)
            m_follower.feed(event.from, quint8(byte), event.timeMs);
        return;
    case E::Dropped:
        print(MonitorLines::dropped(event.timeMs, event.count, event.bytes));
        return;
    case E::WriteFailed:
        report(QStringLiteral("%1 не переданы байты %2: %3")
                   .arg(fromDevice ? QStringLiteral("Программе") : QStringLiteral("ФР"),
                        ConsolePane::hex(event.bytes), event.text));
        return;
    case E::RateChanged:
        print(MonitorLines::rateChanged(event.timeMs, event.count));
        return;
    case E::RateFailed:
        report(QStringLiteral("Скорость %1 не установлена: %2").arg(event.count).arg(event.text));
        return;
    case E::Skipped:
        report(QStringLiteral("Пропущено событий: %1 (разбор не успевал; обмен не задержан)")
                   .arg(event.count));
        return;
    case E::EndLost:
        m_lostEnd = true;
        report((fromDevice ? QStringLiteral("Порт ФР потерян: ")
                           : QStringLiteral("Порт программы потерян: ")) +
               event.text);
        QCoreApplication::quit();
        return;
    }
}

void CliMonitor::report(const QString& text)
{
    m_err << text << '\n';
    m_err.flush();
    m_log.logWrite(text, LogError);
}

void CliMonitor::show(const FrameFollower::Event& event)
{
    print(m_lines.describe(event));
}

void CliMonitor::print(const MonitorLines::Line& line)
{
    const QString text =
        m_options.json ? QString::fromUtf8(QJsonDocument(line.json).toJson(QJsonDocument::Compact))
                       : line.text;
    m_printer->print(text.toUtf8());
    m_log.logWrite(line.text, LogPlain);
}
