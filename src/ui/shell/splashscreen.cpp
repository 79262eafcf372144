#include "splashscreen.h"

#include "ui_splashscreen.h"

#include <QCoreApplication>
#include <QTimer>

SplashScreen::SplashScreen(QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::SplashScreen>())
{
    m_ui->setupUi(this);
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    m_ui->lab_VersionNo->setText(QCoreApplication::applicationVersion());
    m_ui->lab_VersionDate->setText(QStringLiteral(__DATE__));
}

SplashScreen::~SplashScreen() = default;

void SplashScreen::runSplash(int showMs)
{
    show();
    QTimer::singleShot(showMs, this, &SplashScreen::stopSplash);
    // Closed early (the program is told to quit), the splash ends its wait too.
    connect(this, &QDialog::finished, this, &SplashScreen::stopSplash);
    // Waits for events rather than spinning, so the five seconds cost no processor time.
    while (!m_stopped)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void SplashScreen::stopSplash()
{
    m_stopped = true;
    hide();
}
