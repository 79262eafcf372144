#include "base/msgbox.h"
#include "catalogue/startdefaults.h"
#include "catalogue/symboltables.h"
#include "shippedcodec.h"
#include "testsupport.h"

#include <QTemporaryDir>
#include <QtTest>

using ShippedTables = testsupport::ShippedCodec;

class TestSymbolTables : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void rowGrammar_data()
    {
        QTest::addColumn<int>("selector");
        QTest::addColumn<QString>("row");
        QTest::addColumn<int>("kind"); // RowResult::Kind
        QTest::addColumn<int>("errorPos");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("value"); // hex
        const int S = SymbolTables::Symbols;
        const int D = SymbolTables::Defaults;
        const int stored = SymbolTables::RowResult::Stored;
        const int error = SymbolTables::RowResult::Error;
        const int skipped = SymbolTables::RowResult::Skipped;
        QTest::newRow("decimal first")
            << S << "RegFR_10=10" << stored << 0 << QByteArray("RegFR_10") << QByteArray("0a");
        QTest::newRow("hex") << S << "RegFR_8.0=0x08" << stored << 0 << QByteArray("RegFR_8.0")
                             << QByteArray("08");
        QTest::newRow("010 is decimal")
            << S << "X=010" << stored << 0 << QByteArray("X") << QByteArray("0a");
        QTest::newRow("one character literal")
            << S << "X=5" << stored << 0 << QByteArray("X") << QByteArray("35");
        QTest::newRow("low byte of 300")
            << S << "X=300" << stored << 0 << QByteArray("X") << QByteArray("2c");
        QTest::newRow("octal 65535, too large as decimal")
            << S << "X=0177777" << stored << 0 << QByteArray("X") << QByteArray("ff");
        QTest::newRow("above 16 bits")
            << S << "X=65536" << error << 2 << QByteArray() << QByteArray();
        QTest::newRow("earlier symbol")
            << S << "Y=FRM_KKM" << stored << 0 << QByteArray("Y") << QByteArray("00");
        QTest::newRow("trailing blanks")
            << S << "DP_dp2=01   " << stored << 0 << QByteArray("DP_dp2") << QByteArray("01");
        QTest::newRow("value ends at blank")
            << S << "X=12 comment" << stored << 0 << QByteArray("X") << QByteArray("0c");
        QTest::newRow("comment") << S << "// FRM_KKM=00" << skipped << 0 << QByteArray()
                                 << QByteArray();
        QTest::newRow("empty") << S << "   " << skipped << 0 << QByteArray() << QByteArray();
        QTest::newRow("indented comment")
            << S << "  // note" << error << 0 << QByteArray() << QByteArray();
        QTest::newRow("no name") << S << "=5" << error << 0 << QByteArray() << QByteArray();
        QTest::newRow("no value") << S << "X=" << error << 2 << QByteArray() << QByteArray();
        QTest::newRow("blank before =")
            << S << "X =1" << stored << 0 << QByteArray("X ") << QByteArray("31");
        QTest::newRow("unknown name")
            << S << "X=NOPE" << error << 2 << QByteArray() << QByteArray();
        QTest::newRow("name too long") << S << QString(32, QLatin1Char('N')) + "=1" << error << 0
                                       << QByteArray() << QByteArray();
        QTest::newRow("typed string")
            << D << "*0com=COM2" << stored << 0 << QByteArray("com") << QByteArray("434f4d32");
        QTest::newRow("padded string")
            << D << "*8s=AB" << stored << 0 << QByteArray("s") << QByteArray("4142000000000000");
        QTest::newRow("cut string")
            << D << "*2s=ABCD" << stored << 0 << QByteArray("s") << QByteArray("4142");
        QTest::newRow("quoted string")
            << D << "*0s=\"a b\" rest" << stored << 0 << QByteArray("s") << QByteArray("612062");
        QTest::newRow("open quote")
            << D << "*0s=\"ab" << error << 4 << QByteArray() << QByteArray();
        QTest::newRow("string with dp")
            << D << "*4.1s=AB" << error << 4 << QByteArray() << QByteArray();
        QTest::newRow("typed number") << D << "#4timeout=10000" << stored << 0
                                      << QByteArray("timeout") << QByteArray("10270000");
        QTest::newRow("typed number dp")
            << D << "#2.2p=1.5" << stored << 0 << QByteArray("p") << QByteArray("9600");
        QTest::newRow("typed number size 1")
            << D << "#n=7" << stored << 0 << QByteArray("n") << QByteArray("07");
        QTest::newRow("typed not a number")
            << D << "#4n=abc" << error << 4 << QByteArray() << QByteArray();
        QTest::newRow("typed blank before =")
            << D << "#4n =1" << error << 3 << QByteArray() << QByteArray();
        QTest::newRow("typed no identifier")
            << D << "#4=1" << error << 2 << QByteArray() << QByteArray();
        QTest::newRow("typed size too large")
            << D << "*300s=1" << error << 4 << QByteArray() << QByteArray();
    }
    void rowGrammar()
    {
        QFETCH(int, selector);
        QFETCH(QString, row);
        QFETCH(int, kind);
        QFETCH(int, errorPos);
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, value);
        SymbolTables tables;
        tables.parseRow(SymbolTables::Symbols, QStringLiteral("FRM_KKM=00"));
        const auto sel = SymbolTables::Selector(selector);
        const SymbolTables::RowResult result = tables.parseRow(sel, row);
        QCOMPARE(int(result.kind), kind);
        const auto& table = sel == SymbolTables::Symbols ? tables.symbols() : tables.defaults();
        const size_t before = sel == SymbolTables::Symbols ? 1 : 0;
        if (kind != SymbolTables::RowResult::Stored) {
            QCOMPARE(table.size(), before);
            if (kind == SymbolTables::RowResult::Error)
                QCOMPARE(result.errorPos, errorPos);
            return;
        }
        QCOMPARE(table.size(), before + 1);
        QCOMPARE(table.back().name, name);
        QCOMPARE(table.back().value.toHex(), value);
    }

    void capacitiesAreEnforced()
    {
        SymbolTables tables;
        for (int i = 0; i < SymbolTables::MaxDefaults; ++i)
            QCOMPARE(tables.parseRow(SymbolTables::Defaults, QStringLiteral("d%1=1").arg(i)).kind,
                     SymbolTables::RowResult::Stored);
        QCOMPARE(tables.parseRow(SymbolTables::Defaults, QStringLiteral("extra=1")).kind,
                 SymbolTables::RowResult::Error);
        QCOMPARE(tables.defaults().size(), size_t(SymbolTables::MaxDefaults));
    }

    void shippedTablesLoad()
    {
        ShippedTables shipped;
        QVERIFY(shipped.load());
        const SymbolTables& t = shipped.tables;
        QCOMPARE(t.symbols().size(), size_t(102));
        QCOMPARE(t.defaults().size(), size_t(4));
        QCOMPARE(t.enumNames("BR_").size(), 7);
        QCOMPARE(t.enumNames("RegFR_").size(), 28); // SubRegFR_ is not a member
        QCOMPARE(t.enumValue("BR_", 6, 1), QByteArray("\x06", 1));
        QCOMPARE(t.enumValue("BR_", 3, 1), QByteArray("\x03", 1));
        QCOMPARE(t.enumValue("BR_", 7, 1), QByteArray());
        QCOMPARE(t.enumValue("", 0, 1), QByteArray());
        QCOMPARE(t.enumValue("BR_", 6, 3), QByteArray("\x06\0\0", 3));
        QCOMPARE(t.enumIndex("FRM_", QByteArray(1, '\0')), 0); // never the later FRM_WGTTW
        QCOMPARE(t.enumIndex("FRM_", QByteArray(1, '\x09')), -1);
        QCOMPARE(t.enumIndex("", QByteArray(1, '\0')), -1);
        QCOMPARE(t.enumIndex("RegFR_", QByteArray(1, '\x18')), 9);
        QCOMPARE(t.enumNames("BR_").value(6), QStringLiteral("115200"));
        QCOMPARE(t.enumNames("PRN_").value(3), QStringLiteral("Чек,контр"));
        QVERIFY(!t.viewOf("PRN_lnCNTCHK").isNull());
        QVERIFY(t.viewOf("nosuchident").isNull());
        QCOMPARE(t.enumNames(""), QStringList());
        QCOMPARE(t.findDefault("prlsa"), 2);
        QCOMPARE(t.findDefault("PRLSA"), -1);
    }

    // Every display name an item of a shipped command shows, and every member of the
    // families its enumerations choose from, has a text (an unquoted comma gives none).
    void shippedTextsAreNeverBlank()
    {
        ShippedTables shipped;
        QVERIFY(shipped.load());
        QStringList blank;
        for (int i = 0; i < shipped.catalogue.commandCount(); ++i) {
            shipped.catalogue.setCurrentCommand(i);
            if (!shipped.codec.parseCommand())
                continue;
            for (const ItemTable* items :
                 {&shipped.codec.commandItems(), &shipped.codec.replyItems()}) {
                for (int n = 0; n < items->count; ++n) {
                    const CmdItem& item = (*items)[n];
                    if (item.type != '0' && item.view.isEmpty())
                        blank << QString::fromUtf8(item.ident);
                    if (item.type == '@' && shipped.tables.enumNames(item.pref).contains(QString()))
                        blank << QString::fromUtf8(item.pref) + QLatin1Char('*');
                }
            }
        }
        blank.removeDuplicates();
        QVERIFY2(blank.isEmpty(), qPrintable(blank.join(QLatin1Char(' '))));
    }

    // The name table reads View.ini as INI: an unquoted comma makes a list, whose text is
    // empty, and quotes keep it.
    void viewTextsFollowTheIniRules()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("View.ini"));
        QVERIFY(testsupport::writeBytes(path, "list=a, b\r\nquoted=\"a, b\"\r\n"));
        QFile view(path);
        SymbolTables tables(nullptr, nullptr, &view);
        QVERIFY(tables.loadViewFile());
        QCOMPARE(tables.viewOf("list"), QString(""));
        QVERIFY(!tables.viewOf("list").isNull());
        QCOMPARE(tables.viewOf("quoted"), QStringLiteral("a, b"));
    }

    void startDefaultsFollowTheTable()
    {
        ShippedTables shipped;
        QVERIFY(shipped.load());
        StartDefaults start = readStartDefaults(shipped.tables);
        QVERIFY(start.portFound);
        QCOMPARE(start.portText, QByteArray("COM2"));
        QCOMPARE(start.password, 30u);
        QCOMPARE(start.passwordText, QByteArray("30"));
        QCOMPARE(start.passwordIndex, 2);
        QCOMPARE(start.timeout, 10000);

        shipped.tables.setDefaultValue(2, QByteArray::fromHex("39300000"));
        QCOMPARE(readStartDefaults(shipped.tables).passwordText, QByteArray("12345"));

        const StartDefaults empty = readStartDefaults(SymbolTables());
        QVERIFY(!empty.portFound);
        QCOMPARE(empty.passwordText, QByteArray("30"));
        QCOMPARE(empty.passwordIndex, -1);
        QCOMPARE(empty.timeout, 300);
    }

    void badRowsAreReportedAndTheRestLoaded()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Symbol.ini"));
        QVERIFY(testsupport::writeBytes(path, "\xEF\xBB\xBF"
                                              "A=1\r\nbad row\r\nB=2\r\n"));
        QFile file(path);
        SymbolTables tables(&file, nullptr, nullptr);
        testsupport::MessageRecorder recorder;
        QVERIFY(!tables.loadSymbolFile(SymbolTables::Symbols));
        QCOMPARE(tables.symbols().size(), size_t(2));
        QVERIFY(recorder.messages(QtDebugMsg).contains(QStringLiteral("Error 2 0")));
    }

    void missingFileShowsTheCriticalBox()
    {
        QStringList boxes;
        const MsgBoxHandler previous =
            setMsgBoxHandler([&boxes](MsgIcon, const QString& title, const QString& text) {
                boxes << title + QLatin1Char('|') + text;
            });
        QFile missing(QStringLiteral("/nonexistent/Default.ini"));
        SymbolTables tables(nullptr, &missing, nullptr);
        QVERIFY(!tables.loadSymbolFile(SymbolTables::Defaults));
        setMsgBoxHandler(previous);
        QCOMPARE(boxes, QStringList{QStringLiteral("Инициализация|Нет файла Default.ini")});
    }

    void listingsNameTheirTable()
    {
        ShippedTables shipped;
        QVERIFY(shipped.load());
        testsupport::MessageRecorder recorder;
        shipped.tables.dumpSymbols(); // the last load was Default.ini
        shipped.tables.dumpViews();
        const QStringList lines = recorder.messages(QtDebugMsg);
        QCOMPARE(lines.value(0), QStringLiteral("Default file-----------------------------"));
        QCOMPARE(lines.value(1), QStringLiteral("dfltsVol 4"));
        QCOMPARE(lines.value(2), QStringLiteral("0 \"com\" \"434f4d32\""));
        QVERIFY(lines.contains(QStringLiteral("View file-----------------------------")));
    }
};

QTEST_GUILESS_MAIN(TestSymbolTables)
#include "tst_symboltables.moc"
