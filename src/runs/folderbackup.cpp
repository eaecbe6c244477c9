#include "runs/folderbackup.h"
#include "core/clock.h"
#include "core/codepage.h"
#include "core/service.h"
#include "platform/copyfile.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/kxerror.h"
#include "platform/zipengine.h"
#include "runs/messenger.h"
#include "runs/naming.h"
#include "runs/oplog.h"
#include "runs/progressbar.h"
#include "scheduling/retention.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <cmath>

namespace kx {

namespace {

bool makeFolder(const QString &folder, QString *error = nullptr)
{
    try {
        makePath(folder);
        return true;
    } catch (const Error &e) {
        if (error)
            *error = e.text();
        return false;
    }
}

} // namespace

TOtoYedekDosyaF::TOtoYedekDosyaF(const QString &programFolder, QWidget *parent)
    : TFolderRunnerF(Kind::FolderBackup, false, parent), m_programFolder(programFolder)
{
    setObjectName(QStringLiteral("OtoYedekDosyaF"));
    LabelYedekAdi = addRow(QStringLiteral("Yedek Adi :"), false);
    LabelKaynak = addRow(QStringLiteral("Kaynak Dizin"), false);
    LabelHedef = addRow(QStringLiteral("Hedef Dizin"), false);
    addCountRowsAndBar();
    finishLayout();
}

QString TOtoYedekDosyaF::archive() const
{
    return archivePath(m_runFolder, params.sourceFolder);
}

void TOtoYedekDosyaF::YedekAyarla()
{
    const QString name = runFolderName(params.jobName, TarihSaatCevir(clock::today(), service().tickTime));
    m_runFolder = folderRunFolder(params.targetFolder, name, false);
    m_runFolder2 = folderRunFolder(params.targetFolder2, name, true);
    m_files = collectFiles(params.sourceFolder, m_runFolder, params.subfolders, params.filters);

    LabelYedekAdi->setText(params.jobName);
    LabelKaynak->setText(params.sourceFolder);
    LabelHedef->setText(m_runFolder);
    showCounts();
    startSlideIn();
}

void TOtoYedekDosyaF::runWork()
{
    OtoYedekle();
    m_files = FileCollection();
}

QString TOtoYedekDosyaF::moduleText() const
{
    QString module = trMsg(params.manual ? QStringLiteral("Manuel Yedekleme") : QStringLiteral("Otomatik Yedekleme"));
    if (params.zip)
        module += trMsg(QStringLiteral("(ZIP)"));
    return module;
}

void TOtoYedekDosyaF::writeLog(const QString &source, const QString &target, const QString &status)
{
    backupLog().write({moduleText(), params.jobName, logDateText(service().serviceDate),
                       logTimeText(clock::timeOfDay()), source, target, status});
}

void TOtoYedekDosyaF::OtoYedekle()
{
    startElapsedTimer();
    if (!QFileInfo(params.sourceFolder).isDir()) {
        sourceMissing();
        return;
    }
    if (QFileInfo::exists(m_runFolder) && !params.overwrite) {
        complete(false);
        return;
    }
    QString error;
    if (!makeFolder(m_runFolder, &error)) {
        failRun(error);
        return;
    }

    bool failed = false;
    // The second run folder: one that cannot be made gets a failure line of its own.
    auto secondFolderReady = [&] {
        QString reason;
        if (makeFolder(m_runFolder2, &reason))
            return true;
        writeLog(m_runFolder, m_runFolder2, trMsg(QStringLiteral("Basarisiz.")) + reason);
        failed = true;
        return false;
    };

    if (!params.zip) {
        if (m_files.sources.isEmpty() && m_files.unreadable.isEmpty()) {
            complete(false);
            return;
        }
        const int failedCopies = copyWithProgress(m_files, params.overwrite);
        failed = failedCopies > 0 || !m_files.unreadable.isEmpty();
        writeLog(params.sourceFolder, m_runFolder, copyStatus(failedCopies, m_files.unreadable));

        if (!m_runFolder2.isEmpty() && secondFolderReady()) {
            const FileCollection second = collectFiles(m_runFolder, m_runFolder2, params.subfolders, params.filters);
            const int failed2 = copyWithProgress(second, params.overwrite);
            failed = failed || failed2 > 0 || !second.unreadable.isEmpty();
            writeLog(m_runFolder, m_runFolder2, copyStatus(failed2, second.unreadable));
        }
        complete(failed);
        return;
    }

    // Zip mode. Nothing to pack ends like a copy with nothing to copy (an empty archive would
    // not even be written).
    if (m_files.sources.isEmpty() && m_files.unreadable.isEmpty()) {
        complete(false);
        return;
    }
    m_bar->setMaximum(10001);
    const QString zipFile = archive();
    try {
        PackProgress progress;
        progress.started = [this] { m_bar->setPosition(1); };
        progress.advanced = [this](double share) {
            m_bar->setPosition(1 + int(std::lround(share * 10000)));
            pump();
        };
        progress.finished = [this] { m_bar->setPosition(1); };
        packZip(zipFile, params.sourceFolder, m_files.sources, codepage::encode(params.zipPassword), progress);
    } catch (const Error &e) {
        pump();
        failRun(e.text());
        return;
    }
    pump();
    failed = !m_files.unreadable.isEmpty();
    writeLog(params.sourceFolder, m_runFolder, copyStatus(0, m_files.unreadable));

    if (!m_runFolder2.isEmpty() && QFileInfo::exists(zipFile) && secondFolderReady()) {
        const CopyResult r = copyFile(zipFile, m_runFolder2 + u'/' + QFileInfo(zipFile).fileName(), params.overwrite, pump);
        const bool copyFailed = !r.ok && !r.existed;
        failed = failed || copyFailed;
        writeLog(m_runFolder, m_runFolder2,
                 copyFailed ? trMsg(QStringLiteral("Basarisiz.")) + r.error : trMsg(QStringLiteral("Basarili")));
    }
    sendToMessenger({zipFile, params.jobName, params.messenger.nickname, params.messenger.address,
                     params.messenger.deleteAfter, params.messenger.password});
    complete(failed);
}

void TOtoYedekDosyaF::complete(bool failed)
{
    m_bar->setStatement(trMsg(failed ? QStringLiteral("Yedekleme Islemi Basarisiz.")
                                     : QStringLiteral("Yedekleme Islemi Tamamlandi.")));
    // A failed run keeps every older backup: pruning now could leave only the broken one.
    if (params.retention && !failed)
        YedekSil(m_programFolder, params.jobName);
    endRun();
}

void TOtoYedekDosyaF::endRun()
{
    finishRun();
    stopElapsedTimer();
    const QString logFailure = backupLog().takeFailure();
    if (!logFailure.isEmpty())
        Dialogs::error(logFailure);
}

void TOtoYedekDosyaF::sourceMissing()
{
    m_bar->setStatement(trMsg(QStringLiteral("Kaynak dizin bulunamadi.")));
    writeLog(params.sourceFolder, m_runFolder,
             trMsg(QStringLiteral("Basarisiz.")) + trMsg(QStringLiteral("Kaynak dizin bulunamadi.")));
    endRun();
}

void TOtoYedekDosyaF::failRun(const QString &message)
{
    writeLog(params.sourceFolder, m_runFolder, trMsg(QStringLiteral("Basarisiz.")) + message);
    m_bar->setStatement(trMsg(QStringLiteral("Yedekleme Islemi Basarisiz.")));
    endRun();
}

} // namespace kx
