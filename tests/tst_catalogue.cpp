#include "base/msgbox.h"
#include "catalogue/catalogue.h"
#include "testsupport.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

struct ShippedCommand
{
    int group;
    const char* name;
    int code;
    int exec;
    int pbexec;
    int proc;
};

// The shipped catalogue in file order: group, name, code, EXEC=, PBEXEC=, PROC=.
const ShippedCommand kShipped[] = {
    // Состояние (7)
    {0, "Состояние ККМ", 0x11, 1, 0, -1},
    {0, "Короткий запрос", 0x10, 1, 0, -1},
    {0, "Гудок", 0x13, 1, 0, -1},
    {0, "Технологическое обнуление", 0x16, 1, 0, -1},
    {0, "Параметры устройства", 0xFC, 1, 0, -1},
    {0, "Общее гашение", 0x27, 1, 0, -1},
    {0, "Открыть денежный ящик", 0x28, 1, -1, -1},
    // Таблицы (0)
    // Программирование даты и времени (1)
    {2, "Программирование даты и времени", 0x00, -1, -1, 1},
    // Продолжение печати (1)
    {3, "Продолжение печати", 0xB0, 1, 0, -1},
    // Прерывание выдачи данных (1)
    {4, "Прерывание выдачи данных", 0x03, 1, -1, -1},
    // Отчеты администратора (4)
    {5, "Суточный отчет без гаш.", 0x40, 1, 0, -1},
    {5, "Суточный отчет с гаш.", 0x41, 1, 0, -1},
    {5, "Отчет по секциям", 0x42, 1, 0, -1},
    {5, "Отчет по налогам", 0x43, 1, 0, -1},
    // Заводской номер (3)
    {6, "Ввод длинного завод. номера", 0x0E, -1, -1, -1},
    {6, "Запрос длинного завод. номера и РНМ", 0x0F, 1, 0, -1},
    {6, "Ввод короткого завод. номера", 0x60, -1, -1, -1},
    // Фискализация (3)
    {7, "Фискализация с длинным PHM", 0x0D, -1, -1, -1},
    {7, "Фискализация с коротким PHM", 0x65, -1, -1, -1},
    {7, "Чтение парам. фискализации", 0x69, -1, -1, -1},
    // Отчеты налогового инспектора (5)
    {8, "Запрос диапазона дат и смен", 0x64, -1, -1, -1},
    {8, "Отчет по диапазону дат", 0x66, -1, -1, -1},
    {8, "Отчет по диапазону смен", 0x67, -1, -1, -1},
    {8, "Прерывание полного отчета", 0x68, -1, -1, -1},
    {8, "Оперативный отчет НИ", 0xE8, -1, -1, -1},
    // ЭКЛЗ (28)
    {9, "Отчет по отделам (по датам)", 0xA0, -1, -1, -1},
    {9, "Отчет по отделам (по сменам)", 0xA1, -1, -1, -1},
    {9, "Отчет по закр. смен (по датам)", 0xA2, -1, -1, -1},
    {9, "Отчет по закр. смен (по сменам)", 0xA3, -1, -1, -1},
    {9, "Итоги смены по смене ЭКЛЗ", 0xA4, -1, -1, -1},
    {9, "Док. из ЭКЛЗ по номеру КПК", 0xA5, -1, -1, -1},
    {9, "Контр. лента из ЭКЛЗ по ном. смены", 0xA6, -1, -1, -1},
    {9, "Прерывание работы с ЭКЛЗ", 0xA7, 1, 0, -1},
    {9, "Активизация ЭКЛЗ", 0xA9, 1, 0, -1},
    {9, "Итог активизации ЭКЛЗ", 0xA8, 1, -1, -1},
    {9, "Закрытие архива ЭКЛЗ", 0xAA, 1, -1, -1},
    {9, "Запрос номера ЭКЛЗ", 0xAB, 1, -1, -1},
    {9, "Прекращение ЭКЛЗ", 0xAC, 1, -1, -1},
    {9, "Запрос сост. по коду 1 ЭКЛЗ", 0xAD, 1, -1, -1},
    {9, "Запрос сост. по коду 2 ЭКЛЗ", 0xAE, 1, -1, -1},
    {9, "Тест архива ЭКЛЗ", 0xAF, 1, -1, -1},
    {9, "Запрос версии ЭКЛЗ", 0xB1, 1, -1, -1},
    {9, "Инициализация архива ЭКЛЗ", 0xB2, 1, -1, -1},
    {9, "Запрос отчета ЭКЛЗ", 0xB3, -1, -1, 0},
    {9, "Запрос контр. ленты ЭКЛЗ", 0xB4, -1, -1, -1},
    {9, "Запрос документа ЭКЛЗ", 0xB5, -1, -1, -1},
    {9, "Запрос отч. по отд. (по датам)", 0xB6, -1, -1, -1},
    {9, "Запрос отч. по отд. (по сменам)", 0xB7, -1, -1, -1},
    {9, "Запрос отч. по закр. смен (по датам)", 0xB8, -1, -1, -1},
    {9, "Запрос отч. по закр. смен (по сменам)", 0xB9, -1, -1, -1},
    {9, "Запрос итогов смены по смене ЭКЛЗ", 0xBA, -1, -1, -1},
    {9, "Запрос итога активиз. ЭКЛЗ", 0xBB, -1, -1, -1},
    {9, "Вернуть ошибку ЭКЛЗ", 0xBC, -1, -1, -1},
    // Канал обмена (2)
    {10, "Установка параметров обмена", 0x14, -1, -1, -1},
    {10, "Чтение параметров обмена", 0x15, -1, -1, -1},
    // Служебные (9)
    {11, "Инициализация таблиц", 0x24, 1, -1, -1},
    {11, "Запись десятичной точки", 0x20, -1, -1, -1},
    {11, "Тестовый прогон", 0x19, -1, -1, -1},
    {11, "Прерывание тест. прогона", 0x2B, 1, -1, -1},
    {11, "Выброс подкл. док.", 0x2A, -1, -1, -1},
    {11, "Пароль ЦТО", 0xF3, -1, -1, -1},
    {11, "Инициализация ФП", 0x61, 1, -1, -1},
    {11, "Запрос суммы записей", 0x62, -1, -1, -1},
    {11, "Запрос даты послед. записи ФП", 0x63, 1, -1, -1},
    // Выдача на ленту (5)
    {12, "Допечатать подкл. док.", 0xE1, 1, -1, -1},
    {12, "Параметры шрифта", 0x26, -1, -1, -1},
    {12, "Печать строки шрифтом", 0x2F, -1, -1, -1},
    {12, "Протяжка", 0x29, -1, -1, -1},
    {12, "Печать реквизита", 0xE4, -1, -1, 0},
    // Программирование (5)
    {13, "Снятие показаний операц. регистров", 0x2C, 1, -1, -1},
    {13, "Запись таблицы", 0x1E, -1, -1, 0},
    {13, "Чтение таблицы", 0x1F, -1, -1, 0},
    {13, "Структура таблицы", 0x2D, -1, -1, -1},
    {13, "Структура поля", 0x2E, -1, -1, 0},
    // Операции с чеком (27)
    {14, "Внесение", 0x50, -1, -1, -1},
    {14, "Выплата", 0x51, -1, -1, -1},
    {14, "Печать клише", 0x52, 1, -1, -1},
    {14, "Конец документа", 0x53, -1, -1, -1},
    {14, "Печать рекламы", 0x54, 1, -1, -1},
    {14, "Открыть нефиск. док.", 0xE2, 1, -1, -1},
    {14, "Закрыть нефиск. док.", 0xE3, 1, -1, -1},
    {14, "Печать жирной строки", 0x12, -1, -1, -1},
    {14, "Печать строки", 0x17, -1, -1, -1},
    {14, "Печать заголовка док.", 0x18, -1, -1, -1},
    {14, "Отрезка чека", 0x25, -1, -1, -1},
    {14, "Продажа", 0x80, -1, -1, -1},
    {14, "Покупка", 0x81, -1, -1, -1},
    {14, "Возврат продажи", 0x82, -1, -1, -1},
    {14, "Возврат покупки", 0x83, -1, -1, -1},
    {14, "Сторно", 0x84, -1, -1, -1},
    {14, "Закрытие чека", 0x85, -1, -1, -1},
    {14, "Скидка", 0x86, -1, -1, -1},
    {14, "Надбавка", 0x87, -1, -1, -1},
    {14, "Аннулирование чека", 0x88, -1, -1, -1},
    {14, "Подитог чека", 0x89, 1, -1, -1},
    {14, "Сторно скидки", 0x8A, -1, -1, -1},
    {14, "Сторно надбавки", 0x8B, -1, -1, -1},
    {14, "Повтор документа", 0x8C, 1, -1, -1},
    {14, "Открыть чек", 0x8D, -1, -1, -1},
    {14, "Открыть смену", 0xE0, 1, -1, -1},
    {14, "Выдать чек", 0xF1, -1, -1, -1},
    // Графика (6)
    {15, "Загрузка графики", 0xC0, -1, -1, -1},
    {15, "Печать графики", 0xC1, -1, -1, -1},
    {15, "Печать штрих-кода", 0xC1, -1, -1, -1},
    {15, "Печать расшир. графики", 0xC3, -1, -1, -1},
    {15, "Загрузка расшир. графики", 0xC4, -1, -1, -1},
    {15, "Печать линии", 0xC5, -1, -1, 0},
    // Буфер печати (5)
    {16, "Сут. отчет с гаш. в буфер", 0xC6, 1, -1, -1},
    {16, "Печать отчета из буфера", 0xC7, 1, -1, -1},
    {16, "Число строк в буфере печ.", 0xC8, 1, -1, -1},
    {16, "Строка буфера печати", 0xC9, -1, -1, 0},
    {16, "Сброс буфера печати", 0xCA, 1, -1, -1},
    // Купюроприемник (3)
    {17, "Запрос рег. купюроприемника", 0xE6, -1, -1, -1},
    {17, "Запрос сост. купюроприемника", 0xE5, 1, -1, -1},
    {17, "Отчет по купюроприемнику", 0xE7, 1, -1, -1},
    // Данные ККМ (1)
    {18, "Данные ККМ", 0x00, -1, -1, 3},
    // Команда в HEX-формате (1)
    {19, "Команда в HEX-формате", 0x00, -1, -1, 2},
    // Выполнить тест из файла (1)
    {20, "Выполнить тест из файла", 0x00, -1, -1, 4},

};

