// The value rules of table fields: how a value is shown and how typed text is collected.
#include "base/cp1251.h"
#include "procedures/devicetable.h"

#include <QtTest>

class TestDeviceTable : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void shownAndCollected_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("size");
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("width");
        QTest::newRow("BIN 1") << 0 << 1 << QByteArray::fromHex("ff") << "255" << 3;
        QTest::newRow("BIN 2 holding 256") << 0 << 2 << QByteArray::fromHex("0001") << "256" << 5;
        QTest::newRow("BIN 3") << 0 << 3 << QByteArray::fromHex("010203") << "197121" << 10;
        QTest::newRow("BIN 4 all ones")
            << 0 << 4 << QByteArray::fromHex("ffffffff") << "4294967295" << 10;
        QTest::newRow("BIN 8 all ones")
            << 0 << 8 << QByteArray::fromHex("ffffffffffffffff") << "18446744073709551615" << 10;
        QTest::newRow("BIN 10 in hex") << 0 << 10 << QByteArray::fromHex("00112233445566778899")
                                       << "00112233445566778899" << 20;
        QTest::newRow("CHAR up to its zero") << 1 << 6 << QByteArray("ab\0\0\0\0", 6) << "ab" << 6;
        QTest::newRow("CHAR Cyrillic") << 1 << 4 << QByteArray::fromHex("c4e0f2e0") << "Дата" << 4;
    }
    // A stored value shows as its text, and that text is collected back to the same bytes.
    void shownAndCollected()
    {
        QFETCH(int, type);
        QFETCH(int, size);
        QFETCH(QByteArray, stored);
        QFETCH(QString, shown);
        QFETCH(int, width);
        TableField field;
        field.type = type;
        field.size = size;
        QCOMPARE(field.valueText(stored.constData()), shown);
        QCOMPARE(field.valueWidth(), width);
        QByteArray collected;
        QVERIFY(field.collect(shown, &collected));
        QCOMPARE(collected, stored);
    }

    void collected_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("12a") << 0 << 2 << "12a" << false << QByteArray();
        QTest::newRow("empty") << 0 << 2 << "" << false << QByteArray();
        QTest::newRow("negative") << 0 << 4 << "-1" << false << QByteArray();
        QTest::newRow("plus sign") << 0 << 4 << "+1" << false << QByteArray();
        QTest::newRow("too big for 1 byte") << 0 << 1 << "256" << false << QByteArray();
        QTest::newRow("too big for 8 bytes")
            << 0 << 8 << "18446744073709551616" << false << QByteArray();
        QTest::newRow("blanks around") << 0 << 2 << " 258 " << true << QByteArray::fromHex("0201");
        QTest::newRow("hex too short") << 0 << 9 << "0011" << false << QByteArray();
        QTest::newRow("hex not hex") << 0 << 9 << "zz1122334455667788" << false << QByteArray();
        QTest::newRow("hex with blanks") << 0 << 9 << "00 11 22 33 44 55 66 77 88" << true
                                         << QByteArray::fromHex("001122334455667788");
        QTest::newRow("CHAR 15 into 10")
            << 1 << 10 << "123456789012345" << true << QByteArray("1234567890");
        QTest::newRow("CHAR 3 into 10")
            << 1 << 10 << "abc" << true << QByteArray("abc\0\0\0\0\0\0\0", 10);
        QTest::newRow("CHAR outside the code page")
            << 1 << 2 << "€x" << true << QByteArray::fromHex("8878");
    }
    void collected()
    {
        QFETCH(int, type);
        QFETCH(int, size);
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(QByteArray, bytes);
        TableField field;
        field.type = type;
        field.size = size;
        QByteArray collected;
        QCOMPARE(field.collect(text, &collected), valid);
        if (valid)
            QCOMPARE(collected, bytes);
    }
};

QTEST_MAIN(TestDeviceTable)
#include "tst_devicetable.moc"
