#include "catalogue/descriptionfiles.h"
#include "testsupport.h"

#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

using testsupport::readBytes;
using testsupport::writeBytes;

namespace {

const QByteArray kBom("\xEF\xBB\xBF");

QByteArray shipped(DescriptionFiles::Name name)
{
    return readBytes(DescriptionFiles::embeddedPath(name));
}

// The lines of a shipped file, without the BOM and the CR LF ends.
QStringList shippedLines(DescriptionFiles::Name name)
{
    QByteArray bytes = shipped(name).mid(3);
    if (bytes.endsWith("\r\n"))
        bytes.chop(2);
    return QString::fromUtf8(bytes).split(QStringLiteral("\r\n"));
}

// The rows of a Symbol.ini or Default.ini: lines that are neither comments nor blank.
QStringList rowsOf(DescriptionFiles::Name name)
{
    QStringList rows;
    for (const QString& line : shippedLines(name))
        if (!line.startsWith(QStringLiteral("//")) && !line.trimmed().isEmpty())
            rows << line;
    return rows;
}

// A directory prepared once, with Command.ini then edited by the user.
struct EditedDirectory
{
    explicit EditedDirectory(const QByteArray& edit)
    {
        files.prepareDescriptionFiles(dir.path());
        writeBytes(command, edit);
    }
    QString path(const char* name) const { return dir.filePath(QLatin1String(name)); }

    QTemporaryDir dir;
    DescriptionFiles files;
    const QString command = dir.filePath(QStringLiteral("Command.ini"));
};

} // namespace

class TestDescriptionFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void emptyDirectoryGetsAllSixAndEightFileObjects()
    {
        QTemporaryDir dir;
        DescriptionFiles files;
        files.prepareDescriptionFiles(dir.path());
        QCOMPARE(files.restored().size(), 6);
        QVERIFY(files.backups().isEmpty());
        for (int n = 0; n < DescriptionFiles::EmbeddedCount; ++n)
            QCOMPARE(readBytes(dir.filePath(DescriptionFiles::fileName(DescriptionFiles::Name(n)))),
                     shipped(DescriptionFiles::Name(n)));
        for (int n = 0; n < DescriptionFiles::NameCount; ++n)
            QCOMPARE(files.file(DescriptionFiles::Name(n))->fileName(),
                     dir.filePath(DescriptionFiles::fileName(DescriptionFiles::Name(n))));
        QVERIFY(!files.file(DescriptionFiles::DumpFp)->exists());
    }

    void allPresentNothingIsTouched()
    {
        EditedDirectory edited("edited");
        edited.files.prepareDescriptionFiles(edited.dir.path());
        QVERIFY(edited.files.restored().isEmpty());
        QCOMPARE(readBytes(edited.command), QByteArray("edited"));
    }

    void oneMissingRestoresAllAndKeepsEditsAside()
    {
        EditedDirectory edited("first edit");
        const QString& command = edited.command;
        QVERIFY(QFile::remove(edited.path("Symbol.ini")));
        edited.files.prepareDescriptionFiles(edited.dir.path());
        QCOMPARE(edited.files.restored().size(), 6);
        QCOMPARE(readBytes(command), shipped(DescriptionFiles::Command));
        QCOMPARE(edited.files.backups(), QStringList{command + QStringLiteral(".bak")});
        QCOMPARE(readBytes(command + QStringLiteral(".bak")), QByteArray("first edit"));

        // A second restore never overwrites the first backup.
        QVERIFY(writeBytes(command, "second edit"));
        QVERIFY(QFile::remove(edited.path("ErrorDrv.txt")));
        edited.files.prepareDescriptionFiles(edited.dir.path());
        QCOMPARE(readBytes(command + QStringLiteral(".bak")), QByteArray("first edit"));
        QCOMPARE(readBytes(command + QStringLiteral(".bak.1")), QByteArray("second edit"));
    }

    void shippedFilesAreUtf8WithBomAndCrLf_data()
    {
        QTest::addColumn<int>("name");
        for (int n = 0; n < DescriptionFiles::EmbeddedCount; ++n)
            QTest::newRow(qPrintable(DescriptionFiles::fileName(DescriptionFiles::Name(n)))) << n;
    }
    void shippedFilesAreUtf8WithBomAndCrLf()
    {
        QFETCH(int, name);
        const QByteArray bytes = shipped(DescriptionFiles::Name(name));
        QVERIFY(bytes.startsWith(kBom));
        QCOMPARE(bytes.count("\n"), bytes.count("\r\n"));
        QCOMPARE(QString::fromUtf8(bytes.mid(3)).toUtf8(), bytes.mid(3)); // valid UTF-8
    }

    void errorFileHasOneLinePerCode()
    {
        const QStringList lines = shippedLines(DescriptionFiles::Error);
        QCOMPARE(lines.size(), 256);
        QCOMPARE(lines.last(), QStringLiteral("\x1a"));
        int numberOnly = 0;
        for (int code = 1; code <= 255; ++code) {
            const QString& line = lines[code - 1];
            QVERIFY2(line == QString::number(code) || line.startsWith(QString::number(code) + ' '),
                     qPrintable(line));
            numberOnly += line == QString::number(code);
        }
        QCOMPARE(numberOnly, 84);
        const QList<QPair<int, QString>> quoted = {
            {1, "Неисправен накопитель ФП 1, ФП 2 или часы"},
            {2, "Отсутствует ФП 1"},
            {51, "Некорректные параметры в команде"},
            {55, "Команда не поддерживается в данной реализации ФР"},
            {79, "Неверный пароль"},
            {93, "Таблица не определена"},
            {122, "Поле не редактируется"},
            {165, "Авария КС в составе ЭКЛЗ"},
            {255, "Нет связи с ФР"},
        };
        for (const auto& [code, text] : quoted)
            QCOMPARE(lines[code - 1], QStringLiteral("%1 %2").arg(code).arg(text));
        for (int code : {12, 13, 14, 15, 16, 39, 40, 41, 42})
            QCOMPARE(lines[code - 1], QString::number(code));
    }

    void driverErrorFile()
    {
        const QStringList lines = shippedLines(DescriptionFiles::ErrorDrv);
        QCOMPARE(lines.size(), 24);
        QCOMPARE(lines[0], QStringLiteral("1 таймаут при приеме байта"));
        QCOMPARE(lines[15], QStringLiteral("16 нет связи(порт не открыт)"));
        QCOMPARE(lines[21],
                 QStringLiteral("22 нет ответа от ФР, превышено число повторов команды"));
        QCOMPARE(lines[22], QStringLiteral("23 потеряна связь с портом"));
        QCOMPARE(lines[23], QStringLiteral("24 ФР не подтвердил приём команды"));
    }

    void symbolAndDefaultRows()
    {
        const QStringList rows = rowsOf(DescriptionFiles::Symbol);
        QCOMPARE(rows.size(), 102);
        for (const char* row :
             {"FRM_WGTTW=00", "RegFR_8.1=0x18", "RegFR_10=10", "BR_115200=06", "LANG_1=01"})
            QVERIFY2(rows.contains(QString::fromLatin1(row)), row);
        const QStringList defaults = rowsOf(DescriptionFiles::Default);
        QCOMPARE(defaults.size(), 4);
        QCOMPARE(defaults[0], QStringLiteral("*0com=COM2"));
        QCOMPARE(defaults[1], QStringLiteral("#4baudrate=4800"));
        QVERIFY(
            QRegularExpression(QStringLiteral("^#4prlsa=\\d\\d$")).match(defaults[2]).hasMatch());
        QCOMPARE(defaults[3], QStringLiteral("#4timeout=10000"));
    }

    // Every identifier of the command file and every symbol has a display name.
    void viewFileNamesEverything()
    {
        QSet<QString> keys;
        for (const QString& line : shippedLines(DescriptionFiles::View)) {
            const int eq = int(line.indexOf(QLatin1Char('=')));
            if (eq > 0)
                keys.insert(line.left(eq));
        }
        const QRegularExpression item(
            QStringLiteral("^[#$?*@^:/]\\d*(?:\\.\\d+)?([A-Za-z][A-Za-z0-9_]*)"));
        for (QString line : shippedLines(DescriptionFiles::Command)) {
            if (line.startsWith(QStringLiteral("//")))
                line = line.mid(2);
            if (!line.startsWith(QStringLiteral("CMD=")) &&
                !line.startsWith(QStringLiteral("RPL=")))
                continue;
            const QStringList items = line.mid(4).trimmed().split(QLatin1Char(','));
            for (int i = 1; i < items.size(); ++i) {
                const QString ident = item.match(items[i]).captured(1);
                QVERIFY2(!ident.isEmpty() && keys.contains(ident), qPrintable(items[i]));
            }
        }
        for (const QString& line : shippedLines(DescriptionFiles::Symbol)) {
            const int eq = int(line.indexOf(QLatin1Char('=')));
            if (eq > 0 && !line.startsWith(QStringLiteral("//")))
                QVERIFY2(keys.contains(line.left(eq)), qPrintable(line));
        }
        for (const char* key : {"CMD", "//prl", "INN", "inn"})
            QVERIFY2(keys.contains(QString::fromLatin1(key)), key);
    }

    // Each symbol family is offered by the item named for it.
    void symbolFamiliesAndTheirItems_data()
    {
        QTest::addColumn<QString>("item");
        for (const char* item :
             {"@frmode/FRM_", "@frsubmode/FRSM_", "@unit/UN_",       "@rgmkup/KUP_",
              "@prnflg/PRN_", "@grdflg/GRD_",     "@otrez/OTREZ_",   "@dirrej/REJ_",
              "@etxt/ET_",    "@baud/BR_",        "@dp/DP_",         "@typfld/FLD_",
              "@typreq/REQ_", "@lstrec/LST_",     "@typrep/REP_",    "@typdoc/DOC_",
              "@regkup/REG_", "@typout/OUT_",     "@regimFR/RegFR_", "@subregimFR/SubRegFR_",
              "@frlang/LANG_"})
            QTest::newRow(item) << QString::fromLatin1(item);
    }
    void symbolFamiliesAndTheirItems()
    {
        QFETCH(QString, item);
        const QString text = QString::fromUtf8(shipped(DescriptionFiles::Command));
        QVERIFY(QRegularExpression(QRegularExpression::escape(item) + QStringLiteral("(,|\\r)"))
                    .match(text)
                    .hasMatch());
        const QString prefix = item.section(QLatin1Char('/'), 1);
        for (const QString& line : text.split(QStringLiteral("\r\n")))
            if (line.contains(QLatin1Char('/') + prefix))
                QVERIFY2(line.contains(item), qPrintable(line)); // no other item uses the family
    }

    void linesQuotedForTheLanguageAreShippedAsQuoted_data()
    {
        QTest::addColumn<QString>("line");
        for (const char* line :
             {"CMD=$cmd=11,#4prlop=prlsa",
              "RPL=$cmd,#error,#opr,*2verPOFR,#2sborPOFR,/"
              "dataPOFR,#nomerZal,#2nomTekDok,?2flagFR,@regimFR/RegFR_,@subregimFR/"
              "SubRegFR_,#portFR,*2verPOFP,#2sborPOFP,/dataPOFP,/"
              "date,:time,?flagFP,#4zavNom,#2lastZ,#2freeFP,#fisc,#freeFisc,#6INN",
              "CMD=$cmd=80,#4prlop,#5.3vol=1,#5.2price=100,#otd=0,#nlg1=0,#nlg2=0,#nlg3=0,#nlg4=0,*"
              "40name",
              "CMD=$cmd=14,#4prlsa,#port=0,@baud/BR_,^tmt=100", "CMD=$cmd=B4,#4prlsa,#2numsmn ",
              "CMD=$cmd=13,#4prlop=prlsa", "CMD=$cmd=16", "CMD=$cmd=FC", "CMD=$cmd=B0,#4prlasa",
              "RPL=$cmd,#opr"})
            QTest::newRow(line) << QString::fromUtf8(line);
    }
    void linesQuotedForTheLanguageAreShippedAsQuoted()
    {
        QFETCH(QString, line);
        QVERIFY(shippedLines(DescriptionFiles::Command).contains(line));
    }
};

QTEST_GUILESS_MAIN(TestDescriptionFiles)
#include "tst_descriptionfiles.moc"