const char* const kShippedGroups[] = {
    "Состояние",
    "Таблицы",
    "Программирование даты и времени",
    "Продолжение печати",
    "Прерывание выдачи данных",
    "Отчеты администратора",
    "Заводской номер",
    "Фискализация",
    "Отчеты налогового инспектора",
    "ЭКЛЗ",
    "Канал обмена",
    "Служебные",
    "Выдача на ленту",
    "Программирование",
    "Операции с чеком",
    "Графика",
    "Буфер печати",
    "Купюроприемник",
    "Данные ККМ",
    "Команда в HEX-формате",
    "Выполнить тест из файла",
};

const QByteArray kBom("\xEF\xBB\xBF");

// "name:first:count" for every group.
QStringList groupsOf(const Catalogue& catalogue)
{
    QStringList result;
    for (int i = 0; i < catalogue.groupCount(); ++i) {
        const GroupRecord& g = catalogue.group(i);
        result << QStringLiteral("%1:%2:%3").arg(g.name).arg(g.first).arg(g.count);
    }
    return result;
}

// The shipped commands that cannot be undone: each asks before it runs (CONFIRM=1).
const QStringList kConfirmed{
    "Технологическое обнуление", "Общее гашение", "Суточный отчет с гаш.",
    "Сут. отчет с гаш. в буфер", "Инициализация ФП", "Инициализация таблиц", "Активизация ЭКЛЗ",
    "Закрытие архива ЭКЛЗ", "Прекращение ЭКЛЗ", "Инициализация архива ЭКЛЗ",
    "Фискализация с длинным PHM", "Фискализация с коротким PHM", "Ввод длинного завод. номера",
    "Ввод короткого завод. номера"};

