#include "base/valueconversion.h"

#include <QtTest>

#include <array>

namespace {

QByteArray bytesOf(const std::array<quint8, 16>& buffer, int size)
{
    return QByteArray(reinterpret_cast<const char*>(buffer.data()), size);
}

} // namespace

class TestValueConversion : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void numbToWritesLittleEndian_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("dp");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QByteArray>("bytes"); // hex
        QTest::newRow("price 100 dp2")
            << QByteArray("100") << 5 << 2 << true << QByteArray("1027000000");
        QTest::newRow("1.5 dp3") << QByteArray("1.5") << 2 << 3 << true << QByteArray("dc05");
        QTest::newRow("too many decimals")
            << QByteArray("1.234") << 5 << 2 << false << QByteArray();
        QTest::newRow("hex without dp")
            << QByteArray("0x10") << 1 << -1 << true << QByteArray("10");
        QTest::newRow("octal without dp")
            << QByteArray("010") << 1 << -1 << true << QByteArray("08");
        QTest::newRow("decimal with dp is never octal")
            << QByteArray("010") << 1 << 0 << true << QByteArray("0a");
        QTest::newRow("high bytes dropped")
            << QByteArray("300") << 1 << -1 << true << QByteArray("2c");
        QTest::newRow("1234 in 2") << QByteArray("1234") << 2 << -1 << true << QByteArray("d204");
        QTest::newRow("12.3 dp1") << QByteArray("12.3") << 1 << 1 << true << QByteArray("7b");
        QTest::newRow("12 dp1") << QByteArray("12") << 1 << 1 << true << QByteArray("78");
        QTest::newRow("12.34 dp1") << QByteArray("12.34") << 1 << 1 << false << QByteArray();
        QTest::newRow(".05 dp2") << QByteArray(".05") << 1 << 2 << true << QByteArray("05");
        QTest::newRow("empty") << QByteArray() << 1 << -1 << false << QByteArray();
        QTest::newRow("point only") << QByteArray(".") << 1 << 2 << false << QByteArray();
        QTest::newRow("minus") << QByteArray("-1") << 1 << -1 << false << QByteArray();
        QTest::newRow("blank inside") << QByteArray("1 2") << 1 << -1 << false << QByteArray();
        QTest::newRow("two points") << QByteArray("1.2.3") << 4 << 3 << false << QByteArray();
        QTest::newRow("overflow of 64 bits")
            << QByteArray("18446744073709551616") << 8 << -1 << false << QByteArray();
        QTest::newRow("max 64 bits") << QByteArray("18446744073709551615") << 8 << -1 << true
                                     << QByteArray("ffffffffffffffff");
        QTest::newRow("beyond 8 bytes is zero")
            << QByteArray("1") << 10 << -1 << true << QByteArray("01000000000000000000");
    }
    void numbToWritesLittleEndian()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, size);
        QFETCH(int, dp);
        QFETCH(bool, ok);
        QFETCH(QByteArray, bytes);
        std::array<quint8, 16> buffer;
        buffer.fill(0xAA);
        QCOMPARE(numbTo(text, size, dp, buffer.data()), ok);
        if (ok)
            QCOMPARE(bytesOf(buffer, size).toHex(), bytes);
        QCOMPARE(buffer[15], quint8(0xAA)); // nothing written past the size
    }

    void numbFromParamShowsDecimal_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // hex
        QTest::addColumn<int>("dp");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("1.23") << QByteArray("7b") << 2 << QByteArray("1.23");
        QTest::newRow(".05") << QByteArray("05") << 2 << QByteArray(".05");
        QTest::newRow(".0") << QByteArray("00") << 1 << QByteArray(".0");
        QTest::newRow(".12") << QByteArray("0c") << 2 << QByteArray(".12");
        QTest::newRow("44") << QByteArray("2c") << -1 << QByteArray("44");
        QTest::newRow("300") << QByteArray("2c01") << -1 << QByteArray("300");
        QTest::newRow("3.1 battery") << QByteArray("1f") << 1 << QByteArray("3.1");
        QTest::newRow("all FF in 2 is empty") << QByteArray("ffff") << -1 << QByteArray();
        QTest::newRow("all FF in 8 is empty")
            << QByteArray("ffffffffffffffff") << 2 << QByteArray();
        QTest::newRow("FEFFFFFF") << QByteArray("fffffffe") << -1 << QByteArray("4278190079");
        QTest::newRow("all FF in 9 is a number")
            << QByteArray("ffffffffffffffffff") << -1 << QByteArray("18446744073709551615");
        QTest::newRow("only 8 of 10 bytes count")
            << QByteArray("01000000000000000099") << -1 << QByteArray("1");
    }
    void numbFromParamShowsDecimal()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, dp);
        QFETCH(QByteArray, text);
        QByteArray raw = QByteArray::fromHex(bytes);
        const int size = int(raw.size());
        raw = raw.leftJustified(16, '\0');
        QCOMPARE(numbFromParam(size, dp, reinterpret_cast<const quint8*>(raw.constData())), text);
    }

    // Every decoded text reads back to the same bytes, whatever the size and decimals.
    void numbersRoundTrip_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("dp");
        for (int dp : {-1, 0, 2, 5}) {
            const QByteArray tag = "dp" + QByteArray::number(dp);
            QTest::newRow(tag + " zero") << QByteArray("00") << dp;
            QTest::newRow(tag + " one byte") << QByteArray("7f") << dp;
            QTest::newRow(tag + " four bytes") << QByteArray("78563412") << dp;
            QTest::newRow(tag + " almost FF") << QByteArray("fffffffe") << dp;
            QTest::newRow(tag + " eight bytes") << QByteArray("0123456789abcdef") << dp;
        }
    }
    void numbersRoundTrip()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, dp);
        const QByteArray raw = QByteArray::fromHex(bytes).leftJustified(8, '\0');
        const int size = int(QByteArray::fromHex(bytes).size());
        const QByteArray text =
            numbFromParam(size, dp, reinterpret_cast<const quint8*>(raw.constData()));
        std::array<quint8, 16> back{};
        QVERIFY2(numbTo(text, size, dp, back.data()), text.constData());
        QCOMPARE(bytesOf(back, size).toHex(), bytes);
    }

    void timeoutBothWays_data()
    {
        QTest::addColumn<QByteArray>("ms");
        QTest::addColumn<int>("byte");
        QTest::addColumn<QByteArray>("back");
        QTest::newRow("0") << QByteArray("0") << 0 << QByteArray("0");
        QTest::newRow("100") << QByteArray("100") << 0x64 << QByteArray("100");
        QTest::newRow("150") << QByteArray("150") << 150 << QByteArray("150");
        QTest::newRow("151") << QByteArray("151") << 151 << QByteArray("300");
        QTest::newRow("449") << QByteArray("449") << 151 << QByteArray("300");
        QTest::newRow("450") << QByteArray("450") << 152 << QByteArray("450");
        QTest::newRow("7650") << QByteArray("7650") << 0xC8 << QByteArray("7650");
        QTest::newRow("15000") << QByteArray("15000") << 249 << QByteArray("15000");
        QTest::newRow("15001") << QByteArray("15001") << 250 << QByteArray("30000");
        QTest::newRow("44999") << QByteArray("44999") << 250 << QByteArray("30000");
        QTest::newRow("45000") << QByteArray("45000") << 251 << QByteArray("45000");
        QTest::newRow("105000") << QByteArray("105000") << 255 << QByteArray("105000");
        QTest::newRow("huge") << QByteArray("99999999999") << 255 << QByteArray("105000");
        QTest::newRow("hex") << QByteArray("0x64") << 100 << QByteArray("100");
    }
    void timeoutBothWays()
    {
        QFETCH(QByteArray, ms);
        QFETCH(int, byte);
        QFETCH(QByteArray, back);
        quint8 value = 0;
        QVERIFY(tmtToParamValue(ms, &value));
        QCOMPARE(int(value), byte);
        QCOMPARE(tmtFromParamValue(&value, 1), back);
    }
    void timeoutRejectsText()
    {
        quint8 value = 7;
        QVERIFY(!tmtToParamValue("", &value));
        QVERIFY(!tmtToParamValue("1s", &value));
        QCOMPARE(int(value), 7);
        const quint8 wide[2] = {0x00, 0x01}; // 256: beyond the table
        QCOMPARE(tmtFromParamValue(wide, 2), QByteArray("105000"));
    }

    void datesAndTimes_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<char>("separator");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("date") << QByteArray("31/12/24") << '/' << true << QByteArray("1f0c18");
        QTest::newRow("no range check")
            << QByteArray("01/13/25") << '/' << true << QByteArray("010d19");
        QTest::newRow("99s") << QByteArray("99/99/99") << '/' << true << QByteArray("636363");
        QTest::newRow("time") << QByteArray("09:05:00") << ':' << true << QByteArray("090500");
        QTest::newRow("wrong separator") << QByteArray("09/05/00") << ':' << false << QByteArray();
        QTest::newRow("short") << QByteArray("1/2/25") << '/' << false << QByteArray();
        QTest::newRow("letters") << QByteArray("aa/bb/cc") << '/' << false << QByteArray();
        QTest::newRow("sign") << QByteArray("+1/02/03") << '/' << false << QByteArray();
    }
    void datesAndTimes()
    {
        QFETCH(QByteArray, text);
        QFETCH(char, separator);
        QFETCH(bool, ok);
        QFETCH(QByteArray, bytes);
        quint8 value[3] = {0xAA, 0xAA, 0xAA};
        QCOMPARE(separator == '/' ? dateFromText(text, value) : timeFromText(text, value), ok);
        if (!ok)
            return;
        QCOMPARE(QByteArray(reinterpret_cast<char*>(value), 3).toHex(), bytes);
        QCOMPARE(separator == '/' ? dateToText(value) : timeToText(value), text);
    }
    void dateTextPadsAndWidens()
    {
        const quint8 date[3] = {1, 2, 25};
        QCOMPARE(dateToText(date), QByteArray("01/02/25"));
        const quint8 wide[3] = {100, 0, 255};
        QCOMPARE(timeToText(wide), QByteArray("100:00:255"));
    }

    void hexTexts_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("plain") << QByteArray("0102aa") << true << QByteArray("0102aa");
        QTest::newRow("blanks between pairs")
            << QByteArray("01 02  AA") << true << QByteArray("0102aa");
        QTest::newRow("odd") << QByteArray("012") << false << QByteArray();
        QTest::newRow("not hex") << QByteArray("0G") << false << QByteArray();
        QTest::newRow("empty") << QByteArray() << true << QByteArray();
    }
    void hexTexts()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, ok);
        QFETCH(QByteArray, bytes);
        QByteArray result;
        QCOMPARE(hexTextToBytes(text, &result), ok);
        if (ok)
            QCOMPARE(result.toHex(), bytes);
    }
    void hexSpacedSeparatesPairs()
    {
        QCOMPARE(hexSpaced(QByteArray::fromHex("0a1bff")), QByteArray("0A 1B FF"));
        QCOMPARE(hexSpaced(QByteArray::fromHex("80")), QByteArray("80"));
        QCOMPARE(hexSpaced(QByteArray()), QByteArray());
    }
};

QTEST_GUILESS_MAIN(TestValueConversion)
#include "tst_valueconversion.moc"
