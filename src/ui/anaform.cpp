#include "ui/anaform.h"
#include "ui/appicon.h"
#include "core/clock.h"
#include "core/codepage.h"
#include "core/joblist.h"
#include "core/service.h"
#include "i18n/translate.h"
#include "platform/files.h"
#include "platform/kxerror.h"
#include "app/notices.h"
#include "settings/inifile.h"
#include "runs/oplog.h"
#include "runs/setup.h"
#include "settings/registry.h"
#include "ui/dialogs.h"
#include "ui/managementwindow.h"
#include "ui/restorewindow.h"
#include "ui/runnerwindow.h"
#include "ui/windowtexts.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QMenu>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QTranslator>
#include <QElapsedTimer>
#include <memory>
#include <cstdio>

namespace kx {

namespace {
std::function<bool()> g_trayProbe;
}

QStringList makerContactLines()
{
    return {QStringLiteral("KORVANEX Yazilim"), QStringLiteral("Destek: destek@korvanex.example"),
            QLatin1String(kMakerWebAddress)};
}

bool installToolkitTurkish()
{
    static QTranslator *installed = nullptr;
    if (installed)
        return true;
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QLocale(QLocale::Turkish), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    installed = translator.release();
    QCoreApplication::installTranslator(installed);
    return true;
}

void TAnaFormF::setTrayProbe(std::function<bool()> probe)
{
    g_trayProbe = std::move(probe);
}

TAnaFormF::TAnaFormF(const QString &programFolder, const QString &registryPath, QWidget *parent)
    : QWidget(parent), FSAyar(TKxStorage::programSettings()), m_registryPath(registryPath),
      m_watch(m_notices, clock::now(), QLatin1String(kVersionText)),
      m_scheduler(m_context, m_runs.running(), [this](JobKind kind, const QString &name, const JobFile &job, bool retention) {
          return kind == JobKind::Folder ? DosyaOtoYedekAyarla(name, job, retention)
                                         : FirebirdOtoYedekAyarla(name, job, retention);
      })
{
    m_programFolder = programFolder;
    if (!m_programFolder.endsWith(u'/'))
        m_programFolder += u'/';
    setObjectName(QStringLiteral("AnaFormF"));

    TimerOTO = new QTimer(this);
    TimerOTO->setObjectName(QStringLiteral("TimerOTO"));
    TimerOTO->setInterval(300000);
    connect(TimerOTO, &QTimer::timeout, this, [this] { guarded([this] { TimerOTOTimer(); }); });

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    GenelYedekleme1 = PopupMenu1->addAction(QStringLiteral("Yedekleme"));
    GenelYedekleme1->setObjectName(QStringLiteral("GenelYedekleme1"));
    GeriYkleme2 = PopupMenu1->addAction(QStringLiteral("Geri Yukleme"));
    GeriYkleme2->setObjectName(QStringLiteral("GeriYkleme2"));
    PopupMenu1->addSeparator();
    Kapat1 = PopupMenu1->addAction(QStringLiteral("Kapat"));
    Kapat1->setObjectName(QStringLiteral("Kapat1"));
    connect(GenelYedekleme1, &QAction::triggered, this, [this] { guarded([this] { GenelYedekleme1Click(); }); });
    connect(GeriYkleme2, &QAction::triggered, this, [this] { guarded([this] { GeriYkleme2Click(); }); });
    connect(Kapat1, &QAction::triggered, this, [this] { guarded([this] { Kapat1Click(); }); });

    RxTrayIcon1 = new QSystemTrayIcon(this);
    RxTrayIcon1->setObjectName(QStringLiteral("RxTrayIcon1"));
    RxTrayIcon1->setIcon(applicationIcon());
    RxTrayIcon1->setContextMenu(PopupMenu1);
    connect(RxTrayIcon1, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        if (r == QSystemTrayIcon::DoubleClick)
            guarded([this] { RxTrayIcon1DblClick(); });
    });

