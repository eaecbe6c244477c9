#include "runs/firebirdrestore.h"
#include "core/clock.h"
#include "core/service.h"
#include "platform/dialogs.h"
#include "platform/kxerror.h"
#include "runs/firebirdbackup.h"
#include "runs/naming.h"
#include "runs/oplog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>

namespace kx {

TRestoreFBF::TRestoreFBF(QWidget *parent) : TFirebirdRunnerF(Kind::FirebirdRestore, true, parent)
{
    setObjectName(QStringLiteral("RestoreFBF"));
    LabelBaslik = new QLabel(QStringLiteral("Manuel Geri Yukleme"));
    LabelBaslik->setObjectName(QStringLiteral("LabelBaslik"));
    addWide(LabelBaslik);
    LabelKaynak = addRow(QStringLiteral("Kaynak Dosya"), false);
    LabelHedef = addRow(QStringLiteral("Hedef Dosya"), false);
    LabelKapasite = addRow(QStringLiteral("Kapasite :"), true);
    addSureRow();
    addActivityAndDoneLabel(QStringLiteral("Geri Yukleme Islemi Tamamlandi..."));
    finishLayout();
}

void TRestoreFBF::RestoreAyarla()
{
    LabelKaynak->setText(params.backupFile);
    LabelHedef->setText(params.databaseFile);
    if (LabelKapasite) {
        // A backup file that is not there (or not a plain file) shows as nothing to restore.
        const QFileInfo backup(params.backupFile);
        LabelKapasite->setText(capacityText(backup.isFile() ? double(backup.size()) : 0.0));
    }
    if (sureValue())
        sureValue()->setText(QStringLiteral(" "));
    startSlideIn();
}

void TRestoreFBF::runWork()
{
    GeriYukle();
}

void TRestoreFBF::writeLog(const QString &status)
{
    restoreLog().write({trMsg(QStringLiteral("Firebird Geri Yukleme")), trMsg(QStringLiteral("Manuel")),
                        logDateText(service().serviceDate), logTimeText(clock::timeOfDay()), params.backupFile,
                        params.databaseFile, status});
}

void TRestoreFBF::GeriYukle()
{
    startElapsedTimer();
    QCoreApplication::processEvents();
    // The server creates the file but not its folder. A folder that cannot be made shows up
    // as the server's own error.
    QDir().mkpath(QFileInfo(params.databaseFile).absolutePath());

    // Always through the server on this machine: the in-process engine would open the
    // database with this program's rights and beside a running server.
    try {
        runFirebirdService({FbRequest::Action::Restore, QStringLiteral("127.0.0.1"), params.userName, params.password,
                            params.databaseFile, params.backupFile});
    } catch (const Error &e) {
        writeLog(trMsg(QStringLiteral("Basarisiz.")) + e.text());
        endRun(e.text());
        return;
    }
    writeLog(trMsg(QStringLiteral("Basarili")));
    endRun(QString());
}

void TRestoreFBF::endRun(const QString &failure)
{
    endFirebirdRun(failure, trMsg(QStringLiteral("Geri Yukleme Islemi Basarisiz.")), restoreLog());
}

} // namespace kx
