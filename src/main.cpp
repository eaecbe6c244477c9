#include "settings/registry.h"
#include "ui/anaform.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QLatin1String(kx::kApplicationTitle));
    QApplication::setApplicationDisplayName(QLatin1String(kx::kApplicationTitle));
    // Runner windows come and go; only "Kapat" ends the service.
    QApplication::setQuitOnLastWindowClosed(false);

    kx::TAnaFormF mainForm(QCoreApplication::applicationDirPath(), kx::defaultRegistryPath());
    return app.exec();
}
