#include "platform/termination.h"
#include "settings/registry.h"
#include "ui/anaform.h"
#include "ui/appicon.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QLatin1String(kx::kApplicationTitle));
    QApplication::setApplicationDisplayName(QLatin1String(kx::kApplicationTitle));
    // The desktop entry names the program to the session (task bar, tray items on Wayland).
    QGuiApplication::setDesktopFileName(QStringLiteral("korvanex-yedek"));
    QApplication::setWindowIcon(kx::applicationIcon());
    // Runner windows come and go; "Kapat" (or SIGTERM / SIGINT) ends the service.
    QApplication::setQuitOnLastWindowClosed(false);
    kx::installTerminationHandler();

    kx::TAnaFormF mainForm(QCoreApplication::applicationDirPath(), kx::defaultRegistryPath());
    return app.exec();
}
