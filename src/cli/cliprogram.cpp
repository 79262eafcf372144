#include "cliprogram.h"

#include "base/mlogsystem.h"
#include "base/msgbox.h"
#include "base/pathworks.h"
#include "base/settingsfile.h"
#include "base/terminationsignals.h"
#include "catalogue/descriptionloader.h"
#include "catalogue/startdefaults.h"
#include "climonitor.h"
#include "commanddescription.h"
#include "codec/commandexchange.h"
#include "codec/commandvalues.h"
#include "codec/framedecoding.h"
#include "link/openfailure.h"
#include "procedures/hexcommand.h"
#include "procedures/linetest.h"
#include "procedures/testfp.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QSerialPortInfo>

#include <memory>

namespace {

constexpr int ProbeAttempts = 3;
constexpr int CommandTimeoutMs = 10000;

// A command's code as the catalogue lists it; a procedure of the window has none of its own.
QString codeText(const CommandRecord& command)
{
    return command.code >= 0 && command.proc <= 0
               ? QStringLiteral("%1").arg(command.code, 2, 16, QLatin1Char('0')).toUpper()
               : QStringLiteral("--");
}

QString linkTitle(int baud)
{
    return QStringLiteral("Установка связи с ФР (%1)").arg(baud);
}

QJsonObject spreadObject(const LineReport::Spread& spread)
{
    return {{QStringLiteral("min"), spread.min},
            {QStringLiteral("median"), spread.median},
            {QStringLiteral("p95"), spread.p95},
            {QStringLiteral("max"), spread.max}};
}

// The line test's report as the one object of --json.
QJsonObject reportObject(const LineReport& report)
{
    using Outcome = LineReport::Outcome;
    QJsonObject causes;
    for (int c = 0; c < LineReport::CauseCount; ++c)
        causes.insert(LineReport::causeKey(LineReport::Cause(c)),
                      report.count(LineReport::Cause(c)));
    return {{QStringLiteral("port"), report.port()},
            {QStringLiteral("baud"), report.baud()},
            {QStringLiteral("planned"), report.planned()},
            {QStringLiteral("exchanges"), int(report.exchanges().size())},
            {QStringLiteral("stopped"), report.end() != LineReport::End::Completed},
            {QStringLiteral("first_attempt"), report.count(Outcome::FirstAttempt)},
            {QStringLiteral("retried"), report.count(Outcome::Retried)},
            {QStringLiteral("failed"), report.count(Outcome::Failed)},
            {QStringLiteral("causes"), causes},
            {QStringLiteral("time_ms"), spreadObject(report.times())},
            {QStringLiteral("wire_ms"), report.wireMs()},
            {QStringLiteral("time_share"), spreadObject(report.shares())},
            {QStringLiteral("verdict"), report.verdictText()},
            {QStringLiteral("advice"), report.adviceText()}};
}

} // namespace

CliProgram::CliProgram(CliOptions options, QTextStream& out, QTextStream& err, MLogSystem& log)
    : m_options(std::move(options)), m_out(out), m_err(err), m_log(log),
      m_pane(out, err, m_options.json, m_options.full, &log), m_link(&m_objects.errors)
{
    m_link.setLogPane(&m_pane);
    m_link.setProbeWaitMs(m_options.probeWaitMs);
    // A port lost under the link (an adapter pulled out, a network server gone) is told once,
    // with its name, as the window tells it.
    QObject::connect(&m_link, &FrVelkor::portLost, [this](const QString& reason) {
        m_pane.logError(QString(), m_link.portLostText(reason));
    });
}

CliProgram::~CliProgram()
{
    // The link tells a lost port through a queued call: it is delivered before the end.
    QCoreApplication::sendPostedEvents(&m_link);
    m_link.closeComPort();
    if (m_boxesRedirected)
        setMsgBoxHandler(m_previousBox);
}

int CliProgram::fail(int code, const QString& text)
{
    m_err << text << '\n';
    m_err.flush();
    m_log.logWrite(text, LogError);
    return code;
}

int CliProgram::run()
{
    const QString& name = m_options.subcommand;
    if (name == QLatin1String("ports"))
        return ports();
    if (name == QLatin1String("search"))
        return search();
    if (!loadTables())
        return ParameterFailure;
    if (name == QLatin1String("probe"))
        return probe();
    if (name == QLatin1String("run"))
        return runCommand();
    if (name == QLatin1String("hex"))
        return hex();
    if (name == QLatin1String("script"))
        return script();
    if (name == QLatin1String("linetest"))
        return lineTest();
    if (name == QLatin1String("encode"))
        return encode();
    if (name == QLatin1String("list"))
        return list();
    if (name == QLatin1String("describe"))
        return describe();
    if (name == QLatin1String("monitor"))
        return CliMonitor(m_objects, m_options, m_out, m_err, m_log).run();
    return decode();
}

