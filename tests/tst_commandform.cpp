// The generated command form: rows, widths, editors, reading back and filling replies.
#include "base/cp1251.h"
#include "shippedcodec.h"
#include "ui/form/commandform.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QTextEdit>
#include <QVBoxLayout>
#include <QtTest>

namespace {

// The shipped codec, a scroll area of a given width and the form in it.
struct FormRig
{
    testsupport::ShippedCodec shipped;
    QScrollArea area;
    CommandForm form{shipped.codec, shipped.tables, &area};

    explicit FormRig(int width = 900)
    {
        QVERIFY(shipped.load());
        QFont font = area.font();
        font.setPointSize(14);
        area.setFont(font);
        area.setWidgetResizable(true);
        area.resize(width, 600);
    }
    bool select(const QString& name)
    {
        const Catalogue& catalogue = shipped.catalogue;
        for (int i = 0; i < catalogue.commandCount(); ++i)
            if (catalogue.command(i).name == name) {
                shipped.catalogue.setCurrentCommand(i);
                return shipped.codec.parseCommand();
            }
        return false;
    }
    CmdItem* item(const QByteArray& ident, bool isCmd)
    {
        ItemTable& items = isCmd ? shipped.codec.commandItems() : shipped.codec.replyItems();
        for (int i = 0; i < items.count; ++i)
            if (items[i].ident == ident)
                return &items[i];
        return nullptr;
    }
    template <typename W> W* widget(const QByteArray& ident, bool isCmd)
    {
        CmdItem* found = item(ident, isCmd);
        return found ? qobject_cast<W*>(found->wid) : nullptr;
    }
    // The reply of the selected command decoded into its reply part.
    void showReply(const QByteArray& reply)
    {
        shipped.codec.splitReply(reply);
        shipped.codec.ceConvParmRpl();
        form.ceShowCmd(false);
        form.cePutParmRpl();
    }
    QList<QFrame*> separators() const
    {
        QList<QFrame*> lines;
        for (QFrame* frame : form.container()->findChildren<QFrame*>())
            if (frame->frameShape() == QFrame::HLine)
                lines << frame;
        return lines;
    }
};

} // namespace

