// velkor-cli as a user runs it: every subcommand against the emulator on a pseudo-terminal,
// its output and exit code; and the same commands through the window and the program give
// the same bytes and the same texts.
#include "clirun.h"
#include "codec/razbcmd.h"
#include "receivedcommands.h"
#include "windowrig.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using testsupport::WindowRig;

namespace {

using Run = testsupport::CliRun;
using testsupport::runCli;

// The documented lines against the printed ones: "…" alone skips any number of lines, a
// line ending in " …" matches by its start, any other line exactly.
bool sessionMatches(const QStringList& documented, const QStringList& printed)
{
    qsizetype at = 0;
    bool skipping = false;
    for (const QString& line : documented) {
        if (line == QStringLiteral("…")) {
            skipping = true;
            continue;
        }
        const bool start = line.endsWith(QStringLiteral(" …"));
        const QString wanted = start ? line.chopped(2) : line;
        const auto matches = [&](const QString& text) {
            return start ? text.startsWith(wanted) : text == wanted;
        };
        while (skipping && at < printed.size() && !matches(printed.at(at)))
            ++at;
        if (at >= printed.size() || !matches(printed.at(at)))
            return false;
        ++at;
        skipping = false;
    }
    return skipping || at == printed.size();
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

    std::unique_ptr<emu::PtyEmulator> m_device;
    std::unique_ptr<emu::PtyEmulator> m_silent;
    std::unique_ptr<emu::PtyEmulator> m_replyless; // executes commands, its replies never come
    QTemporaryDir m_dir;
    QString m_port;
    QString m_silentPort;
    QString m_replylessPort;

    // The subcommand's arguments with the port of the emulator and a fresh description dir.
    QStringList withPort(QStringList arguments) const
    {
        for (QString& argument : arguments) {
            argument.replace(QStringLiteral("%device%"), m_port);
            argument.replace(QStringLiteral("%silent%"), m_silentPort);
            argument.replace(QStringLiteral("%replyless%"), m_replylessPort);
            argument.replace(QStringLiteral("%examples%"), QStringLiteral(VELKOR_EXAMPLES_DIR));
        }
        return arguments << QStringLiteral("--dir") << m_dir.path();
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_device = std::make_unique<emu::PtyEmulator>(emu::FaultPlan{}, 115200);
        emu::FaultPlan silent;
        silent.silent = true;
        m_silent = std::make_unique<emu::PtyEmulator>(silent, 115200);
        emu::FaultPlan replyless; // NAK to ENQ, ACK to the frame, then only NAKs
        for (unsigned position = 3; position < 400; ++position)
            replyless.byteFaults[position] = {emu::ByteFault::Replace, 0x15};
        m_replyless = std::make_unique<emu::PtyEmulator>(replyless, 115200);
        QVERIFY(m_device->open() && m_silent->open() && m_replyless->open());
        m_device->start();
        m_silent->start();
        m_replyless->start();
        m_port = QString::fromStdString(m_device->portPath());
        m_silentPort = QString::fromStdString(m_silent->portPath());
        m_replylessPort = QString::fromStdString(m_replyless->portPath());
    }

    void subcommands_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");
        QTest::addColumn<QStringList>("lines"); // lines of standard output, in this order
        QTest::addColumn<QString>("error");     // a part of standard error
        const QString probe = QStringLiteral("--probe-wait=30");
        QTest::newRow("probe") << QStringList{"probe", "--port", "%device%"} << 0
                               << QStringList{"Установка связи с ФР (115200): Связь есть."} << "";
        QTest::newRow("probe at another rate")
            << QStringList{"probe", "--port", "%device%", "--baud", "4800", probe} << 2
            << QStringList{"Установка связи с ФР (4800): Связи нет."} << "";
        QTest::newRow("run a status request")
            << QStringList{"run", "10", "--port", "%device%"} << 0
            << QStringList{"snd: 10 1E 00 00 00", "Режим ФР: Закрытая смена"} << "";
        QTest::newRow("run with the password given")
            << QStringList{"run", "13", "--port", "%device%", "--password", "31"} << 1
            << QStringList{"snd: 13 1F 00 00 00", "rcv: 13 4F", "Ошибка: [79]: Неверный пароль."}
            << "";
        QTest::newRow("run a device error")
            << QStringList{"run", "2D", "30", "77", "--port", "%device%"} << 1
            << QStringList{"snd: 2D 1E 00 00 00 4D", "Ошибка: [93]: Таблица не определена."} << "";
        QTest::newRow("run an unknown code") << QStringList{"run", "99", "--port", "%device%"} << 3
                                             << QStringList{} << "Нет команды 99";
        QTest::newRow("run a value that does not fit")
            << QStringList{"run", "13", "30x", "--port", "%device%"} << 3 << QStringList{}
            << "Ошибка в параметре";
        QTest::newRow("run on a port that is not there")
            << QStringList{"run", "10", "--port", "/nonexistent/ttyX"} << 2 << QStringList{}
            << "Порт /nonexistent/ttyX не открыт";
        QTest::newRow("run whose reply never comes")
            << QStringList{"run", "13", "--port", "%replyless%"} << 2
            << QStringList{"snd: 13 1E 00 00 00",
                           "Гудок: " + FrVelkor::maybeExecutedText()}
            << "Команда могла быть выполнена ФР: ответ не получен. Проверьте состояние ФР, "
               "прежде чем повторять команду.";
        QTest::newRow("a network name that does not resolve")
            << QStringList{"probe", "--port", "tcp://nosuchhost.invalid:4001"} << 2
            << QStringList{} << "Причина: узел nosuchhost.invalid не найден.";
        QTest::newRow("a network port nobody listens on")
            << QStringList{"probe", "--port", "rfc2217://127.0.0.1:1"} << 2 << QStringList{}
            << "Порт rfc2217://127.0.0.1:1 не открыт: Ошибка драйвера [10]: ошибка открытия канала. "
               "Причина: в соединении отказано (порт никто не слушает).";
        QTest::newRow("a malformed network name")
            << QStringList{"probe", "--port", "rfc2217://host"} << 2 << QStringList{}
            << "неверное имя сетевого порта «rfc2217://host»: нужно rfc2217://УЗЕЛ:ПОРТ или "
               "tcp://УЗЕЛ:ПОРТ";
        QTest::newRow("hex") << QStringList{"hex", "FC", "--port", "%device%"} << 0
                             << QStringList{"snd: FC"} << "";
        QTest::newRow("hex without bytes") << QStringList{"hex", "zz", "--port", "%device%"} << 3
                                           << QStringList{} << "Команда не отправлена";
        QTest::newRow("script") << QStringList{"script", "%examples%/testfp.txt", "--port",
                                               "%device%"}
                                << 0 << QStringList{"snd: 10 1E 00 00 00", "snd: FC"} << "";
        QTest::newRow("script not there")
            << QStringList{"script", "/nonexistent.txt", "--port", "%device%"} << 3 << QStringList{}
            << "Нет файла";
        QTest::newRow("search") << QStringList{"search", "--port",   "%silent%",
                                               "--port", "%device%", probe}
                                << 0 << QStringList{"ФР найден. %device% 115200"} << "";
        QTest::newRow("search finding nothing")
            << QStringList{"search", "--port", "%silent%", probe} << 2 << QStringList{}
            << "бит/с…\nФР не найден.";
        QTest::newRow("search past a port that does not open")
            << QStringList{"search", "--port", "/nonexistent/ttyX", "--port", "%device%", probe}
            << 0 << QStringList{"ФР найден. %device% 115200"}
            << "Поиск: /nonexistent/ttyX, 2400 бит/с…\nПоиск: порт /nonexistent/ttyX не открыт: ";
        QTest::newRow("encode") << QStringList{"encode", "17", "30", "2", "Ёж"} << 0
                                << QStringList{"17 1E 00 00 00 02 A8 E6" +
                                               QString(" 00").repeated(38)}
                                << "";
        QTest::newRow("encode with defaults")
            << QStringList{"encode", "10"} << 0 << QStringList{"10 1E 00 00 00"} << "";
        QTest::newRow("decode")
            << QStringList{"decode", "10", "10 00 01 02 00 04 00 05 1F 2A 00 00 00 00 00 00"} << 0
            << QStringList{"Код ошибки: 0", "Номер оператора: 1", "Режим ФР: Закрытая смена"} << "";
        QTest::newRow("decode a device error")
            << QStringList{"decode", "10", "10 37"} << 1 << QStringList{} << "[55]";
        QTest::newRow("decode bad hex")
            << QStringList{"decode", "10", "1g"} << 3 << QStringList{} << "не в HEX формате";
        QTest::newRow("list a group")
            << QStringList{"list", "Состояние"} << 0
            << QStringList{"11\tСостояние ККМ\tСостояние", "FC\tПараметры устройства\tСостояние"}
            << "";
        QTest::newRow("list an unknown group")
            << QStringList{"list", "Нету"} << 3 << QStringList{} << "Нет группы «Нету».";
        QTest::newRow("describe a sale")
            << QStringList{"describe", "80"} << 0
            << QStringList{"80 Продажа, группа «Операции с чеком»",
                           "Значения после кода, по порядку (velkor-cli run 80 ЗНАЧЕНИЕ...; "
                           "недостающие берутся по умолчанию):",
                           "  1. Пароль оператора (prlop): число, 4 байта; по умолчанию 30",
                           "  2. Количество (vol): число, 5 байт, знаков после точки: 3; "
                           "по умолчанию 1",
                           "  9. Текст (name): текст, 40 байт", "Ответ:",
                           "     Код ошибки (error): число, 1 байт"}
            << "";
        QTest::newRow("describe an enumeration")
            << QStringList{"describe", "14"} << 0
            << QStringList{"  3. Скорость (baud): выбор, 1 байт; значения: 0 = 2400, 1 = 4800, "
                           "2 = 9600, 3 = 19200, 4 = 38400, 5 = 57600, 6 = 115200",
                           "  4. Таймаут (tmt): тайм-аут в мс, 1 байт; по умолчанию 100"}
            << "";
        QTest::newRow("describe a procedure of the window")
            << QStringList{"describe", "00"} << 3 << QStringList{} << "Нет команды 00 в каталоге.";
        QTest::newRow("list a procedure")
            << QStringList{"list", "Данные ККМ"} << 0
            << QStringList{"--\tДанные ККМ\tДанные ККМ"} << "";
        QTest::newRow("describe an unknown code")
            << QStringList{"describe", "ZZ"} << 3 << QStringList{} << "Нет команды ZZ в каталоге.";
        for (const char* asked : {"--help", "-h", "help"})
            QTest::newRow(asked) << QStringList{asked} << 0
                                 << QStringList{"Использование: velkor-cli КОМАНДА [АРГУМЕНТЫ] "
                                                "[ПАРАМЕТРЫ]"}
                                 << "";
        QTest::newRow("help run") << QStringList{"help", "run"} << 0
                                  << QStringList{"  run КОД [ЗНАЧЕНИЕ...]  выполнить команду "
                                                 "каталога (код в HEX)"}
                                  << "";
        // Anywhere on the line; after a command, that command's usage.
        QTest::newRow("--help after an option")
            << QStringList{"--dir", "/tmp", "--help"} << 0
            << QStringList{"Использование: velkor-cli КОМАНДА [АРГУМЕНТЫ] [ПАРАМЕТРЫ]"} << "";
        QTest::newRow("-h after a command")
            << QStringList{"probe", "-h"} << 0
            << QStringList{"Использование: velkor-cli probe [АРГУМЕНТЫ] [ПАРАМЕТРЫ]",
                           "  probe                  проверить связь с ФР на порту"}
            << "";
        QTest::newRow("help of no such command")
            << QStringList{"help", "frobnicate"} << 4 << QStringList{} << "Неизвестная команда";
        QTest::newRow("--version") << QStringList{"--version"} << 0
                                   << QStringList{"velkor-cli 0.0.4.1"} << "";
        QTest::newRow("no subcommand")
            << QStringList{} << 4 << QStringList{} << "Не указана команда.";
        QTest::newRow("unknown subcommand")
            << QStringList{"frobnicate"} << 4 << QStringList{} << "Неизвестная команда";
        QTest::newRow("run without a port")
            << QStringList{"run", "10"} << 4 << QStringList{} << "нужен порт";
        QTest::newRow("bad rate") << QStringList{"probe", "--port", "x", "--baud", "fast"} << 4
                                  << QStringList{} << "Неверная скорость";
    }
    void subcommands()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        QFETCH(QStringList, lines);
        QFETCH(QString, error);
        const Run run = runCli(withPort(arguments));
        QVERIFY2(
            run.code == code,
            qPrintable(
                QStringLiteral("exit %1\n%2\n%3").arg(run.code).arg(run.out.join('\n'), run.err)));
        int from = 0;
        for (QString line : lines) {
            line.replace(QStringLiteral("%device%"), m_port);
            const qsizetype at = run.out.indexOf(line, from);
            QVERIFY2(at >= 0, qPrintable(line + QStringLiteral("\n---\n") + run.out.join('\n')));
            from = int(at) + 1;
        }
        QVERIFY2(run.err.contains(error), qPrintable(run.err));
    }

    // What describe lists is what run takes: for every shipped command, one value of each
    // described kind, in the described order, encodes without a parameter error.
    void describeMatchesWhatRunTakes()
    {
        const Run listed = runCli(withPort({"list", "--json"}));
        QCOMPARE(listed.code, 0);
        int described = 0;
        for (const QString& line : listed.out) {
            const QString code = QJsonDocument::fromJson(line.toUtf8())["code"].toString();
            if (code == QLatin1String("--"))
                continue;
            const Run run = runCli(withPort({"describe", code, "--json"}));
            QCOMPARE(run.code, 0);
            const QJsonObject command = QJsonDocument::fromJson(run.out.value(0).toUtf8()).object();
            QStringList values{"encode", code};
            for (const QJsonValue value : command["values"].toArray()) {
                const QJsonObject item = value.toObject();
                const QString kind = item["kind"].toString();
                const int size = item["size"].toInt();
                QVERIFY2(!item["name"].toString().isEmpty(), qPrintable(code));
                if (item.contains("default"))
                    values << item["default"].toString();
                else if (kind == QStringLiteral("выбор"))
                    values << QString::number(
                        item["values"].toArray().first().toObject()["value"].toInteger());
                else if (kind.endsWith(QStringLiteral("в HEX")))
                    values << QStringLiteral("00").repeated(size ? size : 1);
                else if (kind == QStringLiteral("дата ДД/ММ/ГГ"))
                    values << QStringLiteral("09/12/26");
                else if (kind == QStringLiteral("время ЧЧ:ММ:СС"))
                    values << QStringLiteral("12:30:00");
                else if (kind == QStringLiteral("текст"))
                    values << QStringLiteral("Ёж");
                else
                    values << QStringLiteral("1");
            }
            const Run encoded = runCli(withPort(values));
            QVERIFY2(encoded.code == 0, qPrintable(values.join(' ') + QStringLiteral(": ") +
                                                   encoded.err));
            ++described;
        }
        QVERIFY(described > 100);
    }

    // The README's session as written: velkor-emu without --baud serves at the tool's own
    // rate, so the first probe finds it.
    void emulatorProgramAtTheToolsRate()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("ttyVELKOR"));
        QProcess emulator;
        emulator.start(QStringLiteral(VELKOR_EMU), {QStringLiteral("--link"), link});
        QVERIFY(emulator.waitForReadyRead(5000));
        QVERIFY(emulator.readLine().startsWith("Port: " + link.toUtf8() + " at 115200 bit/s"));
        const Run run = runCli(withPort({"probe", "--port", link}));
        emulator.terminate();
        emulator.waitForFinished(5000);
        QCOMPARE(run.code, 0);
        QCOMPARE(run.out, QStringList{"Установка связи с ФР (115200): Связь есть."});
    }

    // Every "console" block of the docs, run as written on programs found on the PATH (as
    // installed): each "$ " line through the shell, its standard output and error compared
    // with the lines under it. A line "…" skips lines; a line ending in " …" gives only its
    // start. The emulator's path and the example's installed place are mapped to this run's.
    void documentedSessions_data()
    {
        QTest::addColumn<QStringList>("session");
        const QDir docs(QStringLiteral(VELKOR_DOCS_DIR));
        int blocks = 0;
        for (const QString& name : docs.entryList({QStringLiteral("*.md")})) {
            QFile file(docs.filePath(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
            for (int i = 0; i < lines.size(); ++i) {
                if (lines.at(i) != QLatin1String("```console"))
                    continue;
                QStringList session;
                const int first = i + 1;
                while (++i < lines.size() && lines.at(i) != QLatin1String("```"))
                    session << lines.at(i);
                QTest::newRow(qPrintable(QStringLiteral("%1:%2").arg(name).arg(first))) << session;
                ++blocks;
            }
        }
        QVERIFY(blocks >= 2);
    }
    void documentedSessions()
    {
        QFETCH(QStringList, session);
        QTemporaryDir dir;
        const QString bin = dir.filePath(QStringLiteral("bin"));
        QVERIFY(QDir().mkpath(bin));
        QVERIFY(QFile::copy(QStringLiteral(VELKOR_CLI), bin + QStringLiteral("/velkor-cli")));
        QVERIFY(QFile::copy(QStringLiteral(VELKOR_EMU), bin + QStringLiteral("/velkor-emu")));
        const auto local = [&dir](QString text) {
            text.replace(QStringLiteral("/tmp/tty"), dir.filePath(QStringLiteral("tty")));
            text.replace(QStringLiteral("/usr/share/doc/velkor-testdriver/examples"),
                         QStringLiteral(VELKOR_EXAMPLES_DIR));
            return text;
        };
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("PATH"),
                           bin + QLatin1Char(':') + environment.value(QStringLiteral("PATH")));
        // Programs left running end with the session, also when a check fails.
        struct Stop
        {
            void operator()(QProcess* process) const
            {
                process->terminate();
                process->waitForFinished(5000);
                delete process;
            }
        };
        std::vector<std::unique_ptr<QProcess, Stop>> background;
        for (int i = 0; i < session.size(); ++i) {
            QVERIFY2(session.at(i).startsWith(QLatin1String("$ ")), qPrintable(session.at(i)));
            QString command = local(session.at(i).mid(2));
            QStringList expected;
            while (i + 1 < session.size() && !session.at(i + 1).startsWith(QLatin1String("$ ")))
                expected << local(session.at(++i));
            auto process = std::make_unique<QProcess>();
            process->setProcessEnvironment(environment);
            process->setWorkingDirectory(dir.path());
            process->setProcessChannelMode(QProcess::MergedChannels);
            if (command.endsWith(QLatin1String(" &"))) {
                // A program left running: started here, its link waited for, ended at the end.
                command.chop(2);
                process->start(QStringLiteral("bash"), {QStringLiteral("-c"),
                                                        QStringLiteral("exec ") + command});
                const QRegularExpression linkOption(QStringLiteral("--link (\\S+)"));
                const QString link = linkOption.match(command).captured(1);
                QTRY_VERIFY_WITH_TIMEOUT(link.isEmpty() || QFileInfo::exists(link), 5000);
                background.emplace_back(process.release());
                continue;
            }
            process->start(QStringLiteral("bash"), {QStringLiteral("-c"), command});
            QVERIFY2(process->waitForFinished(60000), qPrintable(command));
            const QStringList actual =
                QString::fromUtf8(process->readAll()).split('\n', Qt::SkipEmptyParts);
            QVERIFY2(sessionMatches(expected, actual),
                     qPrintable(command + QStringLiteral("\n--- documented:\n") +
                                expected.join('\n') + QStringLiteral("\n--- printed:\n") +
                                actual.join('\n')));
        }
    }

    // Installed in a directory its user cannot write, or in a system directory that root
    // could write, the program works from the user's data directory: the description files
    // and the log go there, nothing beside the program. The log holds debug traces only
    // with --trace.
    void programDirectoryNotUsed_data()
    {
        QTest::addColumn<QString>("under"); // where the program's directory is made
        QTest::addColumn<bool>("asRoot");
        QTest::addColumn<bool>("trace");
        QTest::newRow("read-only directory") << QDir::tempPath() << false << false;
        QTest::newRow("read-only directory, traced") << QDir::tempPath() << false << true;
        QTest::newRow("system directory, root") << "/opt" << true << false;
    }
    void programDirectoryNotUsed()
    {
        QFETCH(QString, under);
        QFETCH(bool, asRoot);
        QFETCH(bool, trace);
        if (asRoot && ::geteuid() != 0)
            QSKIP("needs root: only root can write a system directory");
        QTemporaryDir dir(under + QStringLiteral("/velkor-check-XXXXXX"));
        QVERIFY(dir.isValid());
        QFile::setPermissions(dir.path(), QFileDevice::Permissions(0x7755));
        const QString bin = dir.filePath(QStringLiteral("bin"));
        const QString data = dir.filePath(QStringLiteral("data"));
        QVERIFY(QDir().mkpath(bin) && QDir().mkpath(data));
        QVERIFY(QFile::copy(QStringLiteral(VELKOR_CLI), bin + QStringLiteral("/velkor-cli")));
        if (!asRoot)
            QFile::setPermissions(bin, QFileDevice::Permissions(0x5555));
        QFile::setPermissions(data, QFileDevice::Permissions(0x7777));
        QStringList command{QStringLiteral("env"), QStringLiteral("XDG_DATA_HOME=") + data,
                            bin + QStringLiteral("/velkor-cli"), QStringLiteral("encode"),
                            QStringLiteral("10")};
        if (trace)
            command << QStringLiteral("--trace");
        // Root may write anywhere: the read-only case runs as an ordinary user.
        const bool switchUser = !asRoot && ::geteuid() == 0;
        if (switchUser)
            command = QStringList{QStringLiteral("-u"), QStringLiteral("nobody"),
                                  QStringLiteral("--")} +
                      command;
        QProcess process;
        process.start(switchUser ? QStringLiteral("runuser") : command.takeFirst(), command);
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitCode(), 0);
        QCOMPARE(process.readAllStandardOutput().trimmed(), QByteArray("10 1E 00 00 00"));
        const QString files = data + QStringLiteral("/velkor-testdriver");
        for (const char* name :
             {"Command.ini", "Symbol.ini", "View.ini", "Default.ini", "Error.txt", "ErrorDrv.txt"})
            QVERIFY2(QFile::exists(files + QLatin1Char('/') + QLatin1String(name)), name);
        const QString log =
            QString::fromUtf8(testsupport::readBytes(files + QStringLiteral("/Log/velkor-cli.log")));
        QCOMPARE(log.contains(QStringLiteral("Debug: ")), trace);
        QVERIFY(log.contains(QStringLiteral("Execution complete. Return code: 0")));
        QCOMPARE(QDir(bin).entryList(QDir::Files), QStringList{"velkor-cli"});
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("Log"))));
    }

    // The line test against velkor-emu: its counts by cause are the faults the emulator says
    // it injected, a reply frame counted once by what the link saw of it (its STX dropped:
    // another byte where STX should be; another byte dropped: one came late; else its
    // damaged checksum); a clean line is sound, exit 0.
    void lineTest_data()
    {
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<int>("code");
        QTest::newRow("clean") << QStringList{} << 0;
        QTest::newRow("noisy") << QStringList{"--corrupt-rate", "0.03", "--drop-rate", "0.002",
                                              "--garbage-rate", "0.03", "--seed", "5"}
                               << 1;
    }
    void lineTest()
    {
        QFETCH(QStringList, faults);
        QFETCH(int, code);
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("ttyLINE"));
        QProcess emulator;
        emulator.start(QStringLiteral(VELKOR_EMU), QStringList{"--link", link} + faults);
        QVERIFY(emulator.waitForReadyRead(5000));
        const Run run = runCli(withPort({"linetest", "--port", link, "--count", "100", "--json"}));
        emulator.terminate();
        QVERIFY(emulator.waitForFinished(5000));
        QCOMPARE(run.code, code);
        QCOMPARE(run.out.size(), 1);
        const QJsonObject report = QJsonDocument::fromJson(run.out.at(0).toUtf8()).object();
        QMap<QString, int> expected;
        std::map<int, QString> replies; // what the link saw of each faulted reply frame
        const QRegularExpression fault(QStringLiteral("^fault: (\\w+) (\\d+): (.*)$"));
        for (const QString& line : QString::fromUtf8(emulator.readAllStandardOutput()).split('\n')) {
            const QRegularExpressionMatch match = fault.match(line);
            if (!match.hasMatch())
                continue;
            const QString what = match.captured(3);
            QString& seen = replies[match.captured(2).toInt()];
            if (match.captured(1) == QLatin1String("ENQ"))
                ++expected[QStringLiteral("enq_garbage")];
            else if (what.startsWith(QLatin1String("byte 1 of")))
                seen = QStringLiteral("not_stx");
            else if (what.endsWith(QLatin1String(" dropped")) && seen != QLatin1String("not_stx"))
                seen = QStringLiteral("late_byte");
            else if (seen.isEmpty())
                seen = QStringLiteral("bad_checksum");
        }
        for (const auto& [reply, seen] : replies)
            if (!seen.isEmpty())
                ++expected[seen];
        QJsonObject causes;
        for (const QString& key : report["causes"].toObject().keys())
            causes.insert(key, expected.value(key));
        QCOMPARE(report["causes"].toObject(), causes);
        QCOMPARE(report["exchanges"].toInt(), 100);
        if (code == 0) {
            QCOMPARE(report["first_attempt"].toInt(), 100);
            QCOMPARE(report["verdict"].toString(), QStringLiteral("Линия исправна"));
        } else {
            for (const char* kind : {"bad_checksum", "late_byte", "enq_garbage"}) // each met
                QVERIFY2(expected.value(QLatin1String(kind)) > 0, kind);
            QCOMPARE(report["first_attempt"].toInt() + report["retried"].toInt(), 100);
        }
    }

    // --json: every line of standard output is one object; the reply items carry their name
    // and text, and the frames their bytes.
    void json()
    {
        const Run run = runCli(withPort({"run", "10", "--port", "%device%", "--json"}));
        QCOMPARE(run.code, 0);
        QStringList types;
        QJsonObject mode;
        for (const QString& line : run.out) {
            QJsonParseError parseError;
            const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8(), &parseError);
            QVERIFY2(document.isObject(), qPrintable(line));
            const QJsonObject object = document.object();
            types << object.value(QStringLiteral("type")).toString();
            if (object.value(QStringLiteral("name")).toString() == QStringLiteral("Режим ФР"))
                mode = object;
        }
        QCOMPARE(types.mid(0, 3), QStringList({"snd", "rcv", "item"}));
        QCOMPARE(mode.value(QStringLiteral("text")).toString(), QStringLiteral("Закрытая смена"));
        const Run failed =
            runCli(withPort({"run", "2D", "30", "77", "--port", "%device%", "--json"}));
        QCOMPARE(failed.code, 1);
        const QJsonObject last = QJsonDocument::fromJson(failed.out.last().toUtf8()).object();
        QCOMPARE(last.value(QStringLiteral("type")).toString(), QStringLiteral("error"));
        QVERIFY(last.value(QStringLiteral("text")).toString().contains(QStringLiteral("[93]")));
        const Run lost = runCli(withPort({"run", "13", "--port", "%replyless%", "--json"}));
        QCOMPARE(lost.code, 2);
        const QJsonObject maybe = QJsonDocument::fromJson(lost.out.last().toUtf8()).object();
        QCOMPARE(maybe.value(QStringLiteral("executed")).toString(), QStringLiteral("maybe"));
        QCOMPARE(maybe.value(QStringLiteral("text")).toString(), FrVelkor::maybeExecutedText());

        // The monitor's objects: one a line, the frames with their catalogue names and items.
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("ttyMON"));
        QProcess monitor;
        monitor.start(QStringLiteral(VELKOR_CLI),
                      withPort({"monitor", "--port", "%device%", "--host-link", link, "--json"}));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(link).isSymLink(), 5000);
        QCOMPARE(runCli(withPort({"run", "10", "--port", link})).code, 0);
        monitor.terminate();
        QVERIFY(monitor.waitForFinished(5000));
        QMap<QString, QJsonObject> byType;
        for (const QByteArray& line : monitor.readAllStandardOutput().split('\n')) {
            if (line.isEmpty())
                continue;
            const QJsonObject object = QJsonDocument::fromJson(line).object();
            QVERIFY2(object.value(QStringLiteral("t")).toString().size() == 12, line.constData());
            byType.insert(object.value(QStringLiteral("type")).toString(), object);
        }
        const QJsonObject command = byType.value(QStringLiteral("command"));
        QCOMPARE(command.value(QStringLiteral("dir")).toString(), QStringLiteral("host"));
        QCOMPARE(command.value(QStringLiteral("code")).toString(), QStringLiteral("10"));
        QCOMPARE(command.value(QStringLiteral("name")).toString(), QStringLiteral("Короткий запрос"));
        QCOMPARE(command.value(QStringLiteral("items")).toArray().at(0).toObject(),
                 (QJsonObject{{"name", "Пароль оператора"}, {"text", "30"}}));
        const QJsonObject reply = byType.value(QStringLiteral("reply"));
        QCOMPARE(reply.value(QStringLiteral("dir")).toString(), QStringLiteral("device"));
        QCOMPARE(reply.value(QStringLiteral("error")).toInt(-1), 0);
        QVERIFY(reply.contains(QStringLiteral("latencyMs")));
        QVERIFY(reply.value(QStringLiteral("items")).toArray().contains(
            QJsonObject{{"name", "Режим ФР"}, {"text", "Закрытая смена"}}));
        QCOMPARE(byType.value(QStringLiteral("nak")).value(QStringLiteral("meaning")).toString(),
                 QStringLiteral("готов к команде"));
    }

    // The monitor between a program and a device that starts with a reply pending, corrupts
    // a reply, answers an ENQ with garbage and loses a reply (the program waits out its 10 s
    // for it): the program's results are those of a direct run, every frame is named and
    // decoded as "decode" shows it, every fault is marked; --log holds the screen's lines.
    void monitorSession()
    {
        emu::FaultPlan faults;
        faults.pendingAtStart = true;
        faults.corruptReplies = {2};
        faults.garbageEnqs = {4};
        faults.loseReplies = {4};
        emu::PtyEmulator device(faults, 115200);
        emu::PtyEmulator clean(emu::FaultPlan{}, 115200);
        QVERIFY(device.open() && clean.open());
        device.start();
        clean.start();
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("ttyMON"));
        const QString logFile = dir.filePath(QStringLiteral("monitor.txt"));
        QProcess monitor;
        monitor.start(QStringLiteral(VELKOR_CLI),
                      withPort({"monitor", "--port", QString::fromStdString(device.portPath()),
                                "--host-link", link, "--log", logFile}));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(link).isSymLink(), 5000);
        // A test script too; the last two: the device moves to 9600 bit/s, and the monitor
        // follows it.
        const QList<QStringList> commands = {
            {"run", "10"}, {"run", "13"}, {"run", "E0"},
            {"run", "80", "30", "2.000", "15.50", "1", "0", "0", "0", "0", "Хлеб"},
            {"script", "%examples%/testfp.txt"},
            {"run", "14", "30", "0", "2"}, {"run", "10", "--baud", "9600"}};
        QStringList replies;
        for (const QStringList& command : commands) {
            const Run through = runCli(withPort(command + QStringList{"--port", link}));
            const Run direct = runCli(
                withPort(command + QStringList{"--port", QString::fromStdString(clean.portPath())}));
            QVERIFY2(through.code == 0, qPrintable(command.join(' ') + QStringLiteral(": ") +
                                                   through.out.join('\n') + through.err));
            QCOMPARE(through.out, direct.out);
            replies << through.out.filter(QRegularExpression(QStringLiteral("^rcv: "))).value(0).mid(5);
        }
        monitor.terminate();
        QVERIFY(monitor.waitForFinished(5000));
        QCOMPARE(monitor.exitCode(), 0);
        QVERIFY(!QFileInfo::exists(link));
        const QStringList lines =
            QString::fromUtf8(monitor.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        QFile written(logFile);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(written.readAll()).split('\n', Qt::SkipEmptyParts), lines);
        // Without the clock: "хост ..." and "ФР   ...".
        QStringList events;
        for (const QString& line : lines)
            events << line.mid(13);
        const auto has = [&events](const QString& text) {
            return !events.filter(text, Qt::CaseSensitive).isEmpty();
        };
        QVERIFY2(events.contains(QStringLiteral("хост команда 10 Короткий запрос: 02 05 10 1E 00 "
                                                "00 00 0B | Пароль оператора: 30")),
                 qPrintable(lines.join('\n')));
        QVERIFY(has(QStringLiteral("хост команда 80 Продажа: 02 3C 80 1E 00 00 00 D0 07 ")));
        QVERIFY(has(QStringLiteral(" | Пароль оператора: 30; Количество: 2.000; Цена: 15.50; "
                                   "Отдел: 1; Налог 1: 0; Налог 2: 0; Налог 3: 0; Налог 4: 0; "
                                   "Текст: Хлеб")));
        const QStringList codes = {"10", "13", "E0", "80"};
        for (int i = 0; i < codes.size(); ++i) {
            const Run decoded = runCli(withPort({"decode", codes.at(i), replies.at(i)}));
            QVERIFY2(has(QStringLiteral(" | ") + decoded.out.join(QStringLiteral("; "))),
                     qPrintable(codes.at(i) + QStringLiteral(": ") + decoded.out.join("; ")));
        }
        QVERIFY(has(QStringLiteral("ФР   ! ответ 10 Короткий запрос, не на последнюю команду: ")));
        QVERIFY(has(QStringLiteral("ФР   ! ошибка контрольной суммы (должна быть F5): 02 10 10 ")));
        QVERIFY(events.contains(QStringLiteral("хост NAK: ответ не принят")));
        QVERIFY(events.contains(QStringLiteral("ФР   ! посторонние байты в ответ на ENQ: 33 7E 41")));
        QVERIFY(events.contains(QStringLiteral("ФР   ! нет ответа на команду 13 Гудок")));
        QVERIFY(has(QStringLiteral("ФР   ответ 13 Гудок, через 10")));
        QVERIFY(events.contains(QStringLiteral("ФР   скорость 9600 бит/с: обе стороны переключены")));
    }

    // The monitor never breaks the line it watches: whatever becomes of its output (a reader
    // that stops after two lines, a FIFO nobody reads) and whatever View.ini calls the rates,
    // the other program's runs succeed, the 14h rate change included; the device port is
    // held, so a second opener is told it is busy.
    void monitorKeepsTheLine_data()
    {
        QTest::addColumn<QString>("output"); // "head", "fifo" or "" (read by the test)
        QTest::addColumn<bool>("editedRates");
        QTest::newRow("output piped into head -n 2") << "head" << false;
        QTest::newRow("output a FIFO nobody reads") << "fifo" << false;
        QTest::newRow("View.ini's rate texts edited") << "" << true;
    }
    void monitorKeepsTheLine()
    {
        QFETCH(QString, output);
        QFETCH(bool, editedRates);
        emu::PtyEmulator device(emu::FaultPlan{}, 115200);
        QVERIFY(device.open());
        device.start();
        const QString devicePort = QString::fromStdString(device.portPath());
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("ttyMON"));
        const QString files = dir.filePath(QStringLiteral("files"));
        QVERIFY(QDir().mkpath(files));
        QCOMPARE(runCli({"encode", "10", "--dir", files}).code, 0);
        if (editedRates) {
            const QString view = files + QStringLiteral("/View.ini");
            QByteArray text = testsupport::readBytes(view);
            text += "BR_2400=2400 бит/с\r\nBR_9600=9600 бит/с\r\nBR_115200=115200 бит/с\r\n";
            QVERIFY(testsupport::writeBytes(view, text));
        }
        const QStringList arguments{"monitor", "--port", devicePort, "--host-link", link,
                                    "--dir", files};
        QProcess monitor;
        QProcess head;
        int fifoReader = -1;
        if (output == QLatin1String("head")) {
            monitor.setStandardOutputProcess(&head);
            head.start(QStringLiteral("head"), {QStringLiteral("-n"), QStringLiteral("2")});
            monitor.start(QStringLiteral(VELKOR_CLI), arguments);
        } else if (output == QLatin1String("fifo")) {
            const QString fifo = dir.filePath(QStringLiteral("out.fifo"));
            QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
            fifoReader = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
            QVERIFY(fifoReader >= 0);
            ::fcntl(fifoReader, F_SETPIPE_SZ, 4096); // full after a few lines
            monitor.setStandardOutputFile(fifo);
            monitor.start(QStringLiteral(VELKOR_CLI), arguments);
        } else {
            monitor.start(QStringLiteral(VELKOR_CLI), arguments);
        }
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(link).isSymLink(), 5000);
        const Run second = runCli({"run", "10", "--port", devicePort, "--dir", files});
        QCOMPARE(second.code, 2);
        QVERIFY2(second.err.contains(QStringLiteral("занят другой программой")),
                 qPrintable(second.err));
        const QList<QStringList> commands = {{"run", "10"},          {"run", "13"},
                                             {"run", "14", "30", "0", "2"},
                                             {"run", "10", "--baud", "9600"},
                                             {"run", "14", "30", "0", "6", "--baud", "9600"},
                                             {"run", "11"},         {"run", "10"}};
        for (const QStringList& command : commands) {
            const Run through = runCli(command + QStringList{"--port", link, "--dir", files});
            QVERIFY2(through.code == 0,
                     qPrintable(command.join(' ') + QStringLiteral(": ") + through.out.join('\n') +
                                through.err + QString::fromUtf8(monitor.readAllStandardError())));
        }
        QCOMPARE(monitor.state(), QProcess::Running);
        monitor.terminate();
        QVERIFY(monitor.waitForFinished(5000));
        if (fifoReader >= 0)
            ::close(fifoReader);
        if (output == QLatin1String("head")) {
            QVERIFY(head.waitForFinished(5000));
            QCOMPARE(head.readAllStandardOutput().count('\n'), 2);
        }
        QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());
        // The monitor's program log is its own: the runs it watched did not fold it away.
        const QString monitorLog = QFileInfo(QStringLiteral(VELKOR_CLI)).absolutePath() +
                                   QStringLiteral("/../Log/velkor-cli-monitor.log");
        const QByteArray logged = testsupport::readBytes(monitorLog);
        QVERIFY(logged.contains(QStringLiteral("monitor %1 %2").arg(devicePort, link).toUtf8()));
        QVERIFY(logged.contains("скорость 9600 бит/с: обе стороны переключены"));
    }

    // A device that streams noise: the monitor prints it in bounded lines as it comes and
    // its memory stays bounded; bytes the device sends while the other program has its side
    // closed are dropped and counted, never delivered to the next opener.
    void monitorOnANoisyLine()
    {
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
        const QString devicePort = QString::fromLocal8Bit(::ptsname(master));
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("ttyMON"));
        QProcess monitor;
        monitor.start(QStringLiteral(VELKOR_CLI),
                      withPort({"monitor", "--port", devicePort, "--host-link", link}));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(link).isSymLink(), 5000);
        // Nobody has the host side open: these bytes are dropped, and a megabyte of noise too.
        QCOMPARE(::write(master, "\x41\x42\x43", 3), ssize_t(3));
        QTest::qWait(200);
        const QByteArray unread(1024 * 1024, char(0x55));
        QElapsedTimer writing;
        writing.start();
        for (qint64 done = 0; done < unread.size() && writing.elapsed() < 20000;)
            done += std::max<ssize_t>(0, ::write(master, unread.constData(), 4096));
        QTest::qWait(300);
        const int host = ::open(QFile::encodeName(link).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(host >= 0);
        QTest::qWait(100);
        char late[16];
        QCOMPARE(::read(host, late, sizeof late), ssize_t(-1)); // nothing came late
        // 3 MB of noise, passed on to the open side and read away there.
        const QByteArray noise(64 * 1024, char(0x7E));
        qint64 sent = 0;
        QByteArray sink(64 * 1024, 0);
        QByteArray printed;
        QElapsedTimer clock;
        clock.start();
        while (sent < 3 * 1024 * 1024 && clock.elapsed() < 60000) {
            const ssize_t written = ::write(master, noise.constData(), size_t(noise.size()));
            if (written > 0)
                sent += written;
            while (::read(host, sink.data(), size_t(sink.size())) > 0) {
            }
            printed += monitor.readAllStandardOutput();
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        QVERIFY(sent >= qint64(3 * 1024 * 1024));
        QTest::qWait(300);
        while (::read(host, sink.data(), size_t(sink.size())) > 0) {
        }
        QFile status(QStringLiteral("/proc/%1/status").arg(monitor.processId()));
        QVERIFY(status.open(QIODevice::ReadOnly));
        const QString peak = QString::fromLatin1(status.readAll())
                                 .section(QStringLiteral("VmHWM:"), 1)
                                 .section(QStringLiteral("kB"), 0, 0)
                                 .trimmed();
        monitor.terminate();
        QVERIFY(monitor.waitForFinished(10000));
        printed += monitor.readAllStandardOutput();
        ::close(host);
        ::close(master);
#ifndef VELKOR_SANITIZED // the sanitizer's quarantine keeps what the monitor has freed
        QVERIFY2(peak.toInt() < 80 * 1024, qPrintable(peak + QStringLiteral(" kB")));
#endif
        const QList<QByteArray> lines = printed.split('\n');
        QVERIFY(lines.size() > 100);
        qsizetype longest = 0;
        for (const QByteArray& line : lines)
            longest = std::max(longest, line.size());
        QVERIFY2(longest < 1200, qPrintable(QString::number(longest)));
        QVERIFY2(printed.contains("3 байт не переданы: порт программы закрыт (41 42 43)"),
                 printed.left(400).constData());
    }

    // A broken description file: the program refuses with the loader's words, exit 3; a
    // missing one is restored from the shipped copies, as the window does.
    void brokenDescriptionFiles()
    {
        QTemporaryDir dir;
        QCOMPARE(runCli({"encode", "10", "--dir", dir.path()}).code, 0);
        QVERIFY(QFile::remove(dir.filePath(QStringLiteral("View.ini"))));
        QCOMPARE(runCli({"encode", "10", "--dir", dir.path()}).code, 0);
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("View.ini"))));
        QFile symbols(dir.filePath(QStringLiteral("Symbol.ini")));
        QVERIFY(symbols.open(QIODevice::WriteOnly));
        symbols.write("#4=\x01\x02 not a row\r\n");
        symbols.close();
        const Run run = runCli({"encode", "10", "--dir", dir.path()});
        QCOMPARE(run.code, 3);
        QVERIFY2(run.err.contains(QStringLiteral("Symbol.ini - были ошибки")), qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
    }

    // --full adds the bytes of the handshake, one line each. The run before left nothing
    // pending: its last ACK went out before the port closed, so the probe finds the device
    // ready.
    void fullTrace()
    {
        QCOMPARE(runCli(withPort({"run", "13", "--port", "%device%"})).code, 0);
        const Run run = runCli(withPort({"hex", "FC", "--port", "%device%", "--full"}));
        QCOMPARE(run.code, 0);
        QCOMPARE(run.out.mid(0, 2), (QStringList{">>>: 05", "<<<: 15"}));
    }

    // The window and the program send the same bytes for the same commands and show the
    // same texts for the replies.
    void agreesWithTheForm_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("code");
        QTest::newRow("short status") << "Короткий запрос"
                                      << "10";
        QTest::newRow("full status") << "Состояние ККМ"
                                     << "11";
        QTest::newRow("device parameters") << "Параметры устройства"
                                           << "FC";
        QTest::newRow("exchange parameters") << "Чтение параметров обмена"
                                             << "15";
    }
    void agreesWithTheForm()
    {
        QFETCH(QString, entry);
        QFETCH(QString, code);
        WindowRig rig;
        rig.win().show();
        rig.clickToggle();
        rig.emulator().withModel([](emu::DeviceModel& m) { m.clearCommands(); });
        rig.select(entry);
        rig.clickRun();
        const QStringList sent = testsupport::receivedCommands(rig.emulator());
        QCOMPARE(sent.size(), 1);
        QStringList formLines;
        const ItemTable& items = rig.objects().codec.replyItems();
        for (int i = 0; i < items.count; ++i) {
            const CmdItem& item = items[i];
            if (!RazbCmd::shownInForm(item))
                continue;
            QString text;
            if (auto* box = qobject_cast<QTextEdit*>(item.wid))
                text = box->toPlainText();
            else if (auto* editor = qobject_cast<QLineEdit*>(item.wid))
                text = editor->text();
            formLines << RazbCmd::trName(item.view) + QStringLiteral(": ") + text;
        }
        QVERIFY(!formLines.isEmpty());
        rig.clickToggle(); // the port is free for the program
        const QString device = rig.portPath;
        const Run run = runCli({"run", code, "--port", device, "--dir", m_dir.path()});
        QCOMPARE(run.code, 0);
        QCOMPARE(run.out.value(0),
                 QStringLiteral("snd: ") +
                     QString::fromLatin1(
                         QByteArray::fromHex(sent.front().toLatin1()).toHex(' ').toUpper()));
        QCOMPARE(run.out.mid(2), formLines);
    }
};

QTEST_MAIN(TestCli)
#include "tst_cli.moc"