    // Runs show in their windows; what goes wrong at their end is told once they have ended.
    m_runs.setViewFactory([this](Run *run) {
        measure(run);
        showRunWindow(run, m_context.detailedRunners);
    });
    m_runs.setErrorDisplay([](const QString &text) { Dialogs::error(text); });
    connect(&m_runs, &RunController::runEnded, &m_scheduler, &Scheduler::runEnded);
    connect(&m_scheduler, &Scheduler::failed, this, [](const QString &text) { Dialogs::error(text); });
    // A job the scheduler could not read or record shows in the backup log beside its runs.
    m_scheduler.setLogWriter([this](JobKind kind, const QString &jobName, const QString &status) {
        OperationLog &log = backupLog();
        log.write({trMsg(kind == JobKind::Folder ? QStringLiteral("Otomatik Yedekleme") : QStringLiteral("Otomatik FB Yedekleme")),
                   jobName, logDateText(m_context.moment().serviceDate), logTimeText(clock::timeOfDay()), QString(), QString(),
                   status});
        return log.takeFailure();
    });

    // Failed backups and restores become notices: through the tray, or on standard error when
    // there is none (headless, the journal). A scheduler walk's failures make one notice. Every
    // backup line also goes into the record of the jobs' last runs.
    const auto notifyFailure = [this](const LogEntry &e, bool restore) {
        if (resultOfStatus(e.status) != RunResult::Failed)
            return;
        const QString job = restore ? e.module + u' ' + e.source : e.name;
        QMetaObject::invokeMethod(this, [this, job, status = e.status] { m_notices.failed(job, status); });
    };
    backupLog().setObserver([this, notifyFailure](const LogEntry &e) {
        QMetaObject::invokeMethod(this, [this] { m_watch.logChanged(backupLog().lines()); });
        notifyFailure(e, false);
    });
    restoreLog().setObserver([notifyFailure](const LogEntry &e) { notifyFailure(e, true); });
    m_scheduler.setJobSeen([this](JobKind kind, const QString &name, const JobFile &job) { m_watch.jobSeen(kind, name, job); });
    // A job whose earlier run was given up and still hangs in the system is not started again.
    m_scheduler.setHeldBack([this](JobKind, const QString &name) { return m_runs.heldBack(name); });
    connect(&m_runs, &RunController::runEnded, this, [this] { m_watch.runEnded(); });
    connect(&m_scheduler, &Scheduler::walkEnded, &m_notices, [this] { m_notices.setHolding(false); });
    connect(&m_notices, &NoticeBoard::notice, this, &TAnaFormF::showNotice);
    connect(&m_notices, &NoticeBoard::unseenChanged, this, &TAnaFormF::showTrayState);

    // A panel that starts after the service (a desktop session started with it) gets the icon
    // as soon as its tray is there.
    m_trayTimer = new QTimer(this);
    m_trayTimer->setInterval(5000);
    connect(m_trayTimer, &QTimer::timeout, this, &TAnaFormF::showTrayIcon);

    m_context.setServiceDate(clock::today());
    setLogFolder(m_programFolder);
    setTranslators([this](const QString &t) { return CompDilCevirMsg(t); },
                   [this](QObject *w) { CompFormDilCevir(w); });

    FormCreate();
    // The first tick comes five minutes after start-up.
    if (TimerOTO->isActive())
        TimerOTO->start();
}

TAnaFormF::~TAnaFormF()
{
    backupLog().setObserver({});
    restoreLog().setObserver({});
    // A run still at work reads the translator until the runs are gone, after this body.
    if (m_errorTexts)
        setErrorTextTranslator(nullptr);
    m_management.reset();
    setTranslators(nullptr, nullptr);
}

QString TAnaFormF::SettingsFolder() const
{
    const QString folder = m_programFolder + QStringLiteral("Data/Ini/");
    makePath(folder);
    return folder;
}

