#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class ComWin;
class MainWin;

// The device search window over the main window, one at a time, and the pane line that
// ends a search.
class DeviceSearch : public QObject
{
    Q_OBJECT

public:
    explicit DeviceSearch(MainWin& window);

    // Opens the search window, or brings the open one forward.
    void open();
    ComWin* searchWindow() const;

private:
    void found();
    void notFound();
    void cancelled();
    void endSearch(const QString& outcome);

    MainWin& m_window;
    QPointer<ComWin> m_comWin;
};
