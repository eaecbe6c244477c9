#include "runs/folderrestore.h"
#include "core/clock.h"
#include "core/codepage.h"
#include "core/service.h"
#include "i18n/formheader.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/kxerror.h"
#include "platform/zipengine.h"
#include "runs/naming.h"
#include "runs/oplog.h"
#include "runs/progressbar.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <cmath>

namespace kx {

TRestoreDosyaF::TRestoreDosyaF(QWidget *parent) : TFolderRunnerF(Kind::FolderRestore, true, parent)
{
    setObjectName(QStringLiteral("RestoreDosyaF"));
    addWide(new KxFormHeader(QStringLiteral("Manuel Dosya Geri Yukleme")));
    LabelKaynak = addRow(QStringLiteral("Kaynak Dizin / Dosya"), false);
    LabelHedef = addRow(QStringLiteral("Hedef Dizin"), false);
    addCountRowsAndBar();
    finishLayout();
}

void TRestoreDosyaF::RestoreAyarla()
{
    m_files = FileCollection();
    params.targetFolder = BackSlash(params.targetFolder);
    if (params.zipMode) {
        m_files.folders = 1;
        try {
            m_files.files = inspectZip(params.archive).entries;
        } catch (const Error &) {
            // Shown as far as it could be read; the run reports a bad archive.
        }
        const QFileInfo fi(params.archive);
        m_files.bytes = fi.isFile() ? fi.size() : 0;
        LabelKaynak->setText(params.archive);
    } else {
        m_files = collectFiles(params.sourceFolder, params.targetFolder, params.subfolders, {params.pattern});
        LabelKaynak->setText(params.sourceFolder);
    }
    LabelHedef->setText(params.targetFolder);
    showCounts();
    startSlideIn();
}

void TRestoreDosyaF::runWork()
{
    GeriYukle();
    m_files = FileCollection();
}

void TRestoreDosyaF::writeLog(const QString &module, const QString &source, const QString &status)
{
    const QDateTime now = clock::now();
    restoreLog().write({module, trMsg(QStringLiteral("Manuel")), logDateText(now.date()), logTimeText(now.time()),
                        source, params.targetFolder, status});
}

void TRestoreDosyaF::GeriYukle()
{
    if (QFileInfo::exists(params.targetFolder) && !params.overwrite) {
        endSteps(false);
        return;
    }
    startElapsedTimer();
    const QString module = trMsg(QStringLiteral("Geri Yukleme"))
                           + trMsg(params.zipMode ? QStringLiteral("(ZIP)") : QStringLiteral("Dosya"));
    const QString source = params.zipMode ? params.archive : params.sourceFolder;
    const QString failedText = trMsg(QStringLiteral("Basarisiz."));
    try {
        makePath(params.targetFolder);
    } catch (const Error &e) {
        writeLog(module, source, failedText + e.text());
        endSteps(true);
        return;
    }

    if (params.zipMode) {
        m_bar->setMaximum(10001);
        m_bar->setPosition(1);
        try {
            const UnpackResult r = unpackZip(params.archive, params.targetFolder, codepage::encode(params.password),
                                             params.overwrite, [this](qint64 done, qint64 total) {
                                                 if (total > 0)
                                                     m_bar->setPosition(1 + int(std::lround(done * 10000.0 / total)));
                                                 pump();
                                             });
            m_bar->setPosition(1);
            pump();
            if (!r.refused.isEmpty()) {
                writeLog(module, source,
                         failedText + trMsg(QStringLiteral("Hedef klasorun disina yazacak girdiler reddedildi:")) + u' '
                             + r.refused.join(QStringLiteral(", ")));
                endSteps(true);
                return;
            }
        } catch (const Error &e) {
            pump();
            writeLog(module, source, failedText + e.text());
            endSteps(true);
            return;
        }
        writeLog(module, source, trMsg(QStringLiteral("Basarili")));
        endSteps(false);
        return;
    }

    if (m_files.sources.isEmpty() && m_files.unreadable.isEmpty()) {
        endSteps(false);
        return;
    }
    const int failed = copyWithProgress(m_files, params.overwrite);
    writeLog(module, source, copyStatus(failed, m_files.unreadable));
    endSteps(failed > 0 || !m_files.unreadable.isEmpty());
}

void TRestoreDosyaF::endSteps(bool failed)
{
    finishRun();
    stopElapsedTimer();
    m_bar->setPosition(0);
    m_bar->setStatement(trMsg(QStringLiteral("Geri Yukleme"))
                        + trMsg(failed ? QStringLiteral(" Islemi Basarisiz.") : QStringLiteral(" Islemi Tamamlandi.")));
    const QString logFailure = restoreLog().takeFailure();
    if (!logFailure.isEmpty())
        Dialogs::error(logFailure);
}

} // namespace kx
