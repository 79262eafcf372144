// The log pane's writers: pane entries and colours, the status line, the pane file in
// Windows-1251 and the program log, under the two switches; the windows' paints held while a
// command is on the line.
#include "base/cp1251.h"
#include "base/mlogsystem.h"
#include "testsupport.h"
#include "ui/mainwin/panelog.h"
#include "ui/shell/paintpacer.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QVBoxLayout>
#include <QtTest>

namespace {

struct PaneRig
{
    QTemporaryDir dir;
    QPlainTextEdit pane;
    QLabel status;
    QCheckBox full;
    QCheckBox toFile;
    QFile screenLog{dir.filePath(QStringLiteral("Log.txt"))};
    MLogSystem log;
    QStringList logged; // "level|text" of every line given to the program log
    PaneLog writer{{&pane, &status, &full, &toFile}, &screenLog, &log};

    PaneRig(bool fullOn, bool fileOn)
    {
        full.setChecked(fullOn);
        toFile.setChecked(fileOn);
        QObject::connect(
            &log, qOverload<const QString&, MLogSystem_EventLevel>(&MLogSystem::stringWrited),
            [this](const QString& text, MLogSystem_EventLevel level) {
                logged << QStringLiteral("%1|%2").arg(int(level)).arg(text);
            });
    }
    // The pane's lines, with the entries not yet put in.
    QStringList paneLines()
    {
        writer.flush();
        return pane.toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    // The pane file's lines decoded from Windows-1251.
    QStringList fileLines()
    {
        writer.flush();
        return Cp1251::decode(testsupport::readBytes(screenLog.fileName()))
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    // The colour of a line of the pane, by default the first, where the newest entry is: the
    // line's first coloured run.
    QString topColour(int line = 0)
    {
        writer.flush();
        QTextBlock block = pane.document()->findBlockByNumber(line);
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (format.hasProperty(QTextFormat::ForegroundBrush))
                return format.foreground().color().name();
        }
        return QStringLiteral("default");
    }
};

struct CountedLabel : QLabel
{
    void paintEvent(QPaintEvent* event) override { ++paints, QLabel::paintEvent(event); }
    int paints = 0;
};

// A window laying out its label: a longer text asks for the layout again.
struct CountedWindow : QWidget
{
    CountedWindow() { (new QVBoxLayout(this))->addWidget(&label); }
    bool event(QEvent* event) override
    {
        layouts += event->type() == QEvent::LayoutRequest;
        return QWidget::event(event);
    }
    CountedLabel label;
    int layouts = 0;
};

const QRegularExpression
    kStamp(QStringLiteral("^\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d\\.\\d{3}: "));

QString withoutStamp(const QString& line)
{
    return QString(line).remove(kStamp);
}

} // namespace

class TestPaneLog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A long run keeps the newest entries in the pane, never more than MaxEntries; the pane
    // file keeps all.
    void paneKeepsTheNewestEntries()
    {
        PaneRig rig(false, true);
        const int total = PaneLog::MaxEntries + 25;
        for (int i = 0; i < total; ++i) {
            rig.writer.logInfo(QString(), QString::number(i));
            if (i % 10000 == 9999)
                rig.writer.flush(); // in batches, as the event loop puts them in
        }
        const QStringList lines = rig.paneLines();
        const int kept = PaneLog::MaxEntries - PaneLog::TrimChunk;
        QCOMPARE(lines.size(), kept);
        QCOMPARE(withoutStamp(lines.first()), QString::number(total - 1));
        QCOMPARE(withoutStamp(lines.last()), QString::number(total - kept));
        QCOMPARE(rig.fileLines().size(), total);
    }

