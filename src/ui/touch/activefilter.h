#pragma once

#include <QObject>

// Reports that the pointer has left the widget it is installed on (the keyboard's window).
class ActiveFilter : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    void setEnabled(bool enabled) { m_enabled = enabled; }
    bool isEnabled() const { return m_enabled; }

Q_SIGNALS:
    void left();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool m_enabled = true;
};
