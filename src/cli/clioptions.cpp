#include "clioptions.h"

#include <QCommandLineParser>

namespace {

// Subcommands and the fewest and most arguments each takes (-1: no limit).
struct Subcommand
{
    const char* name;
    int least;
    int most;
};

const Subcommand kSubcommands[] = {
    {"ports", 0, 0},  {"probe", 0, 0},   {"run", 1, -1},   {"hex", 1, -1},    {"script", 1, 1},
    {"search", 0, 0}, {"encode", 1, -1}, {"decode", 2, 2}, {"monitor", 0, 0}, {"list", 0, 1},
    {"describe", 1, 1},
};

} // namespace

QString cliUsage()
{
    return QStringLiteral(
        "Использование: velkor-cli КОМАНДА [АРГУМЕНТЫ] [ПАРАМЕТРЫ]\n"
        "\n"
        "Команды:\n"
        "  ports                  последовательные порты системы\n"
        "  probe                  проверить связь с ФР на порту\n"
        "  run КОД [ЗНАЧЕНИЕ...]  выполнить команду каталога (код в HEX)\n"
        "  hex ТЕКСТ              отправить команду в HEX формате\n"
        "  script ФАЙЛ            выполнить тест из файла\n"
        "  search                 найти ФР на портах (--port) и скоростях\n"
        "  encode КОД [ЗНАЧЕНИЕ...]  массив команды без устройства\n"
        "  decode КОД ОТВЕТ       разбор ответа (HEX) без устройства\n"
        "  list [ГРУППА]          команды каталога: код, название, группа\n"
        "  describe КОД           значения команды по порядку и поля её ответа\n"
        "  monitor                показать обмен другой программы с ФР (--port и\n"
        "                         --host-port или --host-link)\n"
        "\n"
        "Параметры:\n"
        "  --port ИМЯ       порт (ttyUSB0, полный путь); для search можно несколько раз\n"
        "  --baud СКОРОСТЬ  скорость, бит/с (115200)\n"
        "  --password N     пароль системного администратора\n"
        "  --dir КАТАЛОГ    каталог файлов описания (каталог программы)\n"
        "  --json           по одному объекту JSON в строке\n"
        "  --full           побайтный протокол обмена\n"
        "  --trace          отладочные строки в журнал программы (Log/velkor-cli.log)\n"
        "  --probe-wait МС  ожидание ответа на одну проверку связи (2000)\n"
        "  --host-port ИМЯ  monitor: порт, к которому подключена другая программа\n"
        "  --host-link ПУТЬ monitor: ссылка на новый псевдотерминал для другой программы\n"
        "  --log ФАЙЛ       monitor: те же строки и в файл (UTF-8)\n"
        "\n"
        "Коды завершения: 0 успех, 1 ошибка устройства, 2 ошибка связи, 3 ошибка параметра\n"
        "или сценария, 4 ошибка вызова.\n");
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
    const QCommandLineOption hostPort(QStringLiteral("host-port"), QString(),
                                      QStringLiteral("name"));
    const QCommandLineOption hostLink(QStringLiteral("host-link"), QString(),
                                      QStringLiteral("path"));
    const QCommandLineOption logFile(QStringLiteral("log"), QString(), QStringLiteral("file"));
    parser.addOptions(
        {port, baud, password, dir, json, full, trace, probeWait, hostPort, hostLink, logFile});
    if (!parser.parse(QStringList{QStringLiteral("velkor-cli")} + arguments)) {
        *error = parser.errorText();
        return false;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) {
        *error = QStringLiteral("Не указана команда.");
        return false;
    }
    options->subcommand = positional.front();
    options->arguments = positional.mid(1);
    const Subcommand* found = nullptr;
    for (const Subcommand& subcommand : kSubcommands)
        if (options->subcommand == QLatin1String(subcommand.name))
            found = &subcommand;
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