    void entries_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("pane");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("colour");
        QTest::addColumn<QString>("logged");
        QTest::newRow("error without title") << "error"
                                             << ""
                                             << "Нет связи"
                                             << "Нет связи"
                                             << "Нет связи"
                                             << "#ff0000"
                                             << "5|Нет связи";
        QTest::newRow("error with title") << "error"
                                          << "Гудок"
                                          << "Гудок: Нет связи"
                                          << "Гудок: Нет связи"
                                          << "Гудок: Нет связи"
                                          << "#ff0000"
                                          << "5|Нет связи";
        QTest::newRow("information without title") << "info"
                                                   << ""
                                                   << "Связь есть."
                                                   << "Связь есть."
                                                   << "Связь есть."
                                                   << "default"
                                                   << "1|Связь есть.";
        QTest::newRow("information with title") << "info"
                                                << "Поиск"
                                                << "Поиск: Связь есть."
                                                << "Поиск: Связь есть."
                                                << "Поиск: Связь есть."
                                                << "default"
                                                << "1|Связь есть.";
    }
    void entries()
    {
        QFETCH(QString, kind);
        QFETCH(QString, title);
        QFETCH(QString, pane);
        QFETCH(QString, file);
        QFETCH(QString, status);
        QFETCH(QString, colour);
        QFETCH(QString, logged);
        const QString text = kind == QLatin1String("error") ? QStringLiteral("Нет связи")
                                                            : QStringLiteral("Связь есть.");
        PaneRig rig(false, true);
        if (kind == QLatin1String("error"))
            rig.writer.logError(title, text);
        else
            rig.writer.logInfo(title, text);
        QCOMPARE(rig.paneLines().size(), 1);
        QVERIFY(kStamp.match(rig.paneLines().first()).hasMatch());
        QCOMPARE(withoutStamp(rig.paneLines().first()), pane);
        QCOMPARE(rig.fileLines().size(), 1);
        QCOMPARE(withoutStamp(rig.fileLines().first()), file);
        QCOMPARE(rig.status.text(), status);
        QCOMPARE(rig.topColour(), colour);
        QVERIFY(rig.logged.contains(logged));
    }

    // Without "Сохранять в файле" neither the pane file nor the program log hear of errors
    // and information; frame lines still reach the program log.
    void fileSwitchOff()
    {
        PaneRig rig(false, false);
        rig.writer.logError(QStringLiteral("Гудок"), QStringLiteral("Нет связи"));
        rig.writer.logInfo(QString(), QStringLiteral("Связь есть."));
        rig.writer.logSndBlock(QByteArray::fromHex("131e000000"));
        QVERIFY(!rig.screenLog.exists());
        QCOMPARE(rig.logged.size(), 1);
        QVERIFY(rig.logged.first().startsWith(QStringLiteral("0|")));
        QVERIFY(rig.logged.first().endsWith(QStringLiteral(": snd 131e000000")));
        QCOMPARE(rig.paneLines().size(), 3);
    }

    // One command without the full log: the snd and rcv lines, newest on top, in black.
    void framesNewestFirst()
    {
        PaneRig rig(false, true);
        rig.writer.logSndBlock(QByteArray::fromHex("131e000000"));
        rig.writer.logSndHex(QByteArray::fromHex("05"));
        rig.writer.logRcvHex(QByteArray::fromHex("15"));
        rig.writer.logRcvBlock(QByteArray::fromHex("1300ff"));
        QStringList texts;
        for (const QString& line : rig.paneLines())
            texts << withoutStamp(line).trimmed();
        QCOMPARE(texts, (QStringList{"rcv 1300ff", "snd 131e000000"}));
        QCOMPARE(rig.topColour(), QStringLiteral("#000000"));
        QCOMPARE(rig.fileLines().size(), 2);
        QCOMPARE(withoutStamp(rig.fileLines().value(0)), QStringLiteral("snd 131e000000"));
    }

    // A batch goes into the pane at once: every entry keeps its place and its colour.
    void batchKeepsOrderAndColours()
    {
        PaneRig rig(true, false);
        rig.writer.logSndHex(QByteArray::fromHex("05"));
        rig.writer.logRcvHex(QByteArray::fromHex("15"));
        rig.writer.logRcvHex(QByteArray::fromHex("06"));
        rig.writer.logError(QStringLiteral("Гудок"), QStringLiteral("Нет связи"));
        rig.writer.logSndHex(QByteArray::fromHex("06"));
        QStringList texts;
        for (const QString& line : rig.paneLines())
            texts << withoutStamp(line).trimmed();
        QCOMPARE(texts, (QStringList{"06", "Гудок: Нет связи", "06", "15", "05"}));
        const QStringList colours{"#008000", "#ff0000", "#8b008b", "#8b008b", "#008000"};
        for (int line = 0; line < colours.size(); ++line)
            QCOMPARE(rig.topColour(line), colours.at(line));
    }

    // The full log adds one line per byte: green sent, dark magenta received.
    void byteTrace_data()
    {
        QTest::addColumn<bool>("sent");
        QTest::addColumn<QString>("colour");
        QTest::addColumn<QString>("fileLine");
        QTest::newRow("sent") << true << "#008000"
                              << ">>> 05";
        QTest::newRow("received") << false << "#8b008b"
                                  << "<<< 15";
    }
    void byteTrace()
    {
        QFETCH(bool, sent);
        QFETCH(QString, colour);
        QFETCH(QString, fileLine);
        PaneRig rig(true, true);
        if (sent)
            rig.writer.logSndHex(QByteArray::fromHex("05"));
        else
            rig.writer.logRcvHex(QByteArray::fromHex("15"));
        QCOMPARE(rig.paneLines().value(0).trimmed(), fileLine.mid(4));
        QCOMPARE(rig.topColour(), colour);
        QCOMPARE(rig.fileLines(), QStringList{fileLine});
        QCOMPARE(rig.logged, QStringList{QStringLiteral("0|") + fileLine.mid(4)});
    }

    void statusHasTwoParts()
    {
        PaneRig rig(false, true);
        rig.writer.setStatus(QString(), QStringLiteral("Нет связи"));
        QCOMPARE(rig.status.text(), QStringLiteral(": Нет связи"));
        QVERIFY(rig.paneLines().isEmpty());
        QVERIFY(!rig.screenLog.exists());
    }

    // While a command is on the line a window paints only when the device is busy (at most once
    // a PaintIntervalMs), when a wait runs that long, or once the exchange is over; it lays
    // itself out at a turnaround only when the device is busy, and at once while it is.
    void paintsWaitForTheBusyDevice_data()
    {
        QTest::addColumn<bool>("onLine");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<int>("paints");
        QTest::addColumn<int>("layouts");
        QTest::newRow("off the line") << false << "change" << 1 << 1;
        QTest::newRow("on the line") << true << "change" << 0 << 0;
        QTest::newRow("device busy") << true << "interval change busy" << 1 << 1;
        QTest::newRow("busy again too soon")
            << true << "interval change busy change busy" << 1 << 2;
        QTest::newRow("layout while busy") << true << "interval change busy change" << 1 << 2;
        QTest::newRow("long wait") << true << "change wait" << 1 << 1;
        QTest::newRow("exchange over") << true << "change over" << 1 << 1;
    }
    void paintsWaitForTheBusyDevice()
    {
        QFETCH(bool, onLine);
        QFETCH(QString, steps);
        QFETCH(int, paints);
        QFETCH(int, layouts);
        bool busy = false;
        PaintPacer pacer([&busy] { return busy; });
        CountedWindow window;
        window.resize(300, 100); // wide enough for every text: the window never grows
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCoreApplication::processEvents();
        window.label.paints = window.layouts = 0;
        busy = onLine;
        for (const QString& step : steps.split(QLatin1Char(' '))) {
            if (step == QLatin1String("change"))
                window.label.setText(window.label.text() + QLatin1Char('1'));
            else if (step == QLatin1String("interval"))
                QThread::msleep(PaintPacer::PaintIntervalMs);
            else if (step == QLatin1String("busy"))
                pacer.paintIfDue();
            else if (step == QLatin1String("wait"))
                QTest::qWait(3 * PaintPacer::PaintIntervalMs);
            else if (step == QLatin1String("over"))
                pacer.release(), busy = false; // the link's exchange has ended
            QCoreApplication::processEvents();
        }
        QCOMPARE(window.label.paints, paints);
        QCOMPARE(window.layouts, layouts);
    }

    // Texts from the device or the files are shown as text, never taken as markup.
    void markupInTextsIsShown()
    {
        PaneRig rig(false, false);
        rig.writer.logError(QStringLiteral("<b>"), QStringLiteral("a < b & c"));
        QCOMPARE(withoutStamp(rig.paneLines().first()), QStringLiteral("<b>: a < b & c"));
    }
};

QTEST_MAIN(TestPaneLog)
#include "tst_panelog.moc"