void TAnaFormF::FormCreate()
{
    try {
        // 1. Caption and tray hint.
        setWindowTitle(QLatin1String(kApplicationTitle) + u' ' + QLatin1String(kVersionText));
        RxTrayIcon1->setToolTip(QLatin1String(kApplicationTitle));
        showTrayIcon();

        // 3. Settings: restore from "Ayar.ini" and write them all back. A folder we may not write
        // into must not keep the scheduler from running, so that failure alone is only reported.
        FSAyar.setFileName(m_programFolder + QStringLiteral("Ayar.ini"));
        try {
            FSAyar.SaveValues();
        } catch (const Error &e) {
            Dialogs::error(e.text());
        }
        // The status file for monitoring, when a folder is named for it; how long a run may go
        // without progress, when set.
        const IniFile settings(FSAyar.fileName());
        m_watch.setStatusFolder(settings.readString(QLatin1String(kSection), QStringLiteral("DURUM_KLASORU"), QString()).trimmed());
        bool secondsSet = false;
        const int seconds = settings.readString(QLatin1String(kSection), QLatin1String(kNoProgressKey), QString())
                                .trimmed()
                                .toInt(&secondsSet);
        if (secondsSet && seconds > 0)
            setNoProgressTimeout(std::chrono::seconds(seconds));

        // 4. A language left for us by another program. Saving it is worth a message, not the
        // scheduler: the later steps go on.
        try {
            takeOverRegistryLanguage(FSAyar, m_registryPath);
        } catch (const Error &e) {
            Dialogs::error(e.text());
        }

        // 5., 6. Language file, then our own texts. Errors made from now on, on any thread, come
        // in the language of the file too.
        DilDosyasiYukle();
        CompFormDilCevir(this);
        // The product title in the language chosen: every window takes its title from here.
        setWindowTitle(trMsg(QLatin1String(kApplicationTitle)) + u' ' + QLatin1String(kVersionText));
        RxTrayIcon1->setToolTip(trMsg(QLatin1String(kApplicationTitle)));
        if (FileSearch1.hasImage()) {
            FileSearch1.prepareSharedLookups();
            m_errorTexts = std::make_unique<SharedErrorTranslation>(FileSearch1);
            setErrorTextTranslator(m_errorTexts.get());
        } else {
            // Without a language file the program speaks Turkish; so do the toolkit's message box
            // buttons and file dialogs, where its catalogue is installed.
            m_toolkitTexts = std::make_unique<QTranslator>();
            if (m_toolkitTexts->load(QLocale(QLocale::Turkish), QStringLiteral("qtbase"), QStringLiteral("_"),
                                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
                QCoreApplication::installTranslator(m_toolkitTexts.get());
        }

        // 7. Job lists and the scheduler timer.
        DosyaYukle();

        // 8. Detailed runner windows.
        m_context.detailedRunners = readSettingBool(FSAyar.value(QStringLiteral("SIMGE")), true);

        // 9. Theme.
        Tema.IniDizini = SettingsFolder();
        Tema.writeDefaultsIfMissing();
        Tema.AyarYukle();

        // 10. Operation logs into memory.
        backupLog().load();
        restoreLog().load();
        m_watch.logChanged(backupLog().lines());

        // 11. Runs a killed program left unfinished are told once, and their leftovers go: looked
        // for below every job's targets on a thread of its own, while the tray and the scheduler
        // go on. A run of a job waits until the check has told that job's.
        m_unfinishedCheck = std::make_unique<UnfinishedRunsCheck>(m_programFolder, MemoDOSYAYD, MemoFBYEDEK,
                                                                  m_context.moment().serviceDate);
        connect(m_unfinishedCheck.get(), &UnfinishedRunsCheck::failed, this, [](const QString &text) { Dialogs::error(text); });
        m_runs.setWorkGate(m_unfinishedCheck->gate());
        m_unfinishedCheck->start();
    } catch (const Error &e) {
        Dialogs::error(e.text());
    } catch (const std::exception &e) {
        Dialogs::error(QString::fromLocal8Bit(e.what()));
    }
}

const QStringList &TAnaFormF::RichBackup() const
{
    return backupLog().lines();
}

const QStringList &TAnaFormF::RichRestore() const
{
    return restoreLog().lines();
}

void TAnaFormF::DosyaYukle()
{
    // The timer follows the lists as far as they were built, also when a step fails.
    auto setTimer = [this] {
        if (MemoDOSYAYD.isEmpty() && MemoFBYEDEK.isEmpty())
            TimerOTO->stop();
        else if (!TimerOTO->isActive())
            TimerOTO->start();
    };
    try {
        MemoDOSYAYD = scanJobFiles(m_programFolder, JobKind::Folder);
        MemoFBYEDEK = scanJobFiles(m_programFolder, JobKind::Firebird);
        NormalizeJobFiles(m_programFolder, MemoFBYEDEK, MemoDOSYAYD);
    } catch (...) {
        setTimer();
        throw;
    }
    setTimer();
}

void TAnaFormF::DilDosyasiYukle()
{
    const QString path = languageFilePath(m_programFolder, FSAyar.value(QStringLiteral("DIL")));
    if (!QFileInfo(path).isFile())
        return;
    FileSearch1.setFilename(path);
}

QString TAnaFormF::CompDilCevirMsg(const QString &text)
{
    return kx::CompDilCevirMsg(FileSearch1, text);
}

void TAnaFormF::CompFormDilCevir(QObject *window)
{
    kx::CompFormDilCevir(FileSearch1, window);
}

void TAnaFormF::TimerOTOTimer()
{
    m_notices.setHolding(true);
    m_scheduler.tick(m_programFolder, MemoDOSYAYD, MemoFBYEDEK);
    m_watch.tick(MemoDOSYAYD, MemoFBYEDEK, clock::now());
    if (!m_scheduler.busy())
        m_notices.setHolding(false);
}

void TAnaFormF::measure(Run *run)
{
    if (run->kind() != RunKind::FolderBackup && run->kind() != RunKind::FirebirdBackup)
        return;
    // From the moment its elapsed time starts, as its window counts it.
    auto timer = std::make_shared<QElapsedTimer>();
    connect(run, &Run::elapsedStarted, this, [timer] { timer->start(); });
    connect(run, &Run::finished, this, [this, run, timer] {
        const RunDisplay &d = run->display();
        if (timer->isValid())
            m_watch.measured(d.jobName, double(timer->elapsed()) / 1000.0,
                                        d.sized ? std::optional<double>(d.bytes) : std::nullopt);
    });
}

void TAnaFormF::showNotice(const QString &title, const QString &text)
{
    showTrayState();
    if (RxTrayIcon1->isVisible()) {
        RxTrayIcon1->showMessage(title, text, QSystemTrayIcon::Warning);
        return;
    }
    for (const QString &line : text.split(u'\n'))
        std::fprintf(stderr, "%s: %s: %s\n", kApplicationTitle, qPrintable(title), qPrintable(line));
    std::fflush(stderr);
}

void TAnaFormF::showTrayState()
{
    const QStringList unseen = m_notices.unseen();
    RxTrayIcon1->setIcon(unseen.isEmpty() ? applicationIcon() : style()->standardIcon(QStyle::SP_MessageBoxWarning));
    QString tip = QLatin1String(kApplicationTitle);
    if (!unseen.isEmpty())
        tip += u'\n' + unseen.join(u'\n');
    RxTrayIcon1->setToolTip(tip);
}

quint64 TAnaFormF::DosyaOtoYedekAyarla(const QString &jobName, const JobFile &job, bool retention)
{
    return kx::DosyaOtoYedekAyarla(m_runs, m_programFolder, jobName, job, retention, m_context.moment());
}

quint64 TAnaFormF::FirebirdOtoYedekAyarla(const QString &jobName, const JobFile &job, bool retention)
{
    return kx::FirebirdOtoYedekAyarla(m_runs, m_programFolder, jobName, job, retention, m_context.moment());
}

void TAnaFormF::showTrayIcon()
{
    const bool available = g_trayProbe ? g_trayProbe() : QSystemTrayIcon::isSystemTrayAvailable();
    if (!available) {
        if (!m_trayTimer->isActive())
            m_trayTimer->start();
        return;
    }
    m_trayTimer->stop();
    RxTrayIcon1->show();
}

void TAnaFormF::RxTrayIcon1DblClick()
{
    GenelYedekleme1Click();
}

void TAnaFormF::GenelYedekleme1Click()
{
    if (!m_management)
        m_management = std::make_unique<TK_YedeklemeF>(*this);
    // Already showing: nothing happens, the lists are not built again.
    if (m_management->isVisible())
        return;
    m_management->showMaximized();
}

void TAnaFormF::GeriYkleme2Click()
{
    if (openRestoreRequestWindow) {
        openRestoreRequestWindow();
        return;
    }
    // A new window each time, not modal; it goes when it is closed.
    auto *window = new TK_YedekGirF(*this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
}

void TAnaFormF::Kapat1Click()
{
    close();
}

bool TAnaFormF::leaveWork(std::chrono::milliseconds grace)
{
    bool whole = m_runs.leave(grace) == 0;
    if (m_unfinishedCheck && !m_unfinishedCheck->leave(grace))
        whole = false;
    // A run given up earlier may still hang in the system, with everything its thread reaches.
    return whole && abandonedWorkers() == 0;
}

bool TAnaFormF::FormClose()
{
    return !m_runs.running().anyBackup();
}

void TAnaFormF::closeEvent(QCloseEvent *event)
{
    if (!FormClose()) {
        event->ignore();
        return;
    }
    event->accept();
    // exit() rather than quit(): a restore runner still open must not cancel the end.
    QCoreApplication::exit(0);
}

} // namespace kx