bool CliProgram::loadTables()
{
    const QString dir =
        m_options.dir.isEmpty()
            ? MPathWorks::dataDirectory(QCoreApplication::applicationDirPath())
            : QDir(m_options.dir).absolutePath();
    if (!QDir().mkpath(dir)) {
        fail(ParameterFailure, QStringLiteral("Каталог %1 недоступен.").arg(dir));
        return false;
    }
    m_objects.appDirText = dir + QLatin1Char('/');
    // The loaders tell of a broken file through message boxes: here on standard error.
    m_previousBox = setMsgBoxHandler([this](MsgIcon, const QString& title, const QString& text) {
        m_err << title << ": " << text << '\n';
        m_err.flush();
    });
    m_boxesRedirected = true;
    if (DescriptionLoader::load(m_objects, dir, m_log) != 0)
        return false;
    // The password as the window would have it: typed, else saved, else the default table's.
    const StartDefaults defaults = readStartDefaults(m_objects.symbols);
    QString passwordText = m_options.password;
    if (passwordText.isEmpty())
        passwordText = SettingsFile::inAppDir(m_objects.appDirText)
                           .load(QString::fromLatin1(defaults.passwordText))
                           .secPass;
    bool parsed = false;
    quint32 password = passwordText.toUInt(&parsed, 10);
    if (!parsed)
        password = defaults.password;
    m_objects.codec.setPassword(password, defaults.passwordIndex);
    m_host = std::make_unique<CliHost>(m_pane, password);
    return true;
}

bool CliProgram::connectLink(const QString& port, int baud, ProbeLines lines,
                             OpenFailure openFailure)
{
    const int opened = m_link.frInit(port, baud);
    if (opened != FrVelkor::Ok) {
        if (openFailure == OpenFailure::Reported)
            fail(LinkFailure,
                 QStringLiteral("Порт %1 не открыт: %2 %3")
                     .arg(port, m_link.errText(opened),
                          openFailureReason(port, m_link.openError(), m_link.openErrorString())));
        return false;
    }
    for (int attempt = 0; attempt < ProbeAttempts; ++attempt) {
        if (m_link.frSetLink(baud, CommandTimeoutMs) == FrVelkor::Ok) {
            if (m_host)
                m_host->setConnected(true);
            if (lines == ProbeLines::Shown)
                m_pane.logInfo(linkTitle(baud), QStringLiteral("Связь есть."));
            return true;
        }
    }
    if (lines == ProbeLines::Shown)
        m_pane.logInfo(linkTitle(baud), QStringLiteral("Связи нет."));
    return false;
}

int CliProgram::ports()
{
    // A USB adapter's maker and serial number tell which ttyUSB is which device.
    const QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
    if (m_options.json) {
        QStringList names;
        QJsonArray details;
        for (const QSerialPortInfo& info : infos) {
            names << info.portName();
            details.append(QJsonObject{{QStringLiteral("name"), info.portName()},
                                       {QStringLiteral("manufacturer"), info.manufacturer()},
                                       {QStringLiteral("serialNumber"), info.serialNumber()},
                                       {QStringLiteral("description"), info.description()}});
        }
        m_pane.result(QStringLiteral("ports"), {},
                      {{QStringLiteral("ports"), QJsonArray::fromStringList(names)},
                       {QStringLiteral("details"), details}});
        return Success;
    }
    for (const QSerialPortInfo& info : infos) {
        const QStringList details{info.manufacturer(), info.serialNumber(), info.description()};
        const bool known = !details.join(QString()).isEmpty();
        m_pane.result(QStringLiteral("port"),
                      known ? info.portName() + QLatin1Char('\t') + details.join(QLatin1Char('\t'))
                            : info.portName());
    }
    return Success;
}

int CliProgram::list()
{
    const Catalogue& catalogue = m_objects.catalogue;
    const QString wanted = m_options.arguments.value(0);
    bool groupFound = wanted.isEmpty();
    for (int g = 0; g < catalogue.groupCount(); ++g) {
        const GroupRecord& group = catalogue.group(g);
        if (!wanted.isEmpty() && group.name != wanted)
            continue;
        groupFound = true;
        for (int c = group.first; c < group.first + group.count; ++c) {
            const CommandRecord& command = catalogue.command(c);
            const QString code = codeText(command);
            m_pane.result(QStringLiteral("command"),
                          code + QLatin1Char('\t') + command.name + QLatin1Char('\t') + group.name,
                          {{QStringLiteral("code"), code},
                           {QStringLiteral("name"), command.name},
                           {QStringLiteral("group"), group.name}});
        }
    }
    if (!groupFound)
        return fail(ParameterFailure, QStringLiteral("Нет группы «%1».").arg(wanted));
    return Success;
}

