#pragma once
// The hidden main window: owner of the tray icon and its menu, the scheduler timer, the two job
// lists, the settings store, the translator, the theme manager and the in-memory logs. It is
// never shown; the program lives in the tray.

#include "i18n/filesearch.h"
#include "app/backupwatch.h"
#include "app/notices.h"
#include "runs/runcontroller.h"
#include "runs/setup.h"
#include "scheduling/scheduler.h"
#include "settings/kxstorage.h"
#include "ui/thememanager.h"
#include "version.h"

#include <QStringList>
#include <chrono>
#include <functional>
#include <memory>
#include <QWidget>

class QAction;
class QMenu;
class QSystemTrayIcon;
class QTimer;
class QTranslator;

namespace kx {

class SharedErrorTranslation;
class TK_YedeklemeF;

inline const char *const kApplicationTitle = "KORVANEX Yedekleme Servisi";

// Installs the toolkit's Turkish catalogue (message box buttons, file dialogs) for the rest of
// the process, where Debian's catalogue is installed; false when it is not there. For what is
// shown before any language is loaded (the box of a second start).
bool installToolkitTurkish();
// The maker's web address: one constant, on a domain reserved for examples, so nothing real is
// ever contacted.
inline const char *const kMakerWebAddress = "https://www.korvanex.example/";
// The maker's contact lines of the about box.
QStringList makerContactLines();

class TAnaFormF : public QWidget
{
    Q_OBJECT
public:
    // programFolder: where the job files, logs and settings lie (the executable's folder).
    // registryPath: the ini file standing in for the registry value a language is taken from.
    explicit TAnaFormF(const QString &programFolder, const QString &registryPath, QWidget *parent = nullptr);
    ~TAnaFormF() override;

    // Always ends in "/".
    QString ProgramFolder() const { return m_programFolder; }
    // Program folder + "Data/Ini/", created with its parents whenever it is missing.
    QString SettingsFolder() const;

    // Lists the job files, brings older ones up to date and switches the scheduler timer on when
    // there is at least one job (off otherwise, also when a step fails).
    void DosyaYukle();
    void DilDosyasiYukle();
    QString CompDilCevirMsg(const QString &text);
    void CompFormDilCevir(QObject *window);

    // Scheduler tick.
    void TimerOTOTimer();
    // Set up a scheduled run of the job as the scheduler loaded it; the run's number, or 0.
    quint64 DosyaOtoYedekAyarla(const QString &jobName, const JobFile &job, bool retention);
    quint64 FirebirdOtoYedekAyarla(const QString &jobName, const JobFile &job, bool retention);
    Scheduler &scheduler() { return m_scheduler; }
    // The runs and the in-progress flags.
    RunController &runs() { return m_runs; }
    // The service's day, tick time and shared switches: handed to the scheduler, the runs' set-up
    // and the windows.
    ServiceContext &context() { return m_context; }
    // Failed runs and stale jobs the user has not seen yet; the tray shows them.
    NoticeBoard &notices() { return m_notices; }
    // One notice: a tray message, or lines on standard error without a tray.
    void showNotice(const QString &title, const QString &text);
    // The tray icon's warning state and the tooltip listing what is unseen.
    void showTrayState();
    // The stale-backup watch, the status file and the record of the jobs' last runs.
    BackupWatch &watch() { return m_watch; }

    // Shows the tray icon once a tray is there; until then asks again every few seconds.
    void showTrayIcon();
    // Test seam: whether a tray is there (the system is asked when none is set).
    static void setTrayProbe(std::function<bool()> probe);

    // Tray menu commands.
    void RxTrayIcon1DblClick();
    void GenelYedekleme1Click();
    void GeriYkleme2Click();
    void Kapat1Click();

    // The shutdown guard: false (and the program keeps running) while a backup runs.
    bool FormClose();
    // The program is ending (the event loop has returned): asks the runs and the start-up check
    // to stop and waits `grace` for each at most. False when a worker stuck in a system call had
    // to be left behind, now or when its run was given up: the process must then end with
    // std::_Exit.
    bool leaveWork(std::chrono::milliseconds grace);
    // The start-up check for runs a killed program left unfinished (null when the start failed
    // before it).
    UnfinishedRunsCheck *unfinishedRunsCheck() const { return m_unfinishedCheck.get(); }

    QStringList MemoDOSYAYD;
    QStringList MemoFBYEDEK;
    // The in-memory copies of the backup and restore logs.
    const QStringList &RichBackup() const;
    const QStringList &RichRestore() const;
    TFileSearch FileSearch1;
    TKxStorage FSAyar;
    ThemeManager Tema;

    QTimer *TimerOTO;
    QSystemTrayIcon *RxTrayIcon1;
    QMenu *PopupMenu1;
    QAction *GenelYedekleme1;
    QAction *GeriYkleme2;
    QAction *Kapat1;

    // The management window: made on first demand, then only hidden and shown again.
    TK_YedeklemeF *managementWindow() const { return m_management.get(); }
    // Test seam: when set, "Geri Yukleme" of the tray calls this instead of opening a restore
    // request window.
    std::function<void()> openRestoreRequestWindow;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void FormCreate();
    // Keeps how long a backup run took and how much it backed up, for the status file.
    void measure(Run *run);

    QString m_programFolder;
    QString m_registryPath;
    // Error texts made on the runs' threads are translated through this; it outlives the runs.
    std::unique_ptr<SharedErrorTranslation> m_errorTexts;
    // The toolkit's own texts (standard buttons, file dialogs) in Turkish while the program's are.
    std::unique_ptr<QTranslator> m_toolkitTexts;
    ServiceContext m_context;
    NoticeBoard m_notices;
    BackupWatch m_watch;
    RunController m_runs;
    std::unique_ptr<UnfinishedRunsCheck> m_unfinishedCheck;
    Scheduler m_scheduler;
    QTimer *m_trayTimer = nullptr;
    std::unique_ptr<TK_YedeklemeF> m_management;
};

} // namespace kx
