#include "platform/folderlock.h"
#include "platform/termination.h"
#include "settings/registry.h"
#include "ui/anaform.h"
#include "ui/appicon.h"
#include "ui/dialogs.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QLatin1String(kx::kApplicationTitle));
    // No display name: the window system would add it to every title, which names the program
    // already ("… s3.02.11 — KORVANEX Yedekleme Servisi").
    // The desktop entry names the program to the session (task bar, tray items on Wayland).
    QGuiApplication::setDesktopFileName(QStringLiteral("korvanex-yedek"));
    QApplication::setWindowIcon(kx::applicationIcon());
    // Runner windows come and go; "Kapat" (or SIGTERM / SIGINT) ends the service.
    QApplication::setQuitOnLastWindowClosed(false);
    kx::installTerminationHandler();

    // A second start in the same folder (the session's autostart and the menu entry, say) ends
    // at once and says so.
    const QString programFolder = QCoreApplication::applicationDirPath();
    const kx::FolderLock lock(programFolder);
    if (lock.busy()) {
        const QString text = QStringLiteral("%1 bu klasorde zaten calisiyor: %2")
                                 .arg(QLatin1String(kx::kApplicationTitle), programFolder);
        std::fprintf(stderr, "%s\n", qPrintable(text));
        if (QGuiApplication::platformName() != QLatin1String("offscreen")
            && QGuiApplication::platformName() != QLatin1String("minimal")) {
            // The text is Turkish, and so is its button: the toolkit's catalogue is not loaded yet.
            kx::installToolkitTurkish();
            kx::Dialogs::information(nullptr, QLatin1String(kx::kApplicationTitle), text);
        }
        return 1;
    }

    kx::TAnaFormF mainForm(programFolder, kx::defaultRegistryPath());
    const int status = app.exec();
    // A run stuck in a system call (a share whose server has gone) must not keep the process
    // from ending: after a short wait its thread is left behind, and the process ends without
    // the destructors that thread could still reach. The run's folder keeps its unfinished
    // marker, so the next start tells of it. Everything written so far was written whole.
    if (!mainForm.leaveWork(kx::RunController::kEndGrace)) {
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
