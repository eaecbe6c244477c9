#include "runs/firebirdbackup.h"
#include "core/clock.h"
#include "core/service.h"
#include "platform/copyfile.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/kxerror.h"
#include "runs/messenger.h"
#include "runs/naming.h"
#include "runs/oplog.h"
#include "scheduling/retention.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QLabel>
#include <QProgressBar>
#include <sys/stat.h>

namespace kx {

namespace {

void pump()
{
    QCoreApplication::processEvents();
}

bool isLoopbackServer(const QString &server)
{
    // "127.0.0.1/3051" names a port as well.
    QHostAddress address;
    return address.setAddress(server.section(u'/', 0, 0)) && address.isLoopback();
}

// The local server usually runs as a user of its own and has to create the backup file in a
// folder this program made. Others may add entries (write and search) but not list them, and
// the sticky bit keeps them from removing or replacing what the program or the server put
// there; the parents keep whatever they had.
void openForServer(const QString &folder)
{
    ::chmod(QFile::encodeName(folder).constData(), S_ISVTX | S_IRWXU | S_IWGRP | S_IXGRP | S_IWOTH | S_IXOTH);
}

} // namespace

FirebirdLocation splitFirebirdDatabase(const QString &database)
{
    const qsizetype colon = database.indexOf(u':');
    const QString head = colon < 0 ? QString() : database.left(colon);
    if (head.size() < 2 || !head.contains(u'.'))
        return {QStringLiteral("127.0.0.1"), database, true};
    return {head, database.mid(colon + 1), isLoopbackServer(head)};
}

void runFirebirdService(const FbRequest &request, const std::function<void(const QString &)> &onLine)
{
    try {
        runFbService(request, onLine);
    } catch (const FbTimeout &e) {
        throw Error(trMsg(QStringLiteral("Firebird sunucusu (%1) %2 saniye icinde yanit vermedi."))
                        .arg(e.host())
                        .arg(e.seconds()));
    }
}

TOtoYedekFBF::TOtoYedekFBF(const QString &programFolder, QWidget *parent)
    : TFirebirdRunnerF(Kind::FirebirdBackup, true, parent), m_programFolder(programFolder)
{
    setObjectName(QStringLiteral("OtoYedekFBF"));
    LabelYedekAdi = addRow(QStringLiteral("Yedek Adi :"), false);
    LabelKaynak = addRow(QStringLiteral("Kaynak Dosya"), false);
    LabelHedef = addRow(QStringLiteral("Hedef Dizin"), false);
    LabelKapasite = addRow(QStringLiteral("Kapasite :"), true);
    addSureRow();
    // The server reports no share of the work done, only that it is alive.
    addActivityAndDoneLabel(QStringLiteral("Yedekleme Islemi Tamamlandi."));
    finishLayout();
}

void TOtoYedekFBF::YedekAyarla()
{
    LabelYedekAdi->setText(params.jobName);
    LabelKaynak->setText(params.database);
    LabelHedef->setText(params.targetFolder);

    const QString name = runFolderName(params.jobName, TarihSaatCevir(clock::today(), service().tickTime));
    m_runFolder = folderRunFolder(params.targetFolder, name, false) + u'/';
    m_runFolder2 = params.targetFolder2.isEmpty() ? QString() : folderRunFolder(params.targetFolder2, name, false) + u'/';
    m_backupFile = firebirdBackupFile(m_runFolder, params.database);

    if (LabelKapasite)
        LabelKapasite->setText(QStringLiteral(" "));
    if (sureValue())
        sureValue()->setText(QStringLiteral(" "));
    startSlideIn();
}

void TOtoYedekFBF::runWork()
{
    OtoYedekle();
}

QString TOtoYedekFBF::moduleText() const
{
    return trMsg(params.manual ? QStringLiteral("Manuel FB Yedekleme") : QStringLiteral("Otomatik FB Yedekleme"));
}

void TOtoYedekFBF::writeLog(const QString &source, const QString &target, const QString &status)
{
    backupLog().write({moduleText(), params.jobName, logDateText(service().serviceDate),
                       logTimeText(clock::timeOfDay()), source, target, status});
}

void TOtoYedekFBF::OtoYedekle()
{
    const FirebirdLocation where = splitFirebirdDatabase(params.database);
    // From here on the log shows the path without the server.
    params.database = where.database;

    if (QFileInfo::exists(m_runFolder) && !params.overwrite) {
        endRun(QString());
        return;
    }
    const bool newFolder = !QFileInfo::exists(m_runFolder);
    try {
        makePath(m_runFolder);
    } catch (const Error &e) {
        failRun(e.text());
        return;
    }
    if (newFolder && where.local)
        openForServer(m_runFolder);
    startElapsedTimer();

    try {
        runFirebirdService({FbRequest::Action::Backup, where.server, params.userName, params.password, params.database,
                            m_backupFile},
                           [this](const QString &) { ++m_outputLines; });
    } catch (const Error &e) {
        failRun(e.text());
        return;
    }
    // A server on this machine that reports success must have left the file where we look
    // (a server with a private /tmp, for one, writes somewhere else).
    if (where.local && !QFileInfo::exists(m_backupFile)) {
        failRun(trMsg(QStringLiteral("Sunucu basarili dedi ama yedek dosyasi bulunamadi:")) + u' ' + m_backupFile);
        return;
    }
    writeLog(params.database, m_backupFile, trMsg(QStringLiteral("Basarili")));

    bool failed = false;
    if (!m_runFolder2.isEmpty() && QFileInfo::exists(m_backupFile)) {
        bool folderReady = true;
        try {
            makePath(m_runFolder2);
        } catch (const Error &e) {
            // A second copy the user asked for and did not get is a failure of its own.
            folderReady = false;
            failed = true;
            writeLog(m_backupFile, m_runFolder2, trMsg(QStringLiteral("Basarisiz.")) + e.text());
        }
        if (folderReady) {
            const QString copy = m_runFolder2 + QFileInfo(m_backupFile).fileName();
            const CopyResult r = copyFile(m_backupFile, copy, params.overwrite, pump);
            failed = !r.ok && !r.existed;
            writeLog(m_backupFile, copy,
                     failed ? trMsg(QStringLiteral("Basarisiz.")) + r.error : trMsg(QStringLiteral("Basarili")));
        }
    }
    // A failed run keeps every older backup.
    if (params.retention && !failed)
        YedekSil(m_programFolder, params.jobName);
    sendToMessenger({m_backupFile, params.jobName, params.messenger.nickname, params.messenger.address,
                     params.messenger.deleteAfter, params.messenger.password});
    endRun(failed ? trMsg(QStringLiteral("Ikinci kopya alinamadi.")) : QString());
}

void TOtoYedekFBF::failRun(const QString &message)
{
    writeLog(params.database, m_backupFile, trMsg(QStringLiteral("Basarisiz.")) + message);
    endRun(message);
}

void TOtoYedekFBF::endRun(const QString &failure)
{
    endFirebirdRun(failure, trMsg(QStringLiteral("Yedekleme Islemi Basarisiz.")), backupLog());
}

} // namespace kx