int CliProgram::describe()
{
    const int index = parseCommand(m_options.arguments.front());
    if (index < 0)
        return ParameterFailure;
    const Catalogue& catalogue = m_objects.catalogue;
    QString group;
    for (int g = 0; g < catalogue.groupCount(); ++g)
        if (index >= catalogue.group(g).first &&
            index < catalogue.group(g).first + catalogue.group(g).count)
            group = catalogue.group(g).name;
    const CommandDescription description(codeText(catalogue.command(index)),
                                         catalogue.command(index).name, group, m_objects.codec,
                                         m_objects.symbols);
    m_pane.result(QStringLiteral("command"), description.text(), description.json());
    return Success;
}

int CliProgram::probe()
{
    return connectLink(m_options.port(), m_options.baud, ProbeLines::Shown) ? Success : LinkFailure;
}

int CliProgram::search()
{
    const QStringList ports =
        m_options.ports.isEmpty() ? FrVelkor::availablePorts() : m_options.ports;
    if (ports.isEmpty())
        return fail(LinkFailure, QStringLiteral("Нет COM-портов"));
    for (const QString& port : ports) {
        const QList<int> rates = FrVelkor::searchRates(port, m_options.baud);
        if (rates.size() == 1) {
            m_err << FrVelkor::serverRateText(port) << '\n';
            m_err.flush();
        }
        for (const int baud : rates) {
            // A search takes its time: each try is told as it begins.
            m_err << QStringLiteral("Поиск: %1, %2 бит/с…").arg(port).arg(baud) << '\n';
            m_err.flush();
            if (!connectLink(port, baud, ProbeLines::Hidden, OpenFailure::Quiet)) {
                if (m_link.isOpen())
                    continue;
                // A port that does not open (held by another program, not there) opens at no
                // rate: said once, and the search goes on with the next port.
                m_err << QStringLiteral("Поиск: порт %1 не открыт: %2")
                             .arg(port, openFailureReason(port, m_link.openError(),
                                                          m_link.openErrorString()))
                      << '\n';
                m_err.flush();
                break;
            }
            m_pane.result(QStringLiteral("found"),
                          QStringLiteral("ФР найден. %1 %2").arg(port).arg(baud),
                          {{QStringLiteral("port"), port}, {QStringLiteral("baud"), baud}});
            return Success;
        }
    }
    return fail(LinkFailure, QStringLiteral("ФР не найден."));
}

int CliProgram::lineTest()
{
    if (!connectLink(m_options.port(), m_options.baud))
        return fail(LinkFailure, QStringLiteral("Нет связи"));
    ProcedureLink link(*m_host, m_link, m_objects.errors);
    // Ctrl+C ends the test after the exchange under way, and the report shows what it has.
    bool stopped = false;
    onTerminationSignal([&stopped] { stopped = true; });
    LineTest test(link, m_link.portName(), m_link.baudRate(), m_options.count);
    const LineReport report = test.run([&stopped](const LineReport&) { return !stopped; });
    restoreDefaultTerminationSignals();
    if (m_options.json)
        m_pane.result(QStringLiteral("linetest"), {}, reportObject(report));
    else
        for (const QString& line : report.lines())
            m_pane.result(QStringLiteral("linetest"), line);
    return report.verdict() == LineReport::Verdict::Sound ? Success : DeviceFailure;
}

int CliProgram::parseCommand(const QString& codeText)
{
    bool hex = false;
    const uint code = codeText.toUInt(&hex, 16);
    const int index = hex && code <= 0xFF ? m_objects.catalogue.findByCode(code) : -1;
    if (index < 0) {
        fail(ParameterFailure, QStringLiteral("Нет команды %1 в каталоге.").arg(codeText));
        return -1;
    }
    m_objects.catalogue.setCurrentCommand(index);
    if (!m_objects.codec.parseCommand()) {
        fail(ParameterFailure, QStringLiteral("Ошибка описания команды %1").arg(codeText));
        return -1;
    }
    return index;
}

