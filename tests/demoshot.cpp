// The tool as tools/demo shows it on a machine without a display: the real start-up and
// main window, connected to the device, after "Состояние ККМ", saved as a picture.
#include "ui/app/startup.h"
#include "ui/mainwin/mainwin.h"
#include "ui/shell/msgboxwidget.h"
#include "ui/shell/splashscreen.h"
#include "ui_mainwin.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: velkor-demoshot PICTURE.png\n");
        return 4;
    }
    const QString picture = QString::fromLocal8Bit(argv[1]);
    installWidgetMsgBox();
    bool saved = false;
    const int code = runWithProgramLog(
        {QCoreApplication::applicationDirPath(), QCoreApplication::arguments().value(0), nullptr,
         SplashScreen::ShowMs, [&](MainWin& window) {
             QTimer::singleShot(0, &window, [&] {
                 window.resize(1024, 768);
                 QTest::mouseClick(window.ui()->pbTestLink, Qt::LeftButton);
                 QTreeWidget* tree = window.ui()->treeCommand;
                 const QList<QTreeWidgetItem*> found = tree->findItems(
                     QStringLiteral("Состояние ККМ"), Qt::MatchExactly | Qt::MatchRecursive);
                 if (!found.isEmpty()) {
                     found.first()->parent()->setExpanded(true);
                     tree->setCurrentItem(found.first());
                     window.on_treeCommand(found.first());
                 }
                 QTest::qWait(300);
                 saved = window.grab().save(picture);
                 window.close();
             });
         },
         {}});
    std::printf("%s %s\n", saved ? "Saved" : "Could not save", qPrintable(picture));
    return saved ? code : 1;
}
