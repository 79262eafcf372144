#include "catalogue/catalogue.h"
#include "catalogue/symboltables.h"
#include "codec/razbcmd.h"
#include "shippedcodec.h"
#include "testsupport.h"

#include <QtTest>

namespace {

// The shipped tables and codec, with helpers to select, encode and decode.
struct Codec : testsupport::ShippedCodec
{
    Codec() { load(); }
    int indexOfCode(int code) const
    {
        for (int i = 0; i < catalogue.commandCount(); ++i)
            if (catalogue.command(i).code == code && catalogue.command(i).proc <= 0)
                return i;
        return -1;
    }
    bool select(int code)
    {
        catalogue.setCurrentCommand(indexOfCode(code));
        return codec.parseCommand();
    }
    // Encodes the CMD= line with the given texts for items 1, 2, ... (empty: the default).
    QByteArray encode(const QByteArrayList& texts, int* errIndex = nullptr)
    {
        ItemTable& items = codec.commandItems();
        for (int i = 0; i < texts.size(); ++i)
            if (!texts[i].isNull())
                items[i + 1].dftval = texts[i];
        int failed = -1;
        const bool ok = codec.ceConvParmCmd(&failed);
        if (errIndex)
            *errIndex = ok ? -1 : failed;
        return ok ? codec.commandArray() : QByteArray();
    }
    QString shown(const char* ident) const
    {
        const ItemTable& items = codec.replyItems();
        for (int i = 0; i < items.count; ++i)
            if (items[i].ident == ident)
                return codec.replyText(items[i]);
        return QStringLiteral("<no item>");
    }
    void decode(const QByteArray& replyHex)
    {
        codec.splitReply(QByteArray::fromHex(replyHex));
        codec.ceConvParmRpl();
    }
};

} // namespace

