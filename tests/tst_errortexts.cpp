#include "catalogue/errortexts.h"
#include "testsupport.h"

#include <QTemporaryDir>
#include <QtTest>

class TestErrorTexts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void shippedTables_data()
    {
        QTest::addColumn<bool>("driver");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("79") << false << 79 << " [79]: Неверный пароль.";
        QTest::newRow("79 as a signed byte") << false << -177 << " [79]: Неверный пароль.";
        QTest::newRow("number only") << false << 12 << "12";
        QTest::newRow("no line 0") << false << 0 << "0. Нет текста ошибки";
        QTest::newRow("55") << false << 55
                            << " [55]: Команда не поддерживается в данной реализации ФР.";
        QTest::newRow("255") << false << 255 << " [255]: Нет связи с ФР.";
        QTest::newRow("501") << true << 501 << "Ошибка драйвера [1]: таймаут при приеме байта.";
        QTest::newRow("522")
            << true << 522
            << "Ошибка драйвера [22]: нет ответа от ФР, превышено число повторов команды.";
        QTest::newRow("524") << true << 524
                             << "Ошибка драйвера [24]: ФР не подтвердил приём команды.";
        QTest::newRow("530") << true << 530 << "Ошибка драйвера 30. Нет текста ошибки";
    }
    void shippedTables()
    {
        QFETCH(bool, driver);
        QFETCH(int, code);
        QFETCH(QString, text);
        QFile device(QStringLiteral(":/Ini/Error.txt"));
        QFile drv(QStringLiteral(":/Ini/ErrorDrv.txt"));
        const ErrorTexts errors(&device, &drv);
        QCOMPARE(driver ? errors.driverErrorText(code) : errors.devErrorText(code), text);
    }

    void fileIsReadOnEveryLookup()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ErrorDrv.txt"));
        QFile file(path);
        const ErrorTexts errors(nullptr, &file);
        QCOMPARE(errors.driverErrorText(501),
                 QStringLiteral("Ошибка драйвера 1. Нет файла ошибок"));
        QVERIFY(testsupport::writeBytes(path, "\xEF\xBB\xBF"
                                              "1 second\r\n\r\n3 first\r\n"));
        QCOMPARE(errors.driverErrorText(501), QStringLiteral("Ошибка драйвера [1]: second."));
        QCOMPARE(errors.driverErrorText(502), QStringLiteral("Ошибка драйвера 2"));
        QCOMPARE(errors.driverErrorText(503), QStringLiteral("Ошибка драйвера [3]: first."));
        QCOMPARE(errorText(4, &file), QStringLiteral("4. Нет текста ошибки"));
        // A file written before the codes added later still names them.
        QCOMPARE(errors.driverErrorText(524),
                 QStringLiteral("Ошибка драйвера [24]: ФР не подтвердил приём команды."));
        QVERIFY(!file.isOpen());
    }
};

QTEST_GUILESS_MAIN(TestErrorTexts)
#include "tst_errortexts.moc"
