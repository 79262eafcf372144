#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class SplashScreen;
}

// The title, version and build date shown while start-up finishes.
class SplashScreen : public QDialog
{
    Q_OBJECT

public:
    static constexpr int ShowMs = 5000;

    explicit SplashScreen(QWidget* parent = nullptr);
    ~SplashScreen() override;

    // Shows the splash and keeps the event loop running until it has hidden itself.
    void runSplash(int showMs = ShowMs);
    bool stopped() const { return m_stopped; }

public Q_SLOTS:
    void stopSplash();

private:
    std::unique_ptr<Ui::SplashScreen> m_ui;
    bool m_stopped = false;
};
