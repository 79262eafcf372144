// Touch input: the scroller's tap, drag and glide, the keyboard's filters, and the
// on-screen keyboard typing into the main window's fields.
#include "ui/touch/activefilter.h"
#include "ui/touch/kbdcatcher.h"
#include "ui/touch/touchscroller.h"
#include "ui/touch/virtkeyboard.h"
#include "windowrig.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimeEdit>
#include <QToolTip>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QtTest>
#include <functional>

using testsupport::snapshot;
using testsupport::WindowRig;

namespace {

void send(QWidget* widget, QEvent::Type type, QPoint at)
{
    const Qt::MouseButtons buttons =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
    QMouseEvent event(type, QPointF(at), QPointF(widget->mapToGlobal(at)),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

// A tree of 400 items in a small window, driven by a scroller.
struct ScrolledTree
{
    ScrolledTree()
    {
        tree.resize(300, 300);
        for (int i = 0; i < 400; ++i)
            new QTreeWidgetItem(&tree, {QStringLiteral("Пункт %1").arg(i)});
        tree.show();
        scroller.attach(&tree);
    }
    QWidget* viewport() { return tree.viewport(); }
    int value() { return tree.verticalScrollBar()->value(); }
    // A press, then moves up by `step` pixels each.
    void drag(int moves, int step, QPoint from = {100, 200})
    {
        send(viewport(), QEvent::MouseButtonPress, from);
        for (int i = 1; i <= moves; ++i)
            send(viewport(), QEvent::MouseMove, from - QPoint(0, i * step));
    }

    QTreeWidget tree;
    TouchScroller scroller;
};

// Counts the presses an object is sent.
struct PressCounter : QObject
{
    bool eventFilter(QObject*, QEvent* event) override
    {
        presses += event->type() == QEvent::MouseButtonPress;
        return false;
    }
    int presses = 0;
};

QPushButton* key(VirtKeyboard* keyboard, const char* name)
{
    return keyboard->findChild<QPushButton*>(QLatin1String(name));
}

void tap(VirtKeyboard* keyboard, const char* name)
{
    QPushButton* button = key(keyboard, name);
    QVERIFY2(button, name);
    button->click();
}

// A field that counts the presses it receives.
struct CountingEdit : QLineEdit
{
    using QLineEdit::QLineEdit;
    void mousePressEvent(QMouseEvent* event) override
    {
        ++presses;
        QLineEdit::mousePressEvent(event);
    }
    int presses = 0;
};

} // namespace

class TestTouch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A tap reaches the tree as a click: the press is held back and replayed with the release.
    void tapSelectsAsAClick()
    {
        ScrolledTree rig;
        QSignalSpy clicked(&rig.tree, &QTreeWidget::itemClicked);
        const QRect third = rig.tree.visualItemRect(rig.tree.topLevelItem(2));
        send(rig.viewport(), QEvent::MouseButtonPress, third.center());
        QVERIFY(!rig.tree.currentItem() || rig.tree.currentItem() != rig.tree.topLevelItem(2));
        send(rig.viewport(), QEvent::MouseButtonRelease, third.center());
        QCoreApplication::sendPostedEvents(rig.viewport());
        QCOMPARE(rig.tree.currentItem(), rig.tree.topLevelItem(2));
        QCOMPARE(clicked.size(), 1);

        // Held still, the finger shows the entry's whole text and then clicks nothing.
        const QRect fifth = rig.tree.visualItemRect(rig.tree.topLevelItem(4));
        send(rig.viewport(), QEvent::MouseButtonPress, fifth.center());
        QTRY_COMPARE(QToolTip::text(), QStringLiteral("Пункт 4"));
        send(rig.viewport(), QEvent::MouseButtonRelease, fifth.center());
        QCoreApplication::sendPostedEvents(rig.viewport());
        QCOMPARE(rig.tree.currentItem(), rig.tree.topLevelItem(2));
        QCOMPARE(clicked.size(), 1);
    }

    // A tap that nothing takes (a label of a form, blank space) reaches the area once and
    // ends there: its copies handed up to the area were replayed again, for ever, and kept a
    // core busy for the rest of the session.
    void tapOnNothingEndsThere()
    {
        QScrollArea area;
        auto* label = new QLabel(QStringLiteral("Код ошибки"));
        area.setWidget(label);
        area.resize(300, 200);
        area.show();
        TouchScroller::drive(&area);
        PressCounter counter;
        area.installEventFilter(&counter);
        QTest::mouseClick(label, Qt::LeftButton);
        QTest::qWait(200);
        QCOMPARE(counter.presses, 1);
    }

    // Four small moves are swallowed without scrolling; the fifth starts the drag, and the
    // content then follows the finger from the press point.
    void dragStartsAtTheFifthMove()
    {
        ScrolledTree rig;
        rig.drag(4, 2);
        QVERIFY(!rig.scroller.scrolling());
        QCOMPARE(rig.value(), 0);
        send(rig.viewport(), QEvent::MouseMove, QPoint(100, 190));
        QVERIFY(rig.scroller.scrolling());
        send(rig.viewport(), QEvent::MouseMove, QPoint(100, 140));
        QCOMPARE(rig.value(), 60);
        send(rig.viewport(), QEvent::MouseButtonRelease, QPoint(100, 140));
        QCoreApplication::sendPostedEvents(rig.viewport());
        QVERIFY(!rig.tree.currentItem()); // a drag is not a click
        // Nor is a flick quick enough to bring one move: it scrolls and clicks nothing.
        rig.drag(1, 100);
        send(rig.viewport(), QEvent::MouseButtonRelease, QPoint(100, 100));
        QCoreApplication::sendPostedEvents(rig.viewport());
        QVERIFY(!rig.tree.currentItem());
        QCOMPARE(rig.value(), 160);
    }

    // A fling glides with the step falling by one each tick, at most 30, and a new touch
    // stops it at once.
    void flingGlides()
    {
        ScrolledTree rig;
        rig.drag(5, 2);
        QVERIFY(rig.scroller.scrolling());
        // The finger travels 45 pixels up in one tick of the timer.
        QCursor::setPos(rig.viewport()->mapToGlobal(QPoint(100, 190 - 45)));
        rig.scroller.onTouchTimerElapsed();
        QCOMPARE(rig.scroller.speedY(), -45);
        send(rig.viewport(), QEvent::MouseButtonRelease, QPoint(100, 145));
        QList<int> steps;
        for (int tick = 0; tick < 4; ++tick) {
            const int before = rig.value();
            rig.scroller.onTouchTimerElapsed();
            steps << rig.value() - before;
        }
        QCOMPARE(steps, QList<int>({29, 28, 27, 26}));
        QVERIFY(rig.scroller.timerActive());
        send(rig.viewport(), QEvent::MouseButtonPress, QPoint(100, 100));
        QVERIFY(!rig.scroller.scrolling());
        QVERIFY(!rig.scroller.timerActive());
        QCOMPARE(rig.scroller.speedY(), 0);
    }

    // A slow release glides out: 3, 2, 1 and stop, the timer with it.
    void glideStops()
    {
        ScrolledTree rig;
        rig.drag(5, 1);
        QCursor::setPos(rig.viewport()->mapToGlobal(QPoint(100, 195 - 4)));
        rig.scroller.onTouchTimerElapsed();
        send(rig.viewport(), QEvent::MouseButtonRelease, QPoint(100, 191));
        const int start = rig.value();
        for (int tick = 0; tick < 4; ++tick)
            rig.scroller.onTouchTimerElapsed();
        QCOMPARE(rig.value() - start, 3 + 2 + 1);
        QVERIFY(!rig.scroller.scrolling());
        QVERIFY(!rig.scroller.timerActive());
    }

    // In the real window the tree and the log pane follow the finger pixel for pixel: the
    // tree's bar counts pixels, and the pane's lines are turned into pixels (its lines out of
    // view are not laid out, so its content's top is its bar's line times the line's height).
    void realWindowFollowsTheFinger()
    {
        WindowRig rig;
        rig.showOnTerminal();
        for (int i = 0; i < 200; ++i)
            rig.win().logPane().logInfo(QString(), QStringLiteral("строка %1").arg(i));
        rig.win().logPane().flush();
        QTreeWidget* tree = rig.ui().treeCommand;
        tree->expandAll();
        QPlainTextEdit* pane = rig.ui().tedLog;
        const int lineSpacing = pane->fontMetrics().lineSpacing();
        // A form longer than its area: the full status's reply.
        rig.clickToggle();
        rig.select(QStringLiteral("Состояние ККМ"));
        QScrollArea* form = rig.ui().saWid;
        QTRY_VERIFY(form->verticalScrollBar()->maximum() > 40);
        struct Case
        {
            QWidget* viewport;
            int pixels;
            std::function<int()> top;
        };
        const QList<Case> cases{
            {tree->viewport(), 40, [tree] { return tree->visualItemRect(tree->topLevelItem(3)).top(); }},
            {pane->viewport(), 4 * lineSpacing,
             [pane, lineSpacing] { return -pane->verticalScrollBar()->value() * lineSpacing; }},
            {form->viewport(), 40, [form] { return -form->verticalScrollBar()->value(); }}};
        for (const Case& c : cases) {
            const int before = c.top();
            const QPoint from(100, 300);
            send(c.viewport, QEvent::MouseButtonPress, from);
            for (int i = 1; i <= TouchScroller::MoveThreshold + 1; ++i)
                send(c.viewport, QEvent::MouseMove, from - QPoint(0, i));
            send(c.viewport, QEvent::MouseMove, from - QPoint(0, c.pixels));
            send(c.viewport, QEvent::MouseButtonRelease, from - QPoint(0, c.pixels));
            QVERIFY2(std::abs(before - c.pixels - c.top()) <= 1,
                     qPrintable(QStringLiteral("%1 -> %2, dragged %3")
                                    .arg(before)
                                    .arg(c.top())
                                    .arg(c.pixels)));
        }
    }

    // Switched off, the filters pass every event on and say nothing; on, a touch on the
    // field asks for the keyboard and is swallowed, Enter closes it when asked to.
    void filterSwitches_data()
    {
        QTest::addColumn<bool>("enabled");
        QTest::newRow("off") << false;
        QTest::newRow("on") << true;
    }
    void filterSwitches()
    {
        QFETCH(bool, enabled);
        QWidget window;
        auto* edit = new CountingEdit(&window);
        KbdCatcher catcher;
        ActiveFilter leave;
        catcher.setEnabled(enabled);
        catcher.setCloseOnEnter(true);
        leave.setEnabled(enabled);
        edit->installEventFilter(&catcher);
        window.installEventFilter(&leave);
        QSignalSpy requested(&catcher, &KbdCatcher::inputRequested);
        QSignalSpy quited(&catcher, &KbdCatcher::inputQuited);
        QSignalSpy left(&leave, &ActiveFilter::left);
        window.show();
        send(edit, QEvent::MouseButtonPress, QPoint(5, 5));
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(edit, &enter);
        QEvent leaving(QEvent::Leave);
        QCoreApplication::sendEvent(&window, &leaving);
        QCOMPARE(edit->presses, enabled ? 0 : 1);
        QCOMPARE(requested.size(), enabled ? 1 : 0);
        QCOMPARE(quited.size(), enabled ? 1 : 0);
        QCOMPARE(left.size(), enabled ? 1 : 0);
        QCOMPARE(catcher.touched(), enabled ? static_cast<QWidget*>(edit) : nullptr);
    }

    // The program's default: touching a bound field shows nothing and moves nothing.
    void keyboardOffByDefault()
    {
        WindowRig rig;
        rig.win().show();
        rig.win().on_setButton_3_clicked();
        const QPoint before = rig.win().pos();
        QTest::mouseClick(rig.ui().sd_port, Qt::LeftButton);
        QVERIFY(!rig.win().keyboard()->switchedOn());
        QVERIFY(!rig.win().keyboardHost()->isVisible());
        QCOMPARE(rig.win().pos(), before);
    }

    // Switched on in config.ini: a touch on the port field brings the keyboard clear of
    // "Принять" and "Отмена", whose keys type into the field as a hardware keyboard would;
    // shift types one capital (two taps hold it), language comes back to lower case, "Ввод"
    // finishes the field and hides the keyboard.
    void typingIntoABoundField()
    {
        WindowRig::Options options;
        options.touchKeyboard = true;
        WindowRig rig(options);
        rig.showOnTerminal();
        rig.win().on_setButton_3_clicked();
        QLineEdit* port = rig.ui().sd_port;
        port->clear();
        QTest::mouseClick(port, Qt::LeftButton);
        VirtKeyboard* keyboard = rig.win().keyboard();
        QVERIFY(rig.win().keyboardHost()->isVisible());
        QCOMPARE(keyboard->target(), static_cast<QWidget*>(port));
        QCOMPARE(rig.win().keyboardHost()->width(), rig.win().width());
        QCOMPARE(rig.win().keyboardHost()->height(), qRound(rig.win().height() / 2.7));
        for (QWidget* b : {rig.ui().sd_accept, rig.ui().sd_cancell})
            QVERIFY(!QRect(b->mapToGlobal(QPoint()), b->size())
                         .intersects(rig.win().keyboardHost()->geometry()));
        snapshot(rig.win().keyboardHost(), "keyboard-latin");
        tap(keyboard, "26"); // j
        tap(keyboard, "30"); // shift
        QVERIFY(keyboard->upperCase());
        QCOMPARE(key(keyboard, "10")->text(), QStringLiteral("Q"));
        for (const char* name : {"31", "31", "30", "30", "31", "31"}) // Z z, held: Z Z
            tap(keyboard, name);
        QCOMPARE(keyboard->shiftState(), VirtKeyboard::Shift::Locked);
        tap(keyboard, "41"); // language: Russian, lower case
        QVERIFY(keyboard->russian());
        QVERIFY(!keyboard->upperCase());
        QCOMPARE(key(keyboard, "1a")->text(), QStringLiteral("х"));
        snapshot(rig.win().keyboardHost(), "keyboard-russian");
        for (const char* name : {"1a", "1b", "2b", "42"}) // х ъ ё Пробел
            tap(keyboard, name);
        tap(keyboard, "40"); // 123
        QCOMPARE(keyboard->mode(), int(VirtKeyboard::Figures));
        QCOMPARE(key(keyboard, "27")->text(), QStringLiteral("&&"));
        snapshot(rig.win().keyboardHost(), "keyboard-figures");
        tap(keyboard, "27"); // &
        tap(keyboard, "10"); // 1
        tap(keyboard, "36"); // backspace
        tap(keyboard, "30"); // #+=
        QCOMPARE(keyboard->mode(), int(VirtKeyboard::Symbols));
        snapshot(rig.win().keyboardHost(), "keyboard-symbols");
        tap(keyboard, "26"); // €
        tap(keyboard, "15"); // №
        QVERIFY(!key(keyboard, "41") || key(keyboard, "41")->text() != QString());
        tap(keyboard, "40"); // ABC: back to the letters, still Russian
        QCOMPARE(keyboard->mode(), int(VirtKeyboard::Letters));
        QVERIFY(keyboard->russian());
        QCOMPARE(port->text(), QStringLiteral("jZzZZхъё &€№"));
        QSignalSpy entered(port, &QLineEdit::returnPressed);
        tap(keyboard, "43"); // Ввод
        QCOMPARE(entered.size(), 1);
        QVERIFY(!rig.win().keyboardHost()->isVisible());
        tap(keyboard, "41"); // Latin: its keys are named in Russian too
        QCOMPARE(key(keyboard, "42")->text(), QStringLiteral("Пробел"));
        QCOMPARE(key(keyboard, "43")->text(), QStringLiteral("Ввод"));

        // A field the user types hexadecimal into gets the hexadecimal keys, a number of the
        // form the figures, a text field the letters again.
        QLineEdit hex;
        keyboard->bondKeyboard(&hex, VirtKeyboard::Keys::Hex);
        hex.show();
        QTest::mouseClick(&hex, Qt::LeftButton);
        QCOMPARE(keyboard->mode(), int(VirtKeyboard::Hex));
        snapshot(rig.win().keyboardHost(), "keyboard-hex");
        for (const char* name : {"21", "27", "30", "10", "31"}) // 9, F, blank, 0, erase
            tap(keyboard, name);
        QCOMPARE(hex.text(), QStringLiteral("9F "));
        rig.select(QStringLiteral("Продажа"));
        for (const char* ident : {"vol", "name", "price"}) {
            QTest::mouseClick(rig.field(ident, true), Qt::LeftButton);
            QCOMPARE(keyboard->mode(),
                     int(*ident == 'n' ? VirtKeyboard::Letters : VirtKeyboard::Figures));
        }
        QTest::mouseClick(port, Qt::LeftButton);
        QCOMPARE(keyboard->mode(), int(VirtKeyboard::Letters));

        // A time is touched on its line and typed with the figures.
        QTimeEdit time;
        keyboard->bondKeyboard(&time, VirtKeyboard::Keys::Figures);
        time.show();
        QTest::mouseClick(time.findChild<QLineEdit*>(), Qt::LeftButton);
        QTRY_VERIFY(time.hasFocus());
        for (const char* name : {"10", "11"}) // 1 2: its hours, chosen
            tap(keyboard, name);
        QCOMPARE(time.time().hour(), 12);
    }

    // A field the keyboard would cover is uncovered: by its scroll area, else by lifting its
    // window as far as the screen's top allows, else by the keyboard going above it. Closing
    // the keyboard puts the window back.
    void keyboardUncoversTheField_data()
    {
        QTest::addColumn<int>("windowY");
        QTest::addColumn<bool>("inScrollArea");
        QTest::addColumn<bool>("lifted");      // the window moves up
        QTest::addColumn<bool>("keyboardMoved"); // the keyboard goes above the field
        QTest::newRow("window lifted by the overlap") << 100 << false << true << false;
        QTest::newRow("window at the screen's top") << 0 << false << false << true;
        QTest::newRow("scroll area scrolls") << 0 << true << false << false;
    }
    void keyboardUncoversTheField()
    {
        QFETCH(int, windowY);
        QFETCH(bool, inScrollArea);
        QFETCH(bool, lifted);
        QFETCH(bool, keyboardMoved);
        QDialog host;
        auto* layout = new QVBoxLayout(&host);
        layout->setContentsMargins(0, 0, 0, 0);
        VirtKeyboard keyboard;
        layout->addWidget(&keyboard);
        host.setGeometry(0, 400, 600, 200);
        QObject::connect(&keyboard, &VirtKeyboard::kbdRequest, &host, &QWidget::show);
        QObject::connect(&keyboard, &VirtKeyboard::kbdClose, &host, &QWidget::hide);
        QWidget window;
        window.setGeometry(0, windowY, 600, 500);
        QWidget* fieldParent = &window;
        if (inScrollArea) {
            auto* area = new QScrollArea(&window);
            area->setGeometry(0, 0, 600, 500);
            area->setFrameShape(QFrame::NoFrame);
            auto* content = new QWidget;
            content->setFixedSize(580, 1000);
            area->setWidget(content);
            fieldParent = content;
        }
        auto* field = new QLineEdit(fieldParent);
        field->setGeometry(10, windowY == 0 ? 420 : 350, 200, 30);
        window.show();
        QCoreApplication::processEvents(); // the scroll area's range
        keyboard.bondKeyboard(field);
        const int hostY = host.geometry().y();
        const int before = window.y();
        send(field, QEvent::MouseButtonPress, QPoint(5, 5));
        QVERIFY(host.isVisible());
        const int keyboardTop = keyboard.mapToGlobal(QPoint(0, 0)).y();
        const int fieldTop = field->mapToGlobal(QPoint(0, 0)).y();
        QVERIFY(keyboardTop >= fieldTop + field->height() ||
                keyboard.mapToGlobal(QPoint(0, keyboard.height())).y() <= fieldTop);
        QCOMPARE(window.y() < before, lifted);
        QVERIFY(window.geometry().y() >= 0);
        if (lifted) // by exactly the overlap
            QCOMPARE(fieldTop + field->height(), keyboardTop);
        QCOMPARE(host.geometry().y() != hostY, keyboardMoved);
        QCOMPARE(keyboard.windowMoved(), lifted);
        keyboard.inputQuit();
        QCOMPARE(window.y(), before);
        QVERIFY(!host.isVisible());
    }
};

QTEST_MAIN(TestTouch)
#include "tst_touch.moc"
