#pragma once
// The management window (TK_YedeklemeF): the job lists of both kinds with their group filter,
// type-ahead search and four view styles, the operation logs, the commands that create, open,
// delete and run a job by hand, and the menus. Created on first demand, then only hidden. Its
// layout and main menu come from managementwindow.ui; the popup menus are built here.

#include "core/joblist.h"
#include "ui/joblistview.h"

#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <functional>
#include <memory>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTabWidget;
class QToolButton;
class QTreeWidget;

namespace kx {

namespace Ui {
class TK_YedeklemeF;
}

class JobListModel;
class ListColumns;
class TAnaFormF;
class TKxAraclar;
class TAraclarMenuItem;

class TK_YedeklemeF : public QMainWindow
{
    Q_OBJECT
public:
    explicit TK_YedeklemeF(TAnaFormF &main, QWidget *parent = nullptr);
    ~TK_YedeklemeF() override;

    // What one job kind's tab holds.
    struct KindPage {
        JobKind kind;
        JobListModel *model = nullptr;
        QLineEdit *search = nullptr;   // dosyaEditAra, fbeditAra
        QComboBox *group = nullptr;    // dosyacomboGrup, fbcomboGrup
        QToolButton *styleButton = nullptr;
        QMenu *styleMenu = nullptr;
        JobListView *view = nullptr;   // dosyaView, fbView
        ListColumns *columns = nullptr;
    };
    KindPage &page(JobKind kind) { return kind == JobKind::Folder ? m_folder : m_firebird; }
    JobListModel &model(JobKind kind) { return *page(kind).model; }

    // Tabs.
    QTabWidget *PageControl1;
    QWidget *TabSheet1;   // "Dosya Yedekleme"
    QWidget *TabSheet2;   // "Firebird Yedekleme"
    QWidget *sTabSheetLog; // "Bildirimler"
    QTabWidget *LogPages;
    QWidget *TabSheetYedeklemeLog;
    QWidget *TabSheetGeriYuklemeLog;
    QTreeWidget *ListBackup;
    QTreeWidget *ListRestore;
    QPushButton *ButtonTemizleYedek;
    QPushButton *ButtonTemizleGeri;
    // Bottom bar.
    QWidget *sPanelBottom;
    QPushButton *ButtonYeni;
    QPushButton *ButtonAc;
    QPushButton *ButtonSil;
    QPushButton *ButtonSimdiYedekle;
    QLabel *LabelSaat;
    // Menus.
    QMenu *MenuYedekleme;
    QMenu *MenuAraclar;
    QMenu *MenuYardim;
    QMenu *ContextMenu;
    QAction *ActionYeniYedek, *ActionYedekAc, *ActionYedekle, *ActionGeriYukleme;
    QAction *ActionAraclarDuzenle;
    QAction *ActionProgramAyarlari, *ActionYardim, *ActionIrtibat, *ActionHakkinda, *ActionWeb, *ActionSurum,
        *ActionKapat;

    // The kind the commands act on: the Firebird tab means Firebird, every other tab folders.
    JobKind activeKind() const;
    bool logTabActive() const;

    // The rebuilds of the two kinds (with or without a rescan of the job files) and the loads of
    // their current job records.
    void dosyaListeAktar(bool rescan);
    void FBListeAktar(bool rescan);
    void dosyaDByeAktar();
    void FBDByeAktar();

    // Commands.
    void YeniKayit();
    void Ac();
    void Sil();
    void SimdiYedekle();
    void GeriYukleme();
    void ProgramAyarlari();
    void YedeklemeYardim();
    void Irtibat();
    void Hakkinda();
    void WebSitesi();
    void Kapat();
    // The tools menu's editor, and the check for a newer version of the program.
    void AraclarMenusunuDuzenle();
    void ProgramSurumunuKontrolEt();
    // A tool of the "&Araclar" menu started: its program, or the message that it is not there.
    void AracCalistir(TAraclarMenuItem *item);

    // The tools of the "&Araclar" menu and the menu's images (32 by 32); the fixed chat tool's
    // image is the one at kChatToolImage.
    static constexpr int kChatToolImage = 11;
    TKxAraclar *KxAraclar1;
    QList<QIcon> ImageList32;
    // The log lists, newest first, from the in-memory logs.
    void fillBackupLog();
    void fillRestoreLog();
    void clearLog(bool backup);

    // The job editor of a kind, shown modally: on a new job, or on the job of the given name and
    // group. The editors plug in here.
    std::function<void(JobKind kind, bool newJob, const QString &name, const QString &group)> openJobEditor;

    // The columns of the two log lists (their widths are kept like those of the job lists).
    ListColumns *backupColumns = nullptr;
    ListColumns *restoreColumns = nullptr;
    // Keeps the column widths the user has changed.
    void keepColumnWidths();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void setUpKindPage(KindPage &page, const QString &prefix);
    void fillGroupBox(KindPage &page);
    void selectFirstGroup(KindPage &page);
    void groupPicked(KindPage &page);
    void typeAhead(KindPage &page);
    // Opens the job editor on the selected row's job (its name and group) or on a new job; the
    // selected row, -1 when none.
    int openEditorOnSelection(KindPage &page, bool newJob);
    void afterEditor(JobKind kind, bool reselect, int rememberedRow, int rememberedGroup);
    void tabChanged();
    void fillLog(QTreeWidget *list, const QStringList &lines);

    TAnaFormF &m_main;
    const std::unique_ptr<Ui::TK_YedeklemeF> m_ui;
    KindPage m_folder;
    KindPage m_firebird;
};

} // namespace kx
