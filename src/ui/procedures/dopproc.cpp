#include "dopproc.h"

#include "base/logpane.h"
#include "base/pathworks.h"
#include "datakkmwin.h"
#include "procedures/procedurehost.h"
#include "procedures/procedurelink.h"
#include "procedures/programobjects.h"
#include "procedures/testfp.h"
#include "sendhex.h"
#include "tables.h"
#include "ui/shell/irreversiblequestion.h"
#include "ui/shell/windowplacement.h"

#include <QApplication>
#include <QFileInfo>

#include <QDebug>

DopProc::DopProc(ProgramObjects& objects, ProcedureLink& link, Tables& tables, SendHex& sendHex,
                 QObject* parent)
    : QObject(parent), m_objects(objects), m_link(link), m_tables(tables), m_sendHex(sendHex)
{
}

DopProc::~DopProc()
{
    delete m_dataWindow.data();
}

DataKkmWin* DopProc::dataWindow() const
{
    return m_dataWindow.data();
}

void DopProc::cmdDopProc(int proc)
{
    qDebug() << "cmdDopProc" << proc;
    const int base = m_objects.catalogue.tableProcBase();
    switch (proc) {
    case DateTime:
        m_tables.datTimProc();
        return;
    case HexCommand:
        m_sendHex.open();
        return;
    case DeviceData:
        openDataWindow();
        return;
    case TestScript:
        runTestScript();
        return;
    default:
        break;
    }
    if (m_objects.tableCount >= 1 && base >= 0 && proc > base) {
        qDebug() << "cmdDopProc" << proc << base << proc - base;
        m_tables.openTable(proc - base);
        return;
    }
    m_objects.procedureRunning = false;
}

void DopProc::runTestScript()
{
    {
        // The box names "TestFp.txt" and the program "testfp.txt": either is read.
        QFile script(MFilesWorks::anyCaseFilePath(m_objects.testScript.fileName()));
        TestFp runner(m_objects.catalogue, m_objects.codec, m_link);
        const QStringList irreversible = runner.irreversibleCommands(&script);
        const CommandGate::Request request{
            tr("Выполнить тест из файла"),
            irreversible.isEmpty() ? QString() : CommandGate::scriptQuestion(irreversible),
            {},
            [this, &runner, &script] {
                // Begun and ended in the pane, so a test's run can be told from its commands.
                LogPane& pane = m_link.host().logPane();
                const QString title = tr("Тест %1").arg(QFileInfo(script.fileName()).fileName());
                const bool found = script.exists();
                if (found)
                    pane.logInfo(title, tr("начат."));
                if (runner.execTestFp(&script) != TestFp::Interrupted && found)
                    pane.logInfo(title, runner.summary());
            }};
        m_link.gate().pass(request, [](const QString& question) {
            return askIrreversible(QApplication::activeWindow(), question);
        });
    }
    m_objects.procedureRunning = false;
}

void DopProc::openDataWindow()
{
    qDebug() << "Data of KKM" << int(DeviceData);
    // One window at a time: a second opening brings the open one forward.
    if (!m_dataWindow)
        m_dataWindow = new DataKkmWin(m_link, m_objects.symbols, m_objects.appDirText);
    qDebug() << "Data of KKM1";
    m_link.host().showOverlay();
    placeOverMainWindow(m_dataWindow);
    m_dataWindow->show();
    m_dataWindow->raise();
    qDebug() << "Data of KKM2";
    m_objects.procedureRunning = false;
}