bool CliProgram::encodeValues(const QStringList& values, QByteArray* command)
{
    RazbCmd& codec = m_objects.codec;
    int failed = 0;
    if (!CommandValues::fill(codec, values, CommandValues::Missing::TakeDefaults, &failed) ||
        !codec.ceConvParmCmd(&failed)) {
        fail(ParameterFailure, codec.parameterError(failed));
        return false;
    }
    *command = codec.commandArray();
    return true;
}

int CliProgram::showReply(const QByteArray& reply)
{
    if (reply.size() < 2)
        return fail(DeviceFailure, QStringLiteral("Ответ устройства неполный: нет кода ошибки."));
    FrameDecoding::Decoded decoded;
    FrameDecoding(m_objects.catalogue, m_objects.codec, m_objects.errors)
        .readReply(reply, &decoded);
    if (decoded.error != 0)
        return fail(DeviceFailure, decoded.errorText);
    for (const FrameDecoding::Item& item : decoded.items)
        m_pane.result(QStringLiteral("item"), item.name + QStringLiteral(": ") + item.text,
                      {{QStringLiteral("name"), item.name}, {QStringLiteral("text"), item.text}});
    return Success;
}

int CliProgram::encode()
{
    if (parseCommand(m_options.arguments.front()) < 0)
        return ParameterFailure;
    QByteArray command;
    if (!encodeValues(m_options.arguments.mid(1), &command))
        return ParameterFailure;
    m_pane.result(QStringLiteral("command"), ConsolePane::hex(command),
                  {{QStringLiteral("hex"), ConsolePane::hex(command)}});
    return Success;
}

int CliProgram::decode()
{
    if (parseCommand(m_options.arguments.front()) < 0)
        return ParameterFailure;
    const QString text = m_options.arguments.at(1);
    const QByteArray digits = text.toLatin1().replace(' ', QByteArray());
    bool hexText = !digits.isEmpty() && digits.size() % 2 == 0;
    for (const char c : digits)
        hexText = hexText && std::isxdigit(static_cast<unsigned char>(c));
    if (!hexText)
        return fail(ParameterFailure, QStringLiteral("Ответ \"%1\" не в HEX формате.").arg(text));
    return showReply(QByteArray::fromHex(digits));
}

int CliProgram::runCommand()
{
    const int index = parseCommand(m_options.arguments.front());
    if (index < 0)
        return ParameterFailure;
    QByteArray command;
    if (!encodeValues(m_options.arguments.mid(1), &command))
        return ParameterFailure;
    if (!connectLink(m_options.port(), m_options.baud))
        return fail(LinkFailure, QStringLiteral("Нет связи"));
    const QString name = m_objects.catalogue.command(index).name;
    CommandExchange exchange(m_objects.codec, m_link, m_objects.errors, m_pane);
    switch (exchange.run(name, CommandTimeoutMs)) {
    case CommandExchange::Decoded:
        break;
    case CommandExchange::ParameterError:
        return ParameterFailure;
    case CommandExchange::LinkError:
        return LinkFailure;
    case CommandExchange::IncompleteReply:
    case CommandExchange::DeviceError:
        return DeviceFailure;
    }
    return showReply(m_link.answer());
}

int CliProgram::hex()
{
    if (!connectLink(m_options.port(), m_options.baud))
        return fail(LinkFailure, QStringLiteral("Нет связи"));
    ProcedureLink link(*m_host, m_link, m_objects.errors);
    switch (HexCommand::send(m_options.arguments.join(QLatin1Char(' ')), link, m_objects.catalogue)
                .outcome) {
    case HexCommand::Answered:
        return Success;
    case HexCommand::DeviceFailed:
        return DeviceFailure;
    case HexCommand::LinkFailed:
        return LinkFailure;
    case HexCommand::NotSent:
        break;
    }
    return fail(ParameterFailure, QStringLiteral("Команда не отправлена: нет байтов в HEX формате "
                                                 "или их больше 255."));
}

int CliProgram::script()
{
    QFile file(m_options.arguments.front());
    if (!file.exists())
        return fail(ParameterFailure, QStringLiteral("Нет файла %1").arg(file.fileName()));
    if (!connectLink(m_options.port(), m_options.baud))
        return fail(LinkFailure, QStringLiteral("Нет связи"));
    ProcedureLink link(*m_host, m_link, m_objects.errors);
    TestFp runner(m_objects.catalogue, m_objects.codec, link);
    switch (runner.execTestFp(&file)) {
    case TestFp::Completed:
        return Success;
    case TestFp::DeviceError:
        return DeviceFailure;
    case TestFp::LinkError:
    case TestFp::Interrupted:
        return LinkFailure;
    case TestFp::ScriptError:
    case TestFp::ParameterError:
        break;
    }
    return ParameterFailure;
}