class TestCommandForm : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void editorWidths_data()
    {
        QTest::addColumn<char>("type");
        QTest::addColumn<int>("len");
        QTest::addColumn<int>("width");
        QTest::newRow("* 40") << '*' << 40 << 40;
        QTest::newRow("* variable") << '*' << 0 << 40;
        QTest::newRow("$ 2") << '$' << 2 << 5;
        QTest::newRow("$ variable") << '$' << 0 << 80;
        QTest::newRow("? 2") << '?' << 2 << 4;
        QTest::newRow("? variable") << '?' << 0 << 80;
        QTest::newRow("# 1") << '#' << 1 << 4;
        QTest::newRow("# 2") << '#' << 2 << 5;
        QTest::newRow("# 3") << '#' << 3 << 10;
        QTest::newRow("# 4") << '#' << 4 << 10;
        QTest::newRow("# 5") << '#' << 5 << 13;
        QTest::newRow("# 7") << '#' << 7 << 14;
        QTest::newRow("# 8") << '#' << 8 << 17;
        QTest::newRow("# 9") << '#' << 9 << 17;
        QTest::newRow("^") << '^' << 1 << 6;
        QTest::newRow("constant") << '0' << 1 << 4;
        QTest::newRow("date") << '/' << 3 << 8;
        QTest::newRow("time") << ':' << 3 << 8;
        QTest::newRow("enumeration") << '@' << 1 << 0;
    }
    void editorWidths()
    {
        QFETCH(char, type);
        QFETCH(int, len);
        QFETCH(int, width);
        CmdItem item;
        item.type = type;
        item.len = len;
        QCOMPARE(CommandForm::ceWidth(item), width);
    }

    // "Установка параметров обмена": the password, port, rate and timeout rows, then the
    // separator; the rate list in symbol order with its first entry current.
    void workedExample()
    {
        FormRig rig;
        QVERIFY(rig.select(QStringLiteral("Установка параметров обмена")));
        rig.form.ceShowCmd(true);
        auto* password = rig.widget<QLineEdit>("prlsa", true);
        QVERIFY(password);
        QCOMPARE(password->text(), QStringLiteral("30"));
        QCOMPARE(password->width(), 11 * 14);
        QCOMPARE(rig.widget<QLineEdit>("port", true)->text(), QStringLiteral("0"));
        QCOMPARE(rig.widget<QLineEdit>("port", true)->width(), 5 * 14);
        auto* rate = rig.widget<QComboBox>("baud", true);
        QVERIFY(rate);
        QCOMPARE(rate->currentText(), QStringLiteral("2400"));
        QCOMPARE(rate->itemText(rate->count() - 1), QStringLiteral("115200"));
        QCOMPARE(rig.widget<QLineEdit>("tmt", true)->text(), QStringLiteral("100"));
        QCOMPARE(rig.separators().size(), 1);
        QCOMPARE(qobject_cast<QLabel*>(rig.item("prlsa", true)->head)->text(),
                 QStringLiteral("Пароль сисадмина"));

        rig.showReply(QByteArray::fromHex("1400"));
        QCOMPARE(rig.widget<QLineEdit>("error", false)->text(), QStringLiteral("0"));
        QVERIFY(rig.widget<QLineEdit>("error", false)->isReadOnly());
    }

    void codeOnlyCommandHasNoRows()
    {
        FormRig rig;
        QVERIFY(rig.shipped.codec.parseLine("$cmd=16", true));
        QVERIFY(rig.shipped.codec.parseLine("$cmd,#error", false));
        rig.form.ceShowCmd(true);
        QVERIFY(rig.separators().isEmpty());
        QVERIFY(rig.form.container()->findChildren<QLineEdit*>().isEmpty());
        rig.showReply(QByteArray::fromHex("1600"));
        QCOMPARE(rig.form.container()->findChildren<QLineEdit*>().size(), 1);
    }

    // The row layout is decided per row when the form is built: beside or above.
    void rowLayoutFollowsTheAreaWidth_data()
    {
        QTest::addColumn<int>("areaWidth");
        QTest::addColumn<bool>("beside");
        QTest::newRow("wide") << 900 << true;
        QTest::newRow("narrow") << 200 << false;
    }
    void rowLayoutFollowsTheAreaWidth()
    {
        QFETCH(int, areaWidth);
        QFETCH(bool, beside);
        FormRig rig(areaWidth);
        QVERIFY(rig.select(QStringLiteral("Продажа")));
        rig.form.ceShowCmd(true);
        QWidget* price = rig.item("price", true)->wid;
        auto* row = qobject_cast<QBoxLayout*>(
            rig.form.container()->layout()->itemAt(2)->layout()); // password, quantity, price
        QVERIFY(row);
        QCOMPARE(row->indexOf(price) >= 0, true);
        QCOMPARE(row->direction() == QBoxLayout::LeftToRight, beside);
        QCOMPARE(price->minimumWidth() == price->maximumWidth(), beside);
    }

    // A not-editable item is shown grey and read-only, and reading the form leaves it alone.
    void notEditableItem()
    {
        FormRig rig;
        QVERIFY(rig.select(QStringLiteral("Продажа")));
        CmdItem* price = rig.item("price", true);
        price->ned = true;
        rig.form.ceShowCmd(true);
        auto* editor = rig.widget<QLineEdit>("price", true);
        QVERIFY(editor->isReadOnly());
        QCOMPARE(editor->styleSheet(), QStringLiteral("color: black; background: lightGray"));
        QVERIFY(editor->text().isEmpty());
        rig.form.readForm();
        QCOMPARE(price->dftval, QByteArray("100"));
    }

    // The date editor takes digits only and refuses, key by key, a day above 39 or a
    // month above 19.
    void dateEditorRefusesBadKeys_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("text");
        QTest::newRow("a good date") << "311224" << "31/12/24";
        QTest::newRow("day above 39") << "4" << "//";
        QTest::newRow("month above 19") << "012" << "01//";
        QTest::newRow("letters") << "a1b2" << "12//";
    }
    void dateEditorRefusesBadKeys()
    {
        QFETCH(QString, keys);
        QFETCH(QString, text);
        FormRig rig;
        QVERIFY(rig.select(QStringLiteral("Отчет по диапазону дат")));
        rig.form.ceShowCmd(true);
        auto* date = rig.widget<QLineEdit>("fdate", true);
        QVERIFY(date);
        QCOMPARE(date->inputMask(), QStringLiteral("99/99/99"));
        date->setFocus();
        date->setCursorPosition(0);
        QTest::keyClicks(date, keys);
        QCOMPARE(date->text(), text);
    }

    void longHexReplyInAMultiLineBox()
    {
        FormRig rig;
        QVERIFY(rig.select(QStringLiteral("Запрос рег. купюроприемника")));
        rig.form.ceShowCmd(true);
        QByteArray reply = QByteArray::fromHex("e60000");
        for (int i = 0; i < 96; ++i)
            reply.append(char(i));
        rig.showReply(reply);
        auto* box = rig.widget<QTextEdit>("volkup", false);
        QVERIFY(box);
        QCOMPARE(box->toPlainText().size(), 96 * 3 - 1);
        QVERIFY(box->toPlainText().startsWith(QStringLiteral("00 01 02")));

        QVERIFY(rig.select(QStringLiteral("Запрос сост. купюроприемника")));
        rig.form.ceShowCmd(true);
        rig.showReply(QByteArray::fromHex("e500000a0b"));
        auto* poll = rig.widget<QLineEdit>("poll", false);
        QVERIFY(poll);
        QCOMPARE(poll->text(), QStringLiteral("0A 0B"));
    }

    // Each run replaces the reply part; the command part and its texts stay.
    void replyPartIsReplaced()
    {
        FormRig rig;
        QVERIFY(rig.select(QStringLiteral("Гудок")));
        rig.form.ceShowCmd(true);
        rig.widget<QLineEdit>("prlop", true)->setText(QStringLiteral("31"));
        rig.showReply(QByteArray::fromHex("130001"));
        rig.showReply(QByteArray::fromHex("130002"));
        QCOMPARE(rig.widget<QLineEdit>("opr", false)->text(), QStringLiteral("2"));
        QCOMPARE(rig.form.container()->findChildren<QLineEdit*>().size(), 3);
        QCOMPARE(rig.form.container()->findChildren<QLabel*>().size(), 3);
        QCOMPARE(rig.form.container()->layout()->count(), 4); // password, line, two replies
        QCOMPARE(rig.widget<QLineEdit>("prlop", true)->text(), QStringLiteral("31"));
    }

    // The flag rows hook: once per status-flag item, after the item's own row.
    void flagRowsAfterTheFlagItem()
    {
        FormRig rig;
        QVERIFY(rig.select(QStringLiteral("Короткий запрос")));
        QStringList calls;
        QString state = QStringLiteral("Да");
        rig.form.setFlagRows([&](quint8 code, const QByteArray& ident) {
            calls << QStringLiteral("%1 %2 %3")
                         .arg(code, 2, 16, QLatin1Char('0'))
                         .arg(QString::fromLatin1(ident))
                         .arg(rig.form.container()->layout()->count());
            return std::vector<FlagRow>{{QStringLiteral("Флаг"), state}};
        });
        rig.form.ceShowCmd(true);
        QVERIFY(calls.isEmpty());
        rig.form.readForm();
        int failed = -1;
        QVERIFY(rig.shipped.codec.ceConvParmCmd(&failed)); // the code comes from the sent bytes
        rig.showReply(QByteArray::fromHex("100001800218000a1f1e000000000000"));
        // Rows before it: the password, the separator, error, operator and the flags row.
        QCOMPARE(calls, QStringList{"10 flagFR 5"});
        QCOMPARE(rig.widget<QLineEdit>("flagFR", false)->text(), QStringLiteral("80 02"));
        // The same rows again: their widgets stay and take the new texts.
        const QList<QLineEdit*> editors = rig.form.container()->findChildren<QLineEdit*>();
        QLineEdit* flagValue = nullptr;
        for (QLineEdit* editor : editors)
            if (editor->text() == QStringLiteral("Да"))
                flagValue = editor;
        QVERIFY(flagValue);
        state = QStringLiteral("Нет");
        rig.showReply(QByteArray::fromHex("100001800318000a1f1e000000000000"));
        QCOMPARE(rig.form.container()->findChildren<QLineEdit*>(), editors);
        QCOMPARE(rig.widget<QLineEdit>("flagFR", false)->text(), QStringLiteral("80 03"));
        QCOMPARE(flagValue->text(), QStringLiteral("Нет"));
    }

    // Reading the form: strings in Windows-1251, enumerations by position, read-only
    // items untouched.
    void readingTheForm()
    {
        FormRig rig;
        QVERIFY(rig.select(QStringLiteral("Продажа")));
        rig.form.ceShowCmd(true);
        rig.widget<QLineEdit>("name", true)->setText(QStringLiteral("ТЕСТ"));
        rig.form.readForm();
        QCOMPARE(rig.item("name", true)->dftval, Cp1251::encode(QStringLiteral("ТЕСТ")));
        QCOMPARE(rig.item("price", true)->dftval, QByteArray("100"));

        QVERIFY(rig.select(QStringLiteral("Установка параметров обмена")));
        rig.form.ceShowCmd(true);
        rig.widget<QComboBox>("baud", true)->setCurrentIndex(3);
        rig.form.readForm();
        int failed = -1;
        QVERIFY(rig.shipped.codec.ceConvParmCmd(&failed));
        QCOMPARE(rig.shipped.codec.commandArray().toHex(), QByteArray("141e000000000364"));
    }

    void enumerationReplyShowsItsName()
    {
        FormRig rig;
        QVERIFY(rig.select(QStringLiteral("Короткий запрос")));
        rig.form.ceShowCmd(true);
        rig.showReply(QByteArray::fromHex("100001800218000a1f1e000000000000"));
        auto* mode = rig.widget<QLineEdit>("regimFR", false);
        QCOMPARE(mode->text(), QStringLiteral("Открытый чек. Покупка"));
        QCOMPARE(mode->cursorPosition(), 0);
        QCOMPARE(rig.widget<QLineEdit>("rezBatU", false)->text(), QStringLiteral("3.1"));
    }
};

QTEST_MAIN(TestCommandForm)
#include "tst_commandform.moc"
