#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

// Installed on an input field bound to the on-screen keyboard: a touch on the field asks
// for the keyboard, Enter (when asked to) closes it.
class KbdCatcher : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    void setEnabled(bool enabled) { m_enabled = enabled; }
    bool isEnabled() const { return m_enabled; }
    void setCloseOnEnter(bool close) { m_closeOnEnter = close; }
    // The field of the last touch that asked for the keyboard.
    QWidget* touched() const { return m_touched; }

Q_SIGNALS:
    void inputRequested();
    void inputQuited();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool m_enabled = true;
    bool m_closeOnEnter = false;
    QPointer<QWidget> m_touched;
};
