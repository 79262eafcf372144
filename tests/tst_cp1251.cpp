#include "base/cp1251.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QtTest>

class TestCp1251 : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void available() { QVERIFY(Cp1251::isAvailable()); }

    void everyMappedByteRoundTripsAsTheToolkitCodecSays()
    {
        QStringDecoder icu("windows-1251");
        for (int byte = 0; byte < 256; ++byte) {
            const QByteArray one(1, char(byte));
            const QString text = Cp1251::decode(one);
            QCOMPARE(text, icu.decode(one));
            if (text != QString(QChar(0xFFFD)))
                QCOMPARE(Cp1251::encode(text), one);
        }
    }

    void encode_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("Cyrillic") << QStringLiteral("ТЕСТ") << QByteArray::fromHex("D2C5D1D2");
        QTest::newRow("ASCII") << QStringLiteral("COM2") << QByteArray("COM2");
        QTest::newRow("missing character becomes ?") << QStringLiteral("a漢b") << QByteArray("a?b");
        QTest::newRow("character outside the BMP is one ?")
            << QStringLiteral("x\U0001F600y") << QByteArray("x?y");
        QTest::newRow("a real 1Ah stays") << QStringLiteral("\x1a") << QByteArray("\x1a");
        QTest::newRow("euro sign and numero")
            << QStringLiteral("€№") << QByteArray::fromHex("88B9");
    }
    void encode()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(Cp1251::encode(text), bytes);
    }
};

QTEST_GUILESS_MAIN(TestCp1251)
#include "tst_cp1251.moc"