// "group|name|exec|pbexec|proc|code[|confirm=N]" for every command.
QStringList commandsOf(const Catalogue& catalogue)
{
    QStringList result;
    for (int i = 0; i < catalogue.commandCount(); ++i) {
        const CommandRecord& c = catalogue.command(i);
        result << QStringLiteral("%1|%2|%3|%4|%5|%6")
                          .arg(c.group)
                          .arg(c.name)
                          .arg(c.exec)
                          .arg(c.pbexec)
                          .arg(c.proc)
                          .arg(c.code) +
                      (c.confirm >= 0 ? QStringLiteral("|confirm=%1").arg(c.confirm) : QString());
    }
    return result;
}

} // namespace

class TestCatalogue : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    int m_files = 0;

    // Writes `text` as a command file (UTF-8 with BOM and CR LF unless raw) and loads it.
    bool load(Catalogue& catalogue, QFile& file, const QByteArray& bytes)
    {
        file.setFileName(m_dir.filePath(QStringLiteral("Command%1.ini").arg(++m_files)));
        testsupport::writeBytes(file.fileName(), bytes);
        catalogue.setCommandFile(&file);
        return catalogue.loadCommands();
    }
    static QByteArray crlf(const QString& text)
    {
        return kBom + text.toUtf8().replace("\n", "\r\n");
    }

