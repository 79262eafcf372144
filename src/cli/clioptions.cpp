#include "clioptions.h"

#include <QCommandLineParser>

namespace {

// Subcommands: the fewest and most arguments each takes (-1: no limit), its line in the
// usage, and the options it reads.
struct Subcommand
{
    const char* name;
    int least;
    int most;
    const char* line;
    QStringList options;
};

const QStringList kLinkOptions{"port", "baud", "password", "dir", "json", "full", "trace",
                               "probe-wait"};
const QStringList kTableOptions{"password", "dir", "json", "trace"};

const Subcommand kSubcommands[] = {
    {"ports", 0, 0, "  ports                  последовательные порты системы\n", {"json", "trace"}},
    {"probe", 0, 0, "  probe                  проверить связь с ФР на порту\n", kLinkOptions},
    {"run", 1, -1, "  run КОД [ЗНАЧЕНИЕ...]  выполнить команду каталога (код в HEX)\n",
     kLinkOptions},
    {"hex", 1, -1, "  hex ТЕКСТ              отправить команду в HEX формате\n", kLinkOptions},
    {"script", 1, 1, "  script ФАЙЛ            выполнить тест из файла\n", kLinkOptions},
    {"linetest", 0, 0, "  linetest               проверить линию: короткие запросы подряд, отчёт\n",
     {"port", "baud", "count", "password", "dir", "json", "trace", "probe-wait"}},
    {"search", 0, 0, "  search                 найти ФР на портах (--port) и скоростях\n",
     {"port", "baud", "dir", "json", "trace", "probe-wait"}},
    {"encode", 1, -1, "  encode КОД [ЗНАЧЕНИЕ...]  массив команды без устройства\n",
     kTableOptions},
    {"decode", 2, 2, "  decode КОД ОТВЕТ       разбор ответа (HEX) без устройства\n",
     kTableOptions},
    {"list", 0, 1, "  list [ГРУППА]          команды каталога: код, название, группа\n",
     kTableOptions},
    {"describe", 1, 1, "  describe КОД           значения команды по порядку и поля её ответа\n",
     kTableOptions},
    {"monitor", 0, 0,
     "  monitor                показать обмен другой программы с ФР (--port и\n"
     "                         --host-port или --host-link)\n",
     {"port", "baud", "dir", "json", "trace", "host-port", "host-link", "log"}},
    {"help", 0, 1, "  help [КОМАНДА]         справка о команде\n", {}},
};

// The options in the usage's order, with their lines.
const std::pair<const char*, const char*> kOptionLines[] = {
    {"port", "  --port ИМЯ       порт (ttyUSB0, полный путь, rfc2217://УЗЕЛ:ПОРТ,\n"
             "                   tcp://УЗЕЛ:ПОРТ); для search можно несколько раз\n"},
    {"baud", "  --baud СКОРОСТЬ  скорость, бит/с (115200)\n"},
    {"password", "  --password N     пароль системного администратора\n"},
    {"dir", "  --dir КАТАЛОГ    каталог файлов описания (каталог программы)\n"},
    {"json", "  --json           по одному объекту JSON в строке\n"},
    {"full", "  --full           побайтный протокол обмена\n"},
    {"trace", "  --trace          отладочные строки в журнал программы (Log/velkor-cli.log)\n"},
    {"probe-wait", "  --probe-wait МС  ожидание ответа на одну проверку связи (2000)\n"},
    {"count", "  --count N        linetest: число обменов (200)\n"},
    {"host-port", "  --host-port ИМЯ  monitor: порт, к которому подключена другая программа\n"},
    {"host-link", "  --host-link ПУТЬ monitor: ссылка на новый псевдотерминал для другой программы\n"},
    {"log", "  --log ФАЙЛ       monitor: те же строки и в файл (UTF-8)\n"},
};

const Subcommand* findSubcommand(const QString& name)
{
    for (const Subcommand& subcommand : kSubcommands)
        if (name == QLatin1String(subcommand.name))
            return &subcommand;
    return nullptr;
}

const QString kExitCodes = QStringLiteral(
    "Коды завершения: 0 успех, 1 ошибка устройства, 2 ошибка связи, 3 ошибка параметра\n"
    "или сценария, 4 ошибка вызова.\n");

} // namespace

QString cliUsage(const QString& subcommandName)
{
    const Subcommand* only = findSubcommand(subcommandName);
    QString text = only ? QStringLiteral("Использование: velkor-cli %1 [АРГУМЕНТЫ] [ПАРАМЕТРЫ]\n"
                                         "\n")
                              .arg(QLatin1String(only->name))
                        : QStringLiteral("Использование: velkor-cli КОМАНДА [АРГУМЕНТЫ] "
                                         "[ПАРАМЕТРЫ]\n\nКоманды:\n");
    for (const Subcommand& subcommand : kSubcommands)
        if (!only || only == &subcommand)
            text += QString::fromUtf8(subcommand.line);
    text += QStringLiteral("  --help, -h             справка (после команды: о ней)\n");
    if (only && only->options.isEmpty())
        return text;
    text += QStringLiteral("\nПараметры:\n");
    for (const auto& [name, line] : kOptionLines)
        if (!only || only->options.contains(QLatin1String(name)))
            text += QString::fromUtf8(line);
    return text + QStringLiteral("\n") + kExitCodes;
}

