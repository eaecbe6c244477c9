// The service itself (linked with the program's own main) with one step of its collection that
// never returns, for the test that ends it while a run is stuck in the kernel:
//   KX_STALL_BELOW    a folder: the first listing of a folder below it blocks
//   KX_STALL_FIFO     a named pipe nobody writes: the step opens it for reading, which blocks in
//                     the kernel as a read from a share whose server has gone does
//   KX_STALL_REACHED  a file made just before the step blocks
// It also ticks the scheduler once as soon as the event loop runs, instead of after five minutes.
#include "runs/collect.h"
#include "ui/anaform.h"

#include <QApplication>
#include <QFile>
#include <QTimer>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

void installStall()
{
    const QString below = qEnvironmentVariable("KX_STALL_BELOW");
    const QByteArray fifo = qgetenv("KX_STALL_FIFO");
    const QString reached = qEnvironmentVariable("KX_STALL_REACHED");
    if (below.isEmpty() || fifo.isEmpty())
        return;
    kx::setCollectionStep([below, fifo, reached](const QString &folder) {
        if (!folder.startsWith(below + u'/'))
            return;
        QFile mark(reached);
        if (mark.open(QIODevice::WriteOnly))
            mark.close();
        int fd = -1;
        do
            fd = ::open(fifo.constData(), O_RDONLY);
        while (fd < 0 && errno == EINTR);
        char byte;
        while (fd >= 0 && ::read(fd, &byte, 1) != 0) {
        }
    });
    QTimer::singleShot(0, [] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *form = qobject_cast<kx::TAnaFormF *>(w))
                form->TimerOTOTimer();
    });
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(installStall)