private Q_SLOTS:
    void outerFormat_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("groups");
        QTest::addColumn<QStringList>("commands");
        QTest::addColumn<int>("tablesGroup");

        QTest::newRow("comments and blank lines only") << "// header\n\n//[GROUP]\n   \n"
                                                       << QStringList{} << QStringList{} << -1;
        QTest::newRow("an empty Таблицы group starts after the commands before it")
            << "[GROUP]\nNAME=A\n[COMMAND]\nNAME=a1\n[COMMAND]\nNAME=a2\n[GROUP]\nNAME=Таблицы\n["
               "GROUP]\nNAME=B\n[COMMAND]\nNAME=b1\n"
            << QStringList{"A:0:2", "Таблицы:2:0", "B:2:1"}
            << QStringList{"0|a1|-1|-1|-1|0", "0|a2|-1|-1|-1|0", "2|b1|-1|-1|-1|0"} << 1;
        QTest::newRow("the last Таблицы group wins")
            << "[GROUP]\nNAME=Таблицы\n[GROUP]\nNAME=Таблицы\n"
            << QStringList{"Таблицы:0:0", "Таблицы:0:0"} << QStringList{} << 1;
        QTest::newRow("keys in lower case, but not behind blanks")
            << "[group]\nname=g\n  [GROUP]\n[command]\nname=c\n  EXEC=1\nexec=1\n"
            << QStringList{"g:0:1"} << QStringList{"0|c|1|-1|-1|0"} << -1;
        QTest::newRow("a name keeps its trailing blanks")
            << "[GROUP]\nNAME=g  \n[COMMAND]\nNAME= c \n"
            << QStringList{"g  :0:1"} << QStringList{"0| c |-1|-1|-1|0"} << -1;
        QTest::newRow("numbers are trimmed, bad ones leave -1")
            << "[COMMAND]\nEXEC= 1 \nPBEXEC=x\nPROC=-2\n[COMMAND]\nEXEC=\nPBEXEC=0\nPROC=4\n"
            << QStringList{} << QStringList{"-1|UNDEFINED|1|-1|-1|0", "-1|UNDEFINED|-1|0|4|0"}
            << -1;
        QTest::newRow("CONFIRM= is read like EXEC=, absent is -1")
            << "[COMMAND]\nNAME=a\nCONFIRM= 1 \n[COMMAND]\nNAME=b\nconfirm=x\n[COMMAND]\nNAME="
               "c\nCONFIRM=2\n[COMMAND]\nNAME=d\n[GROUP]\nNAME=B\nCONFIRM=1\n"
            << QStringList{"B:4:0"}
            << QStringList{"-1|a|-1|-1|-1|0|confirm=1", "-1|b|-1|-1|-1|0",
                           "-1|c|-1|-1|-1|0|confirm=2", "-1|d|-1|-1|-1|0|confirm=1"}
            << -1;
        QTest::newRow("command codes")
            << "[COMMAND]\nCMD=$cmd=B0,#4prlasa\n[COMMAND]\nCMD=$CMD=fc\n[COMMAND]\nCMD=#4prlsa\n["
               "COMMAND]\nCMD=$cmd=zz\n[COMMAND]\nCMD=$cmd=-1\n[COMMAND]\nRPL=$cmd,#error\n"
            << QStringList{}
            << QStringList{"-1|UNDEFINED|-1|-1|-1|176", "-1|UNDEFINED|-1|-1|-1|252",
                           "-1|UNDEFINED|-1|-1|-1|-1",  "-1|UNDEFINED|-1|-1|-1|0",
                           "-1|UNDEFINED|-1|-1|-1|0",   "-1|UNDEFINED|-1|-1|-1|0"}
            << -1;
        QTest::newRow("EXEC= after a [GROUP] changes the previous group's last command")
            << "[GROUP]\nNAME=A\n[COMMAND]\nNAME=a\n[GROUP]\nNAME=B\nEXEC=1\nCMD=$cmd=11\n"
            << QStringList{"A:0:1", "B:1:0"} << QStringList{"0|a|1|-1|-1|17"} << -1;
        QTest::newRow("NAME= after a group's first command does not rename the group")
            << "[GROUP]\nNAME=A\n[COMMAND]\nNAME=a\nNAME=b\n"
            << QStringList{"A:0:1"} << QStringList{"0|b|-1|-1|-1|0"} << -1;
        QTest::newRow("commented-out sections are skipped")
            << "[GROUP]\nNAME=S\n[COMMAND]\nNAME=one\n//[COMMAND]\n//NAME=hidden\n//"
               "CMD=$cmd=01\n[COMMAND]\nNAME=two\n"
            << QStringList{"S:0:2"} << QStringList{"0|one|-1|-1|-1|0", "0|two|-1|-1|-1|0"} << -1;
    }
    void outerFormat()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, groups);
        QFETCH(QStringList, commands);
        QFETCH(int, tablesGroup);
        Catalogue catalogue;
        QFile file;
        QVERIFY(load(catalogue, file, crlf(text)));
        QCOMPARE(groupsOf(catalogue), groups);
        QCOMPARE(commandsOf(catalogue), commands);
        QCOMPARE(catalogue.tablesGroup(), tablesGroup);
        QVERIFY(!file.isOpen());
    }

    void filePositionIsTheByteOffsetOfTheLineAfterCommand_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("UTF-8 with BOM, CR LF")
            << crlf(QStringLiteral("[GROUP]\nNAME=Группа\n[COMMAND]\nNAME=Гудок\n"));
        QTest::newRow("Windows-1251, LF") << QByteArray(
            "[GROUP]\nNAME=\xC3\xF0\xF3\xEF\xEF\xE0\n[COMMAND]\nNAME=\xC3\xF3\xE4\xEE\xEA\n");
    }
    void filePositionIsTheByteOffsetOfTheLineAfterCommand()
    {
        QFETCH(QByteArray, bytes);
        Catalogue catalogue;
        QFile file;
        QVERIFY(load(catalogue, file, bytes));
        QCOMPARE(catalogue.group(0).name, QStringLiteral("Группа"));
        QCOMPARE(catalogue.command(0).name, QStringLiteral("Гудок"));
        QCOMPARE(bytes.mid(catalogue.command(0).filePos, 5), QByteArray("NAME="));
    }

    void unreadableFileShowsTheCriticalBox()
    {
        QStringList boxes;
        const MsgBoxHandler previous = setMsgBoxHandler([&boxes](MsgIcon icon, const QString& title,
                                                                 const QString& text) {
            boxes << QStringLiteral("%1|%2|%3")
                         .arg(icon == MsgIcon::Critical ? "critical" : "information", title, text);
        });
        QDir(m_dir.path()).mkdir(QStringLiteral("Directory.ini"));
        QFile file(m_dir.filePath(QStringLiteral("Directory.ini")));
        Catalogue catalogue(&file);
        QVERIFY(!catalogue.loadCommands());
        setMsgBoxHandler(previous);
        QCOMPARE(boxes, QStringList{"critical|Инициализация|Нет файла Command.ini"});
    }

    void capacitiesAreNeverOverrun_data()
    {
        QTest::addColumn<int>("groups");
        QTest::addColumn<int>("commandsPerGroup");
        QTest::addColumn<int>("loadedGroups");
        QTest::addColumn<int>("loadedCommands");
        QTest::addColumn<int>("warnings");
        QTest::newRow("300 commands in one group") << 1 << 300 << 1 << 256 << 44;
        QTest::newRow("300 groups of one command") << 300 << 1 << 256 << 256 << 44;
        QTest::newRow("260 groups of two commands") << 260 << 2 << 256 << 256 << 256 + 4;
    }
    void capacitiesAreNeverOverrun()
    {
        QFETCH(int, groups);
        QFETCH(int, commandsPerGroup);
        QFETCH(int, loadedGroups);
        QFETCH(int, loadedCommands);
        QFETCH(int, warnings);
        QString text;
        for (int g = 0; g < groups; ++g) {
            text += QStringLiteral("[GROUP]\nNAME=g%1\n").arg(g);
            for (int c = 0; c < commandsPerGroup; ++c)
                text += QStringLiteral("[COMMAND]\nNAME=c%1.%2\nEXEC=1\nCMD=$cmd=%3\n")
                            .arg(g)
                            .arg(c)
                            .arg(c % 256, 2, 16, QLatin1Char('0'));
        }
        Catalogue catalogue;
        QFile file;
        testsupport::MessageRecorder recorder;
        QVERIFY(load(catalogue, file, crlf(text)));
        QCOMPARE(catalogue.groupCount(), loadedGroups);
        QCOMPARE(catalogue.commandCount(), loadedCommands);
        const QStringList lines = recorder.messages(QtWarningMsg);
        QCOMPARE(lines.size(), warnings);
        QVERIFY2(lines.first().contains(QStringLiteral("not loaded")), qPrintable(lines.first()));
        // The last command kept keeps its own values: nothing of a dropped one lands on it.
        const CommandRecord& last = catalogue.command(loadedCommands - 1);
        QCOMPARE(last.name, commandsPerGroup == 300 ? QStringLiteral("c0.255") : last.name);
        const GroupRecord& lastGroup = catalogue.group(loadedGroups - 1);
        QCOMPARE(lastGroup.first + lastGroup.count, loadedCommands);
    }

    void overlongNamesAreCutAtACharacter()
    {
        const QString longName = QString(150, QChar(0x0416)); // 300 bytes of UTF-8
        Catalogue catalogue;
        QFile file;
        testsupport::MessageRecorder recorder;
        QVERIFY(
            load(catalogue, file,
                 crlf(QStringLiteral("[GROUP]\nNAME=%1\n[COMMAND]\nNAME=x%1\n").arg(longName))));
        QCOMPARE(catalogue.group(0).name, QString(127, QChar(0x0416)));
        QCOMPARE(catalogue.command(0).name, QStringLiteral("x") + QString(127, QChar(0x0416)));
        QCOMPARE(recorder.messages(QtWarningMsg).size(), 2);
    }

    void dumpListing()
    {
        Catalogue catalogue;
        QFile file;
        QVERIFY(load(catalogue, file,
                     crlf(QStringLiteral("[GROUP]\nNAME=Состояние\n[COMMAND]\nNAME=Гудок\nEXEC="
                                         "1\nPBEXEC=0\nCMD=$cmd=13\n"))));
        testsupport::MessageRecorder recorder;
        catalogue.dumpCommands();
        const QStringList lines = recorder.messages(QtDebugMsg);
        QCOMPARE(
            lines,
            (QStringList{
                "Command file-----------------------------",
                "groupsVol --------------- 1",
                "0  Group \"Состояние\" 0 1",
                "frGroupTabs -1",
                "commandsVol --------------- 1",
                "Group \"Состояние\"",
                QStringLiteral("   0 \"Гудок\" %1 1 0 -1 19").arg(catalogue.command(0).filePos),
            }));
    }

    void shippedCatalogue()
    {
        Catalogue catalogue;
        QFile file(QStringLiteral(":/Ini/Command.ini"));
        catalogue.setCommandFile(&file);
        QVERIFY(catalogue.loadCommands());
        QCOMPARE(catalogue.groupCount(), 21);
        QCOMPARE(catalogue.commandCount(), 118);
        QCOMPARE(catalogue.commandCount(), int(std::size(kShipped)));
        for (int g = 0; g < 21; ++g)
            QCOMPARE(catalogue.group(g).name, QString::fromUtf8(kShippedGroups[g]));
        QCOMPARE(catalogue.tablesGroup(), 1);
        QCOMPARE(catalogue.group(1).count, 0);
        QCOMPARE(catalogue.group(11).count, 9); // Служебные without its commented-out commands
        for (int i = 0; i < catalogue.commandCount(); ++i) {
            const CommandRecord& c = catalogue.command(i);
            const ShippedCommand& e = kShipped[i];
            const QString where = QString::fromUtf8(e.name);
            QVERIFY2(c.group == e.group && c.name == where, qPrintable(where + " / " + c.name));
            QVERIFY2(c.code == e.code, qPrintable(where));
            QVERIFY2(c.exec == e.exec, qPrintable(where));
            QVERIFY2(c.pbexec == e.pbexec, qPrintable(where));
            QVERIFY2(c.proc == e.proc, qPrintable(where));
            QVERIFY2((c.confirm == 1) == kConfirmed.contains(where), qPrintable(where));
            // A Command.ini without its CONFIRM= lines asks for the same commands.
            CommandRecord older = c;
            older.confirm = -1;
            QVERIFY2(older.asksConfirmation() == kConfirmed.contains(where), qPrintable(where));
        }
    }
};

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