class TestRazbCmd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyShippedCommandParses()
    {
        Codec c;
        int parsed = 0;
        for (int i = 0; i < c.catalogue.commandCount(); ++i) {
            if (c.catalogue.command(i).proc > 0)
                continue;
            c.catalogue.setCurrentCommand(i);
            QVERIFY2(c.codec.parseCommand(), qPrintable(c.catalogue.command(i).name));
            QCOMPARE(c.codec.commandItems()[0].ident, QByteArray("CMD"));
            QCOMPARE(c.codec.commandItems()[0].dftval.toInt(nullptr, 16),
                     c.catalogue.command(i).code);
            QVERIFY(c.codec.replyItems().count >= 2);
            ++parsed;
        }
        QCOMPARE(parsed, 114);
    }

    void workedExamples_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("isCmd");
        QTest::addColumn<int>("index");
        QTest::addColumn<char>("type");
        QTest::addColumn<int>("len");
        QTest::addColumn<int>("dp");
        QTest::addColumn<QByteArray>("ident");
        QTest::addColumn<bool>("dflt");
        QTest::addColumn<QByteArray>("dftval");
        QTest::addColumn<QByteArray>("value"); // hex of the first len bytes, "-" unchecked
        QTest::addColumn<QByteArray>("pref");
        QTest::newRow("command code")
            << QByteArray("$cmd=11") << true << 0 << '$' << 1 << -1 << QByteArray("CMD") << true
            << QByteArray("11") << QByteArray("-") << QByteArray();
        QTest::newRow("named default") << QByteArray("$cmd=11,#4prlop=prlsa") << true << 1 << '#'
                                       << 4 << -1 << QByteArray("prlop") << true << QByteArray("30")
                                       << QByteArray("1e000000") << QByteArray();
        QTest::newRow("price") << QByteArray("$cmd=80,#5.2price=100") << true << 1 << '#' << 5 << 2
                               << QByteArray("price") << true << QByteArray("100")
                               << QByteArray("1027000000") << QByteArray();
        QTest::newRow("string") << QByteArray("$cmd=80,#x=1,*40name") << true << 2 << '*' << 40
                                << -1 << QByteArray("name") << false << QByteArray()
                                << QByteArray("-") << QByteArray();
        QTest::newRow("enumeration")
            << QByteArray("$cmd=14,#x=1,@baud/BR_") << true << 2 << '@' << 1 << -1
            << QByteArray("baud") << false << QByteArray() << QByteArray("-") << QByteArray("BR_");
        QTest::newRow("timeout") << QByteArray("$cmd=14,#x=1,^tmt=100") << true << 2 << '^' << 1
                                 << -1 << QByteArray("tmt") << true << QByteArray("100")
                                 << QByteArray("64") << QByteArray();
        QTest::newRow("date") << QByteArray("$cmd=66,#x=1,/fdate") << true << 2 << '/' << 3 << -1
                              << QByteArray("fdate") << false << QByteArray() << QByteArray("-")
                              << QByteArray();
        QTest::newRow("reply decimals")
            << QByteArray("$cmd,#error,#1.1rezBatU") << false << 2 << '#' << 1 << 1
            << QByteArray("rezBatU") << false << QByteArray() << QByteArray("-") << QByteArray();
        QTest::newRow("without decimals")
            << QByteArray("$cmd,#error,#1rezBatU") << false << 2 << '#' << 1 << -1
            << QByteArray("rezBatU") << false << QByteArray() << QByteArray("-") << QByteArray();
        QTest::newRow("trailing blank")
            << QByteArray("$cmd=B4,#4prlsa,#2numsmn ") << true << 2 << '#' << 2 << -1
            << QByteArray("numsmn") << false << QByteArray() << QByteArray("-") << QByteArray();
        QTest::newRow("constant 5")
            << QByteArray("$cmd=01,5") << true << 1 << '0' << 1 << -1 << QByteArray() << true
            << QByteArray("5") << QByteArray("05") << QByteArray();
        QTest::newRow("constant hex")
            << QByteArray("$cmd=01,0x1F") << true << 1 << '0' << 1 << -1 << QByteArray() << true
            << QByteArray("0x1F") << QByteArray("1f") << QByteArray();
        QTest::newRow("constant octal")
            << QByteArray("$cmd=01,017") << true << 1 << '0' << 1 << -1 << QByteArray() << true
            << QByteArray("017") << QByteArray("0f") << QByteArray();
        QTest::newRow("odd hex default not taken")
            << QByteArray("$cmd=01,$x=1") << true << 1 << '$' << 1 << -1 << QByteArray("x") << false
            << QByteArray("1") << QByteArray("-") << QByteArray();
        QTest::newRow("flags") << QByteArray("$cmd,#error,?2flagFR") << false << 2 << '?' << 2 << -1
                               << QByteArray("flagFR") << false << QByteArray() << QByteArray("-")
                               << QByteArray();
        QTest::newRow("password second")
            << QByteArray("$cmd=27,#4prlsa") << true << 1 << '#' << 4 << -1 << QByteArray("prlsa")
            << true << QByteArray("30") << QByteArray("-") << QByteArray();
        QTest::newRow("password zero")
            << QByteArray("$cmd=0E,#4prl0") << true << 1 << '#' << 4 << -1 << QByteArray("prl0")
            << true << QByteArray("0") << QByteArray("-") << QByteArray();
        QTest::newRow("inspector typed")
            << QByteArray("$cmd=64,#4prlni") << true << 1 << '#' << 4 << -1 << QByteArray("prlni")
            << false << QByteArray() << QByteArray("-") << QByteArray();
        QTest::newRow("password third")
            << QByteArray("$cmd=27,#x=1,#4prlsa") << true << 2 << '#' << 4 << -1
            << QByteArray("prlsa") << false << QByteArray() << QByteArray("-") << QByteArray();
        QTest::newRow("password first")
            << QByteArray("#4prlsa") << true << 0 << '#' << 4 << -1 << QByteArray("CMD") << false
            << QByteArray() << QByteArray("-") << QByteArray();
        QTest::newRow("reply password")
            << QByteArray("$cmd,#4prlsa") << false << 1 << '#' << 4 << -1 << QByteArray("prlsa")
            << false << QByteArray() << QByteArray("-") << QByteArray();
    }
    void workedExamples()
    {
        QFETCH(QByteArray, line);
        QFETCH(bool, isCmd);
        QFETCH(int, index);
        QFETCH(char, type);
        QFETCH(int, len);
        QFETCH(int, dp);
        QFETCH(QByteArray, ident);
        QFETCH(bool, dflt);
        QFETCH(QByteArray, dftval);
        QFETCH(QByteArray, value);
        QFETCH(QByteArray, pref);
        Codec c;
        QVERIFY(c.codec.parseLine(line, isCmd));
        const CmdItem& item = (isCmd ? c.codec.commandItems() : c.codec.replyItems())[index];
        QCOMPARE(item.type, type);
        QCOMPARE(item.len, len);
        QCOMPARE(item.dp, dp);
        QCOMPARE(item.ident, ident);
        QCOMPARE(item.dflt, dflt);
        QCOMPARE(item.dftval, dftval);
        QCOMPARE(item.pref, pref);
        if (value != "-")
            QCOMPARE(QByteArray(reinterpret_cast<const char*>(item.value.data()), len).toHex(),
                     value);
        QCOMPARE(item.ned, index == 0 || type == '0');
    }

    void lineSyntax_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("ok");
        QTest::newRow("point without digits") << QByteArray("$cmd=01,#2.x") << false;
        QTest::newRow("point without size") << QByteArray("$cmd=01,#.2x") << false;
        QTest::newRow("variable number") << QByteArray("$cmd,#0min") << true;
        QTest::newRow("string with default") << QByteArray("$cmd=01,*40name=abc") << false;
        QTest::newRow("string with empty default") << QByteArray("$cmd=01,*40name=") << false;
        QTest::newRow("date with size") << QByteArray("$cmd=01,/3date") << false;
        QTest::newRow("date with default") << QByteArray("$cmd=01,/d=01/01/01") << false;
        QTest::newRow("blank in prefix") << QByteArray("$cmd=01,@regimFR/RegFR_x y") << false;
        QTest::newRow("enum with decimals") << QByteArray("$cmd=01,@1.1x/BR_") << false;
        QTest::newRow("hex with decimals") << QByteArray("$cmd=01,$2.1x") << false;
        QTest::newRow("unknown type") << QByteArray("$cmd=01,%x") << false;
        QTest::newRow("empty item") << QByteArray("$cmd=01,,#x") << false;
        QTest::newRow("unknown default name") << QByteArray("$cmd=01,#x=nosuch") << false;
        QTest::newRow("default too precise") << QByteArray("$cmd=01,#2.1x=1.25") << false;
        QTest::newRow("symbol default") << QByteArray("$cmd=01,#x=BR_9600") << true;
        QTest::newRow("timeout not a number") << QByteArray("$cmd=01,^t=fast") << false;
        QTest::newRow("size 256") << QByteArray("$cmd=01,$256x") << true;
        QTest::newRow("size 257") << QByteArray("$cmd=01,$257x") << false;
        QTest::newRow("identifier of 31") << "$cmd=01,#" + QByteArray(31, 'a') << true;
        QTest::newRow("identifier of 32") << "$cmd=01,#" + QByteArray(32, 'a') << false;
        QTest::newRow("512 items") << "$cmd=01" + QByteArray(",5").repeated(511) << true;
        QTest::newRow("513 items") << "$cmd=01" + QByteArray(",5").repeated(512) << false;
        QTest::newRow("digit identifier") << QByteArray("$cmd=01,#41x") << true;
        QTest::newRow("junk after identifier") << QByteArray("$cmd=01,#x!") << false;
    }
    void lineSyntax()
    {
        QFETCH(QByteArray, line);
        QFETCH(bool, ok);
        Codec c;
        QVERIFY(c.codec.parseLine("$cmd=99", true));
        QCOMPARE(c.codec.parseLine(line, true), ok);
        QCOMPARE(c.codec.commandItems().count, ok ? int(line.count(',')) + 1 : 1);
    }

    void variableReplyItemsShareTheirOffset()
    {
        Codec c;
        QVERIFY(c.codec.parseLine("$cmd,#error,#0min,#0max", false));
        QCOMPARE(c.codec.replyItems()[2].rel, 2);
        QCOMPARE(c.codec.replyItems()[3].rel, 2);
        c.decode("2e00e803000000000000ff");
        QCOMPARE(c.shown("min"), QStringLiteral("1000"));
        QCOMPARE(c.shown("max"), QStringLiteral("1000"));
    }

    void encoding_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArrayList>("texts");
        QTest::addColumn<QByteArray>("array"); // hex; empty when an item fails
        QTest::addColumn<int>("errIndex");
        const QByteArray n; // null: keep the default
        QTest::newRow("defaults of 14h")
            << QByteArray("$cmd=14,#4prlsa,#port=0,@baud/BR_,^tmt=100") << QByteArrayList{}
            << QByteArray("141e000000000064") << -1;
        QTest::newRow("#2 1234") << QByteArray("$cmd=01,#2x") << QByteArrayList{"1234"}
                                 << QByteArray("01d204") << -1;
        QTest::newRow("#1.1 12.34")
            << QByteArray("$cmd=01,#1.1x") << QByteArrayList{"12.34"} << QByteArray() << 1;
        QTest::newRow("octal number")
            << QByteArray("$cmd=01,#x") << QByteArrayList{"010"} << QByteArray("0108") << -1;
        QTest::newRow("empty number")
            << QByteArray("$cmd=01,#x") << QByteArrayList{""} << QByteArray() << 1;
        QTest::newRow("cp1251 string")
            << QByteArray("$cmd=01,*6s") << QByteArrayList{"\xD2\xC5\xD1\xD2"}
            << QByteArray("01d2c5d1d20000") << -1;
        QTest::newRow("string cut") << QByteArray("$cmd=01,*2s,#x=7") << QByteArrayList{"abcd", n}
                                    << QByteArray("01616207") << -1;
        QTest::newRow("hex with blanks")
            << QByteArray("$cmd=01,$2x") << QByteArrayList{"0A 1b"} << QByteArray("010a1b") << -1;
        QTest::newRow("hex longer than size")
            << QByteArray("$cmd=01,$2x") << QByteArrayList{"0A1B2C"} << QByteArray("010a1b") << -1;
        QTest::newRow("hex too short")
            << QByteArray("$cmd=01,$2x") << QByteArrayList{"0A"} << QByteArray() << 1;
        QTest::newRow("hex not hex")
            << QByteArray("$cmd=01,$2x") << QByteArrayList{"0G1B"} << QByteArray() << 1;
        QTest::newRow("hex odd") << QByteArray("$cmd=01,$0x") << QByteArrayList{"0A1"}
                                 << QByteArray() << 1;
        QTest::newRow("hex variable too long")
            << QByteArray("$cmd=01,$0x") << QByteArrayList{QByteArray("00").repeated(257)}
            << QByteArray() << 1;
        QTest::newRow("date") << QByteArray("$cmd=01,/d,:t")
                              << QByteArrayList{"01/13/25", "23:59:60"}
                              << QByteArray("01010d19173b3c") << -1;
        QTest::newRow("bad time") << QByteArray("$cmd=01,/d,:t")
                                  << QByteArrayList{"01/13/25", "23-59-60"} << QByteArray() << 2;
        QTest::newRow("timeout first above 15000")
            << QByteArray("$cmd=01,^t") << QByteArrayList{"15001"} << QByteArray("01fa") << -1;
        QTest::newRow("timeout 151")
            << QByteArray("$cmd=01,^t") << QByteArrayList{"151"} << QByteArray("0197") << -1;
        QTest::newRow("first failure stops")
            << QByteArray("$cmd=01,#x,#y") << QByteArrayList{"a", "b"} << QByteArray() << 1;
        QTest::newRow("missing code")
            << QByteArray("$cmd,#x=1") << QByteArrayList{} << QByteArray() << 0;
    }
    void encoding()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArrayList, texts);
        QFETCH(QByteArray, array);
        QFETCH(int, errIndex);
        Codec c;
        QVERIFY(c.codec.parseLine(line, true));
        int failed = -2;
        QCOMPARE(c.encode(texts, &failed).toHex(), array);
        QCOMPARE(failed, errIndex);
    }

    void saleWithItsDefaultsIsSixtyBytes()
    {
        Codec c;
        QVERIFY(c.select(0x80));
        const QByteArray array =
            c.encode({n(), n(), n(), n(), n(), n(), n(), n(), "\xD2\xC5\xD1\xD2"});
        QCOMPARE(array.size(), 60);
        QCOMPARE(array.left(20).toHex(), QByteArray("801e000000e8030000001027000000"
                                                    "0000000000"));
        QCOMPARE(array.mid(20, 4), QByteArray("\xD2\xC5\xD1\xD2"));
        QCOMPARE(array.mid(24), QByteArray(36, '\0'));
    }

    void variableHexKeepsItsFirstSize()
    {
        Codec c;
        QVERIFY(c.codec.parseLine("$cmd=C5,$0graph", true));
        QCOMPARE(c.encode({"0102AA"}).toHex(), QByteArray("c50102aa"));
        QCOMPARE(c.encode({"AABBCCDD"}).toHex(), QByteArray("c5aabbcc"));
        QVERIFY(c.codec.parseLine("$cmd=C5,$0graph", true));
        QCOMPARE(c.encode({"AABBCCDD"}).toHex(), QByteArray("c5aabbccdd"));
    }

    void enumerationChoices()
    {
        Codec c;
        QVERIFY(c.codec.parseLine("$cmd=14,@baud/BR_,@2none/NOPE_", true));
        c.codec.commandItems()[2].value.fill(0x77);
        c.codec.setEnumChoice(1, 3);
        c.codec.setEnumChoice(2, 0); // a family without members sends zero bytes
        int failed = -1;
        QVERIFY(c.codec.ceConvParmCmd(&failed));
        QCOMPARE(c.codec.commandArray().toHex(), QByteArray("14030000"));
    }

    void decoding_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QByteArray>("ident");
        QTest::addColumn<QString>("shown");
        const QByteArray status("1000"
                                "01"
                                "8002"
                                "18"
                                "00"
                                "05"
                                "1f"
                                "2a"
                                "00"
                                "00"
                                "00"
                                "000000");
        QTest::newRow("battery") << 0x10 << status << QByteArray("rezBatU") << "3.1";
        QTest::newRow("flags") << 0x10 << status << QByteArray("flagFR") << "80 02";
        QTest::newRow("mode") << 0x10 << status << QByteArray("regimFR") << "Открытый чек. Покупка";
        QTest::newRow("operator") << 0x10 << status << QByteArray("opr") << "1";
        QTest::newRow("3-byte hex") << 0x10 << status << QByteArray("rezerv") << "00 00 00";
        QTest::newRow("baud") << 0x15 << QByteArray("150006c8") << QByteArray("baud") << "115200";
        QTest::newRow("timeout") << 0x15 << QByteArray("150006c8") << QByteArray("tmt") << "7650";
        QTest::newRow("unknown enum value")
            << 0x15 << QByteArray("150009c8") << QByteArray("baud") << "";
        QTest::newRow("date") << 0x63 << QByteArray("630001001f0c18") << QByteArray("date")
                              << "31/12/24";
        QTest::newRow("enum of 00h")
            << 0x63 << QByteArray("630001001f0c18") << QByteArray("lstrec") << "Фискализация";
        QTest::newRow("number all FF")
            << 0x0F << QByteArray("0f00ffffffffffffff01") << QByteArray("zavNomL") << "";
        QTest::newRow("string to zero")
            << 0xFC << QByteArray("fc00000001000100c2c5cb00ff") << QByteArray("frname") << "ВЕЛ";
        QTest::newRow("string without zero")
            << 0xB1 << "b100" + QByteArray("41").repeated(18) << QByteArray("verEKLZ")
            << QString(18, QLatin1Char('A'));
        QTest::newRow("short reply empties")
            << 0x10 << QByteArray("1000018002") << QByteArray("rezBatU") << "";
        QTest::newRow("partly beyond")
            << 0x10 << QByteArray("10000180") << QByteArray("flagFR") << "";
        QTest::newRow("variable past the end")
            << 0xFC << QByteArray("fc00") << QByteArray("frname") << "";
    }
    void decoding()
    {
        QFETCH(int, code);
        QFETCH(QByteArray, reply);
        QFETCH(QByteArray, ident);
        QFETCH(QString, shown);
        Codec c;
        QVERIFY(c.select(code));
        c.decode(reply);
        QCOMPARE(c.shown(ident.constData()), shown);
    }

    void variableReplyKeepsItsSize()
    {
        Codec c;
        QVERIFY(c.select(0xFC));
        c.decode("fc000000010001004142434400");
        const CmdItem& name = c.codec.replyItems()[8];
        QCOMPARE(name.len, 5);
        QCOMPARE(c.shown("frname"), QStringLiteral("ABCD"));
        c.decode("fc00000001000100414243444546474849");
        QCOMPARE(name.len, 5);
        QCOMPARE(c.shown("frname"), QStringLiteral("ABCDE"));
        QVERIFY(c.select(0xFC));
        QCOMPARE(c.codec.replyItems()[8].len, 0);
    }

    void variableItemTakesAtMostItsValueField()
    {
        Codec c;
        QVERIFY(c.codec.parseLine("$cmd,#error,$0val,#x", false));
        QByteArray reply(300, '\x11');
        c.codec.splitReply(reply);
        c.codec.ceConvParmRpl();
        QCOMPARE(c.codec.replyItems()[2].len, int(CmdItem::ValueSize));
        QCOMPARE(c.codec.replyItems()[2].dftval.size(), 3 * CmdItem::ValueSize - 1);
        QCOMPARE(c.shown("x"), QStringLiteral("17"));
    }

    void tableEntryGetsItsProcedure()
    {
        Codec c;
        c.catalogue.setTableProcBase(40);
        CommandRecord table;
        table.group = c.catalogue.tablesGroup();
        table.name = QStringLiteral("Таблица 3. Test");
        table.filePos = -3;
        const int index = c.catalogue.appendCommand(table);
        QVERIFY(c.select(0x11));
        const int before = c.codec.commandItems().count;
        c.catalogue.setCurrentCommand(index);
        QVERIFY(c.codec.parseCommand());
        QCOMPARE(c.catalogue.command(index).proc, 43);
        QCOMPARE(c.codec.commandItems().count, before);
    }

    void unreadableCommandFileFails()
    {
        Codec c;
        c.catalogue.setCurrentCommand(0);
        QFile missing(QStringLiteral("/nonexistent/Command.ini"));
        c.catalogue.setCommandFile(&missing);
        QVERIFY(!c.codec.parseCommand());
    }

    void dumpListsEveryField()
    {
        Codec c;
        QVERIFY(c.codec.parseLine("$cmd=80,#5.2price=100", true));
        testsupport::MessageRecorder recorder;
        c.codec.dumpItems(true);
        const QStringList lines = recorder.messages(QtDebugMsg);
        QCOMPARE(lines.value(0), QStringLiteral("Command line 2"));
        QCOMPARE(lines.value(1), QStringLiteral("-----------------------------"));
        QCOMPARE(lines.value(4), QStringLiteral("  param 1"));
        QCOMPARE(lines.value(5),
                 QStringLiteral("    type=# dflt=true ned=false rel=1 len=5 dp=2 ident=price pref= "
                                "view=\"Цена\" value=\"1027000000000000\" dftval=\"100\""));
    }

private:
    static QByteArray n() { return QByteArray(); }
};

QTEST_GUILESS_MAIN(TestRazbCmd)
#include "tst_razbcmd.moc"
