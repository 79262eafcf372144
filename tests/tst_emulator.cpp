#include "deviceside.h"
#include "shippedcodec.h"

#include <QtTest>

namespace {

emu::Bytes toBytes(const QByteArray& bytes)
{
    return emu::Bytes(bytes.begin(), bytes.end());
}

QByteArray toQt(const emu::Bytes& bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), int(bytes.size()));
}

// Fills every command item without a default with a plausible entry.
void fillItems(RazbCmd& codec)
{
    ItemTable& items = codec.commandItems();
    for (int i = 1; i < items.count; ++i) {
        CmdItem& item = items[i];
        if (item.type == '@') {
            codec.setEnumChoice(i, 0);
            continue;
        }
        if (item.dflt)
            continue;
        switch (item.type) {
        case '#':
            item.dftval = i == 1 ? "30" : "1";
            break;
        case '$':
        case '?':
            item.dftval = QByteArray("00").repeated(std::max(item.len, 1));
            break;
        case '/':
            item.dftval = "01/01/25";
            break;
        case ':':
            item.dftval = "10:00:00";
            break;
        default:
            item.dftval = "A";
        }
    }
}

// The bytes the fixed items of the reply line cover.
int fixedReplyLength(const RazbCmd& codec)
{
    int length = 0;
    const ItemTable& items = codec.replyItems();
    for (int i = 0; i < items.count; ++i)
        length = std::max(length, items[i].rel + items[i].len);
    return length;
}

} // namespace

class TestEmulator : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The catalogue and the device model are written apart; they must agree on every reply.
    void everyCatalogueCommandGetsAFullReply()
    {
        testsupport::ShippedCodec shipped;
        QVERIFY(shipped.load());
        Catalogue& catalogue = shipped.catalogue;
        RazbCmd& codec = shipped.codec;

        int checked = 0;
        for (int i = 0; i < catalogue.commandCount(); ++i) {
            if (catalogue.command(i).proc > 0)
                continue;
            catalogue.setCurrentCommand(i);
            QVERIFY(codec.parseCommand());
            fillItems(codec);
            int failed = -1;
            QVERIFY2(codec.ceConvParmCmd(&failed), qPrintable(catalogue.command(i).name));
            const QByteArray command = codec.commandArray();

            emu::DeviceModel model;
            emu::Bytes reply = model.execute(toBytes(command));
            // Commands of a receipt or a shift need the device in that state first.
            if (reply.size() > 1 && (reply[1] == 115 || reply[1] == 85)) {
                model.execute(toBytes(QByteArray::fromHex("e01e000000")));
                if (reply[1] == 85)
                    model.execute(toBytes(QByteArray::fromHex("801e000000e8030000001027000000")
                                              .leftJustified(60, '\0')));
                reply = model.execute(toBytes(command));
            }
            const QString what = catalogue.command(i).name + QStringLiteral(": ") +
                                 QString::fromLatin1(toQt(reply).toHex());
            QVERIFY2(reply.size() >= 2 && reply[0] == quint8(command.at(0)), qPrintable(what));
            if (command.at(0) == char(0xE0)) // its reply line has no error byte
                continue;
            QVERIFY2(reply[1] == 0, qPrintable(what));
            QVERIFY2(int(reply.size()) >= fixedReplyLength(codec), qPrintable(what));
            QVERIFY2(reply.size() <= 255, qPrintable(what));
            ++checked;
        }
        QCOMPARE(checked, 113);
    }

    // The device side of the handshake, fed byte strings without a line.
    void handshake_data()
    {
        QTest::addColumn<QByteArray>("host"); // hex, sent in one piece
        QTest::addColumn<QByteArray>("device");
        QTest::newRow("idle ENQ") << QByteArray("05") << QByteArray("15");
        QTest::newRow("good frame")
            << QByteArray("020513 1e000000 08") << QByteArray("06 020313000111");
        QTest::newRow("bad frame") << QByteArray("020513 1e000000 09") << QByteArray("15");
        QTest::newRow("reply pending after NAK") << QByteArray("020513 1e000000 08 15 05")
                                                 << QByteArray("06 020313000111 06 020313000111");
        QTest::newRow("acknowledged reply")
            << QByteArray("020513 1e000000 08 06 05") << QByteArray("06 020313000111 15");
        QTest::newRow("stray bytes") << QByteArray("ff 06 15 05") << QByteArray("15");
    }
    void handshake()
    {
        QFETCH(QByteArray, host);
        QFETCH(QByteArray, device);
        emu::DeviceModel model;
        emu::DeviceSide side(model, {});
        QByteArray sent;
        for (const emu::DeviceSide::Output& output :
             side.receive(toBytes(QByteArray::fromHex(host)), emu::DeviceSide::Clock::now()))
            sent += toQt(output.bytes);
        QCOMPARE(sent.toHex(), QByteArray::fromHex(device).toHex());
    }

    void tablesEndWithError93()
    {
        emu::DeviceModel model;
        const auto structure = [&model](int table) {
            return model.execute({0x2D, 30, 0, 0, 0, uint8_t(table)});
        };
        QCOMPARE(int(structure(1).size()), 45);
        QCOMPARE(int(structure(int(model.tables().size())).at(1)), 0);
        QCOMPARE(int(structure(int(model.tables().size()) + 1).at(1)), 93);
        // Table 5 keeps its first row; read-only fields answer 122.
        emu::Bytes write{0x1E, 30, 0, 0, 0, 5, 1, 0, 1};
        write.resize(9 + 20, 'x');
        QCOMPARE(int(model.execute(write).at(1)), 122);
        write[6] = 2;
        QCOMPARE(int(model.execute(write).at(1)), 0);
        QCOMPARE(int(model.execute({0x1E, 30, 0, 0, 0, 1, 1, 0, 3, 7, 0}).at(1)), 122);
    }
};

QTEST_GUILESS_MAIN(TestEmulator)
#include "tst_emulator.moc"