bool parseCliOptions(const QStringList& arguments, CliOptions* options, QString* error)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption port(QStringLiteral("port"), QString(), QStringLiteral("name"));
    const QCommandLineOption baud(QStringLiteral("baud"), QString(), QStringLiteral("rate"));
    const QCommandLineOption password(QStringLiteral("password"), QString(), QStringLiteral("n"));
    const QCommandLineOption dir(QStringLiteral("dir"), QString(), QStringLiteral("path"));
    const QCommandLineOption json(QStringLiteral("json"));
    const QCommandLineOption full(QStringLiteral("full"));
    const QCommandLineOption trace(QStringLiteral("trace"));
    const QCommandLineOption probeWait(QStringLiteral("probe-wait"), QString(),
                                       QStringLiteral("ms"));
    const QCommandLineOption exchanges(QStringLiteral("count"), QString(), QStringLiteral("n"));
    const QCommandLineOption hostPort(QStringLiteral("host-port"), QString(),
                                      QStringLiteral("name"));
    const QCommandLineOption hostLink(QStringLiteral("host-link"), QString(),
                                      QStringLiteral("path"));
    const QCommandLineOption logFile(QStringLiteral("log"), QString(), QStringLiteral("file"));
    const QCommandLineOption help(QStringList{QStringLiteral("help"), QStringLiteral("h")});
    parser.addOptions({port, baud, password, dir, json, full, trace, probeWait, exchanges, hostPort,
                       hostLink, logFile, help});
    if (!parser.parse(QStringList{QStringLiteral("velkor-cli")} + arguments)) {
        *error = parser.errorText();
        return false;
    }
    const QStringList positional = parser.positionalArguments();
    // Help, wherever it is asked for: of the command named before it, or of them all.
    options->help = parser.isSet(help) || positional.value(0) == QLatin1String("help");
    if (options->help) {
        options->subcommand = positional.value(0) == QLatin1String("help") ? positional.value(1)
                                                                            : positional.value(0);
        if (!options->subcommand.isEmpty() && !findSubcommand(options->subcommand)) {
            *error = QStringLiteral("Неизвестная команда \"%1\".").arg(options->subcommand);
            return false;
        }
        return true;
    }
    if (positional.isEmpty()) {
        *error = QStringLiteral("Не указана команда.");
        return false;
    }
    options->subcommand = positional.front();
    options->arguments = positional.mid(1);
    const Subcommand* found = findSubcommand(options->subcommand);
    if (!found) {
        *error = QStringLiteral("Неизвестная команда \"%1\".").arg(options->subcommand);
        return false;
    }
    const int count = int(options->arguments.size());
    if (count < found->least || (found->most >= 0 && count > found->most)) {
        *error = QStringLiteral("Неверное число аргументов команды %1.").arg(options->subcommand);
        return false;
    }
    options->ports = parser.values(port);
    if (parser.isSet(baud)) {
        bool parsed = false;
        options->baud = parser.value(baud).toInt(&parsed);
        if (!parsed || options->baud <= 0) {
            *error = QStringLiteral("Неверная скорость \"%1\".").arg(parser.value(baud));
            return false;
        }
    }
    if (parser.isSet(password)) {
        bool parsed = false;
        parser.value(password).toUInt(&parsed, 10);
        if (!parsed) {
            *error = QStringLiteral("Неверный пароль \"%1\".").arg(parser.value(password));
            return false;
        }
        options->password = parser.value(password);
    }
    if (parser.isSet(probeWait)) {
        bool parsed = false;
        options->probeWaitMs = parser.value(probeWait).toInt(&parsed);
        if (!parsed || options->probeWaitMs <= 0) {
            *error = QStringLiteral("Неверное время ожидания \"%1\".").arg(parser.value(probeWait));
            return false;
        }
    }
    if (parser.isSet(exchanges)) {
        bool parsed = false;
        options->count = parser.value(exchanges).toInt(&parsed);
        if (!parsed || options->count <= 0 || options->count > LineTest::MaxCount) {
            *error = QStringLiteral("Неверное число обменов \"%1\" (от 1 до %2).")
                         .arg(parser.value(exchanges))
                         .arg(LineTest::MaxCount);
            return false;
        }
    }
    options->dir = parser.value(dir);
    options->hostPort = parser.value(hostPort);
    options->hostLink = parser.value(hostLink);
    options->logFile = parser.value(logFile);
    options->json = parser.isSet(json);
    options->trace = parser.isSet(trace);
    options->full = parser.isSet(full);
    const bool needsPort = options->subcommand == QLatin1String("probe") ||
                           options->subcommand == QLatin1String("run") ||
                           options->subcommand == QLatin1String("hex") ||
                           options->subcommand == QLatin1String("script") ||
                           options->subcommand == QLatin1String("linetest") ||
                           options->subcommand == QLatin1String("monitor");
    if (needsPort && options->ports.isEmpty()) {
        *error = QStringLiteral("Команде %1 нужен порт (--port).").arg(options->subcommand);
        return false;
    }
    if (options->subcommand == QLatin1String("monitor") &&
        options->hostPort.isEmpty() == options->hostLink.isEmpty()) {
        *error = QStringLiteral("Команде monitor нужен один из параметров --host-port и "
                                "--host-link.");
        return false;
    }
    return true;
}
