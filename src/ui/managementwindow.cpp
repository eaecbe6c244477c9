#include "ui/managementwindow.h"
#include "ui/accessiblenames.h"
#include "platform/files.h"
#include "core/clock.h"
#include "core/service.h"
#include "ui/formheader.h"
#include "platform/kxerror.h"
#include "runs/lastruns.h"
#include "runs/oplog.h"
#include "runs/runcontroller.h"
#include "ui/aboutbox.h"
#include "ui/appicon.h"
#include "ui/anaform.h"
#include "ui/dialogs.h"
#include "ui/jobeditor.h"
#include "ui/listcolumns.h"
#include "app/joblistmodel.h"
#include "ui/toolsmenu.h"
#include "app/manualrun.h"
#include "ui/restorewindow.h"
#include "ui/settingsdialog.h"
#include "ui/versioncheckwindow.h"
#include "ui_managementwindow.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

namespace kx {

namespace {

QAction *addItem(QMenu *menu, const QString &text, const char *name)
{
    QAction *a = menu->addAction(text);
    a->setObjectName(QLatin1String(name));
    return a;
}

} // namespace

TK_YedeklemeF::TK_YedeklemeF(TAnaFormF &main, QWidget *parent)
    : QMainWindow(parent), m_main(main), m_ui(std::make_unique<Ui::TK_YedeklemeF>())
{
    m_ui->setupUi(this);
    PageControl1 = m_ui->PageControl1;
    TabSheet1 = m_ui->TabSheet1;
    TabSheet2 = m_ui->TabSheet2;
    sTabSheetLog = m_ui->sTabSheetLog;
    LogPages = m_ui->LogPages;
    TabSheetYedeklemeLog = m_ui->TabSheetYedeklemeLog;
    TabSheetGeriYuklemeLog = m_ui->TabSheetGeriYuklemeLog;
    ListBackup = m_ui->ListBackup;
    ListRestore = m_ui->ListRestore;
    ButtonTemizleYedek = m_ui->ButtonTemizleYedek;
    ButtonTemizleGeri = m_ui->ButtonTemizleGeri;
    sPanelBottom = m_ui->sPanelBottom;
    ButtonYeni = m_ui->ButtonYeni;
    ButtonAc = m_ui->ButtonAc;
    ButtonSil = m_ui->ButtonSil;
    ButtonSimdiYedekle = m_ui->ButtonSimdiYedekle;
    LabelSaat = m_ui->LabelSaat;
    MenuYedekleme = m_ui->MenuYedekleme;
    MenuAraclar = m_ui->MenuAraclar;
    MenuYardim = m_ui->MenuYardim;
    ActionYeniYedek = m_ui->YeniYedekOlustur1;
    ActionYedekAc = m_ui->YedekAc1;
    ActionYedekle = m_ui->Yedekleme1;
    ActionGeriYukleme = m_ui->GeriYukleme1;
    ActionAraclarDuzenle = m_ui->AraclarMenusunuDuzenle1;
    ActionProgramAyarlari = m_ui->ProgramArayuzDili1;
    ActionYardim = m_ui->YedeklemeYardim1;
    ActionIrtibat = m_ui->Irtibat1;
    ActionHakkinda = m_ui->Hakkinda1;
    ActionWeb = m_ui->WebSitesi1;
    ActionSurum = m_ui->SurumKontrol1;
    ActionKapat = m_ui->Kapat1;
    m_ui->Header->setText(QLatin1String(kApplicationTitle));
    ActionWeb->setText(QLatin1String(kMakerWebAddress));

    const auto list = [&main](JobKind kind) {
        return [&main, kind] { return kind == JobKind::Folder ? main.MemoDOSYAYD : main.MemoFBYEDEK; };
    };
    const QString folder = main.ProgramFolder();
    m_folder.kind = JobKind::Folder;
    m_folder.model = new JobListModel(JobKind::Folder, JobListModel::Owner::ManagementWindow, folder,
                                      list(JobKind::Folder), [&main] { main.DosyaYukle(); }, this);
    m_firebird.kind = JobKind::Firebird;
    m_firebird.model = new JobListModel(JobKind::Firebird, JobListModel::Owner::ManagementWindow, folder,
                                        list(JobKind::Firebird), [&main] { main.DosyaYukle(); }, this);
    m_folder.search = m_ui->dosyaEditAra;
    m_folder.group = m_ui->dosyacomboGrup;
    m_folder.styleButton = m_ui->dosyaButtonGorunum;
    m_folder.view = m_ui->dosyaView;
    m_firebird.search = m_ui->fbeditAra;
    m_firebird.group = m_ui->fbcomboGrup;
    m_firebird.styleButton = m_ui->fbButtonGorunum;
    m_firebird.view = m_ui->fbView;
    setUpKindPage(m_folder, QStringLiteral("dosya"));
    setUpKindPage(m_firebird, QStringLiteral("fb"));
    // How each job has been doing: from the backup log as this program holds it, taken again when
    // a run has written its line.
    for (KindPage *p : {&m_folder, &m_firebird}) {
        p->model->setRunSource([] { return LastRuns::fromLogLines(backupLog().lines()); });
        p->model->table().setStaleCheck([this](const QString &job) { return m_main.watch().isStale(job); });
    }
    connect(&m_main.runs(), &RunController::runEnded, this, [this](quint64, RunKind kind) {
        if (kind == RunKind::FolderBackup)
            m_folder.model->refreshRuns();
        else if (kind == RunKind::FirebirdBackup)
            m_firebird.model->refreshRuns();
    });

    // The logs: their columns fit their content like the job lists'; paths and failures show whole
    // in their tooltips.
    for (QTreeWidget *list : {ListBackup, ListRestore})
        list->setTextElideMode(Qt::ElideMiddle);
    backupColumns = new ListColumns(ListBackup, ListBackup->header(), main.SettingsFolder(), ListBackup->objectName());
    restoreColumns = new ListColumns(ListRestore, ListRestore->header(), main.SettingsFolder(), ListRestore->objectName());

    connect(ButtonTemizleYedek, &QPushButton::clicked, this, guardedCommand([this] { clearLog(true); }));
    connect(ButtonTemizleGeri, &QPushButton::clicked, this, guardedCommand([this] { clearLog(false); }));

    // The bottom bar.
    connect(ButtonYeni, &QPushButton::clicked, this, guardedCommand([this] { YeniKayit(); }));
    connect(ButtonAc, &QPushButton::clicked, this, guardedCommand([this] { Ac(); }));
    connect(ButtonSil, &QPushButton::clicked, this, guardedCommand([this] { Sil(); }));
    connect(ButtonSimdiYedekle, &QPushButton::clicked, this, guardedCommand([this] { SimdiYedekle(); }));
    auto *clockTimer = new QTimer(this);
    connect(clockTimer, &QTimer::timeout, this, [this] { LabelSaat->setText(clock::timeOfDay().toString(QStringLiteral("HH:mm:ss"))); });
    clockTimer->start(1000);
    LabelSaat->setText(clock::timeOfDay().toString(QStringLiteral("HH:mm:ss")));

    // The main menu.
    connect(ActionYeniYedek, &QAction::triggered, this, guardedCommand([this] { YeniKayit(); }));
    connect(ActionYedekAc, &QAction::triggered, this, guardedCommand([this] { Ac(); }));
    connect(ActionYedekle, &QAction::triggered, this, guardedCommand([this] { SimdiYedekle(); }));
    connect(ActionGeriYukleme, &QAction::triggered, this, guardedCommand([this] { GeriYukleme(); }));
    connect(ActionAraclarDuzenle, &QAction::triggered, this, guardedCommand([this] { AraclarMenusunuDuzenle(); }));
    connect(ActionProgramAyarlari, &QAction::triggered, this, guardedCommand([this] { ProgramAyarlari(); }));
    connect(ActionYardim, &QAction::triggered, this, guardedCommand([this] { YedeklemeYardim(); }));
    connect(ActionIrtibat, &QAction::triggered, this, guardedCommand([this] { Irtibat(); }));
    connect(ActionHakkinda, &QAction::triggered, this, guardedCommand([this] { Hakkinda(); }));
    connect(ActionWeb, &QAction::triggered, this, guardedCommand([this] { WebSitesi(); }));
    connect(ActionSurum, &QAction::triggered, this, guardedCommand([this] { ProgramSurumunuKontrolEt(); }));
    connect(ActionKapat, &QAction::triggered, this, guardedCommand([this] { Kapat(); }));

    // The context menu of both job lists: a popup, which a Designer form does not hold.
    ContextMenu = new QMenu(this);
    ContextMenu->setObjectName(QStringLiteral("PopupMenuListe"));
    connect(addItem(ContextMenu, QStringLiteral("Yedeklemeyi Baslat"), "YedeklemeyiBaslat1"), &QAction::triggered, this,
            guardedCommand([this] { SimdiYedekle(); }));
    ContextMenu->addSeparator();
    connect(addItem(ContextMenu, QStringLiteral("Ac"), "Ac1"), &QAction::triggered, this, guardedCommand([this] { Ac(); }));
    ContextMenu->addSeparator();
    connect(addItem(ContextMenu, QStringLiteral("Sil"), "Sil1"), &QAction::triggered, this, guardedCommand([this] { Sil(); }));
    ContextMenu->addSeparator();
    connect(addItem(ContextMenu, QStringLiteral("Yeni Kayit"), "YeniKayit1"), &QAction::triggered, this,
            guardedCommand([this] { YeniKayit(); }));

    connect(PageControl1, &QTabWidget::currentChanged, this, guardedCommand([this] { tabChanged(); }));
    connect(LogPages, &QTabWidget::currentChanged, this, guardedCommand([this] { tabChanged(); }));

    // The editors: made for each opening, shown modally, released when closed.
    openJobEditor = [this](JobKind kind, bool newJob, const QString &name, const QString &group) {
        QStringList entries;
        QComboBox *box = page(kind).group;
        for (int i = 2; i < box->count(); ++i)
            entries.append(box->itemText(i));
        std::unique_ptr<TJobEditorF> editor;
        if (kind == JobKind::Folder)
            editor = std::make_unique<TK_DosyaYedeklemeF>(m_main, entries, this);
        else
            editor = std::make_unique<TK_FBYedeklemeF>(m_main, entries, this);
        editor->setJobToOpen(name, group, newJob);
        editor->FormShow();
        Dialogs::showModal(editor.get());
    };

    // The tools below the menu's own two entries, built before the window translates itself.
    for (int i = 0; i <= int(QStyle::SP_RestoreDefaultsButton); ++i)
        ImageList32.append(style()->standardIcon(QStyle::StandardPixmap(i)));
    // The fixed chat tool's picture: a bubble, not the style's error sign that sits at its place.
    ImageList32[kChatToolImage] = chatIcon();
    KxAraclar1 = new TKxAraclar(this);
    KxAraclar1->setObjectName(QStringLiteral("KxAraclar1"));
    KxAraclar1->SbtFileName = m_main.SettingsFolder() + QStringLiteral("AraclarSabit.Ini");
    KxAraclar1->TnmFileName = m_main.SettingsFolder() + QStringLiteral("AraclarTanim.Ini");
    KxAraclar1->MenuItem = MenuAraclar;
    KxAraclar1->ImageList = &ImageList32;
    KxAraclar1->windowTranslate = [](QObject *w) { trWindow(w); };
    KxAraclar1->messageTranslate = [](const QString &t) { return trMsg(t); };
    KxAraclar1->Caption = m_main.windowTitle();
    KxAraclar1->OnSbtClick = [this](TAraclarMenuItem *item) { guarded([this, item] { AracCalistir(item); }); };
    KxAraclar1->OnTnmClick = KxAraclar1->OnSbtClick;

    // Translated once, now, while the lists and group boxes are still empty: the user's data is
    // never taken for a text of the program. The tools menu comes after: its entries are
    // translated as they are added, and a second lookup would take a translation for a key.
    trWindow(this);
    nameControlsByLabels(this);
    KxAraclar1->AraclarYukle();
}

TK_YedeklemeF::~TK_YedeklemeF()
{
    keepColumnWidths();
}

void TK_YedeklemeF::keepColumnWidths()
{
    for (ListColumns *c : {m_folder.columns, m_firebird.columns, backupColumns, restoreColumns})
        if (c)
            c->keep();
}

void TK_YedeklemeF::hideEvent(QHideEvent *event)
{
    QMainWindow::hideEvent(event);
    keepColumnWidths();
}

void TK_YedeklemeF::setUpKindPage(KindPage &page, const QString &prefix)
{
    page.styleButton->setIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    // The style menu pops up from the tool button, which a Designer form cannot give a menu.
    page.styleMenu = new QMenu(page.styleButton);
    page.styleMenu->setObjectName(prefix + QStringLiteral("MenuGorunum"));
    auto *styles = new QActionGroup(page.styleMenu);
    const std::pair<const char *, JobListView::Style> items[] = {{"Liste", JobListView::Style::Liste},
                                                                  {"Doseme", JobListView::Style::Doseme},
                                                                  {"Simge", JobListView::Style::Simge},
                                                                  {"Ayrintilar", JobListView::Style::Ayrintilar}};
    for (const auto &[text, style] : items) {
        QAction *a = page.styleMenu->addAction(QLatin1String(text));
        a->setObjectName(prefix + QLatin1String(text));
        a->setCheckable(true);
        a->setChecked(style == JobListView::Style::Ayrintilar);
        styles->addAction(a);
        JobListView *view = page.view;
        const JobListView::Style s = style;
        connect(a, &QAction::triggered, this, [view, s] { view->setStyle(s); });
    }
    page.styleButton->setMenu(page.styleMenu);
    // A right-click opens the same menu.
    QMenu *menu = page.styleMenu;
    QToolButton *button = page.styleButton;
    connect(button, &QWidget::customContextMenuRequested, this,
            [menu, button](const QPoint &pos) { menu->popup(button->mapToGlobal(pos)); });

    page.model->table().setIcon(style()->standardIcon(QStyle::SP_FileIcon));
    page.view->setModel(&page.model->filtered());
    page.columns = new ListColumns(page.view->details(), page.view->details()->horizontalHeader(), m_main.SettingsFolder(),
                                   page.view->objectName());

    KindPage *p = &page;
    connect(page.model, &JobListModel::groupBoxRebuilt, this, [this, p] { fillGroupBox(*p); });
    connect(page.model, &JobListModel::filterApplied, this, [p] {
        p->view->selectRow(-1);
        p->columns->fit();
    });
    connect(page.group, &QComboBox::activated, this, guardedCommand([this, p] { groupPicked(*p); }));
    connect(page.search, &QLineEdit::textChanged, this, [this, p] { typeAhead(*p); });
    connect(page.search, &QLineEdit::returnPressed, this, guardedCommand([this] { Ac(); }));
    connect(page.view, &JobListView::activated, this, guardedCommand([this] { Ac(); }));
    connect(page.view, &JobListView::deleteRequested, this, guardedCommand([this] { Sil(); }));
    connect(page.view, &JobListView::contextMenuAt, this, [this](const QPoint &pos) { ContextMenu->popup(pos); });
}

void TK_YedeklemeF::dosyaListeAktar(bool rescan)
{
    m_folder.model->rebuild(rescan);
}

void TK_YedeklemeF::FBListeAktar(bool rescan)
{
    m_firebird.model->rebuild(rescan);
}

void TK_YedeklemeF::dosyaDByeAktar()
{
    m_folder.model->loadRecord();
}

void TK_YedeklemeF::FBDByeAktar()
{
    m_firebird.model->loadRecord();
}

JobKind TK_YedeklemeF::activeKind() const
{
    return PageControl1->currentWidget() == TabSheet2 ? JobKind::Firebird : JobKind::Folder;
}

bool TK_YedeklemeF::logTabActive() const
{
    return PageControl1->currentWidget() == sTabSheetLog;
}

void TK_YedeklemeF::fillGroupBox(KindPage &page)
{
    const QSignalBlocker block(page.group);
    page.group->clear();
    page.group->addItems(page.model->groupBoxItems());
    // After a rebuild the box shows no entry; whoever rebuilt sets it.
    page.group->setCurrentIndex(-1);
}

void TK_YedeklemeF::selectFirstGroup(KindPage &page)
{
    const QSignalBlocker block(page.group);
    page.group->setCurrentIndex(page.group->count() > 0 ? 0 : -1);
}

void TK_YedeklemeF::groupPicked(KindPage &page)
{
    page.model->applyGroupBox(page.group->currentText());
}

void TK_YedeklemeF::typeAhead(KindPage &page)
{
    const int row = typeAheadRow(page.view->captions(), page.search->text());
    if (row >= 0)
        page.view->selectRow(row);
}

void TK_YedeklemeF::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (event->spontaneous())
        return;
    setWindowTitle(m_main.windowTitle());
    guarded([this] {
        m_firebird.model->setShowAll(true);
        m_folder.model->setShowAll(true);
        struct Boxes {
            TK_YedeklemeF *w;
            // The first entry, "Hepsi", also after a rebuild that failed.
            ~Boxes()
            {
                w->selectFirstGroup(w->m_firebird);
                w->selectFirstGroup(w->m_folder);
            }
        } boxes{this};
        FBListeAktar(false);
        dosyaListeAktar(false);
    });
}

void TK_YedeklemeF::closeEvent(QCloseEvent *event)
{
    // Closing only hides: the window lives until the program ends.
    event->ignore();
    hide();
}

void TK_YedeklemeF::tabChanged()
{
    sPanelBottom->setVisible(!logTabActive());
    if (!logTabActive())
        return;
    // The user looks at the logs: the failures the tray warns of have been seen.
    m_main.notices().acknowledge();
    if (LogPages->currentWidget() == TabSheetYedeklemeLog)
        fillBackupLog();
    else
        fillRestoreLog();
}

void TK_YedeklemeF::fillLog(QTreeWidget *list, const QStringList &lines)
{
    list->setUpdatesEnabled(false);
    list->clear();
    QList<QTreeWidgetItem *> items;
    const auto rows = logRowsNewestFirst(lines);
    items.reserve(rows.size());
    for (const auto &cells : rows) {
        auto *item = new QTreeWidgetItem(QStringList(cells.begin(), cells.end()));
        item->setData(0, Qt::UserRole, cells[6]);
        // Source, target and status whole, however narrow their columns.
        for (int c = 4; c < list->columnCount() && c < 7; ++c)
            if (!cells[size_t(c)].isEmpty())
                item->setToolTip(c, cells[size_t(c)]);
        items.append(item);
    }
    list->addTopLevelItems(items);
    (list == ListBackup ? backupColumns : restoreColumns)->fit();
    list->setUpdatesEnabled(true);
}

void TK_YedeklemeF::fillBackupLog()
{
    fillLog(ListBackup, backupLog().lines());
}

void TK_YedeklemeF::fillRestoreLog()
{
    // Restores from the command line write the file beside this program: the list shows the
    // file as it is now. One that cannot be read leaves the copy we have.
    try {
        restoreLog().load();
    } catch (const Error &) {
    }
    fillLog(ListRestore, restoreLog().lines());
}

void TK_YedeklemeF::clearLog(bool backup)
{
    if (!Dialogs::question(this, trMsg(QStringLiteral("Soru")), trMsg(QStringLiteral("Loglari silmek istediginizden emin misiniz?")),
                           true))
        return;
    (backup ? backupLog() : restoreLog()).clear();
    (backup ? ListBackup : ListRestore)->clear();
}

int TK_YedeklemeF::openEditorOnSelection(KindPage &p, bool newJob)
{
    const int selected = p.view->selectedRow();
    const QString name = selected >= 0 ? p.model->filteredName(selected) : QString();
    const QString group =
        selected >= 0 ? p.model->filtered().index(selected, JobTable::Group).data().toString() : QString();
    if (openJobEditor)
        openJobEditor(p.kind, newJob, name, group);
    return selected;
}

void TK_YedeklemeF::YeniKayit()
{
    if (logTabActive())
        return;
    KindPage &p = page(activeKind());
    openEditorOnSelection(p, true);
    // The editor rescans the job lists itself whenever it changes the set of job files; the box
    // shows no entry afterwards.
    p.model->rebuild(false);
}

void TK_YedeklemeF::Ac()
{
    if (logTabActive())
        return;
    KindPage &p = page(activeKind());
    const int rememberedRow = std::max(openEditorOnSelection(p, false), 0);
    afterEditor(p.kind, true, rememberedRow, p.group->currentIndex());
}

void TK_YedeklemeF::afterEditor(JobKind kind, bool reselect, int rememberedRow, int rememberedGroup)
{
    KindPage &p = page(kind);
    p.model->rebuild(false);
    {
        const QSignalBlocker block(p.group);
        p.group->setCurrentIndex(rememberedGroup < p.group->count() ? rememberedGroup : -1);
    }
    if (p.group->currentIndex() >= 0)
        p.model->applyGroupBox(p.group->currentText());
    // The first row is not selected again: only a row further down is found again.
    if (!reselect || rememberedRow <= 0)
        return;
    p.view->current()->setFocus();
    p.view->selectRow(rememberedRow < p.view->rowCount() ? rememberedRow : -1);
    const int selected = p.view->selectedRow();
    if (selected >= 0)
        p.model->selectName(p.model->filteredName(selected));
}

void TK_YedeklemeF::Sil()
{
    KindPage &p = page(activeKind());
    const int selected = p.view->selectedRow();
    if (selected < 0) {
        // Shown as it stands, Turkish letters and all, without translation.
        Dialogs::info(QStringLiteral("Lütfen silmek istediğiniz kaydı seçiniz."));
        return;
    }
    const QString name = p.model->filteredName(selected);
    if (!Dialogs::question(this, trMsg(QStringLiteral("Soru")),
                           trMsg(QStringLiteral("Bu yedekleme kaydini silmek istediginizden emin misiniz?")), true))
        throw SilentStop();
    // A file that cannot be deleted stays; the rescan finds it again.
    removeFile(jobFilePath(m_main.ProgramFolder(), name, p.kind));
    p.model->rebuild(true);
    p.model->rebuild(false);
}

void TK_YedeklemeF::SimdiYedekle()
{
    KindPage &p = page(activeKind());
    const int selected = p.view->selectedRow();
    Dialogs::stopWithMessage(selected < 0, QStringLiteral("Lutfen yedeklemek istediginiz kaydi seciniz."));
    if (p.model->filteredCount() == 0) {
        Dialogs::info(trMsg(QStringLiteral("Oncelikle kaydi tamamlayiniz.")));
        return;
    }
    const QString name = p.model->filteredName(selected);
    p.model->selectName(name);
    const ManualRunResult started =
        manualRun(m_main.context(), m_main.runs(), m_main.ProgramFolder(), p.kind, p.model->record(), p.model->recordPassword(), name,
                  jobFilePath(m_main.ProgramFolder(), p.model->currentName(), p.kind));
    if (!started.refusal.isEmpty())
        Dialogs::info(started.refusal);
}

void TK_YedeklemeF::GeriYukleme()
{
    // Modal from here, released when it closes.
    TK_YedekGirF window(m_main, this);
    Dialogs::showModal(&window);
}

void TK_YedeklemeF::ProgramAyarlari()
{
    ProgramAyarlariDialog dialog(m_main.ProgramFolder(), m_main.SettingsFolder(), m_main.FSAyar, m_main.context(),
                                 m_main.Tema, m_main.windowTitle(), this);
    Dialogs::showModal(&dialog);
}

void TK_YedeklemeF::YedeklemeYardim()
{
    Dialogs::openDocument(m_main.ProgramFolder() + QStringLiteral("yardim.chm"));
}

void TK_YedeklemeF::Irtibat()
{
    Dialogs::openDocument(m_main.ProgramFolder() + QStringLiteral("yardim_irtibat.chm"));
}

void TK_YedeklemeF::Hakkinda()
{
    THakkindaF about(windowTitle(), [](QObject *w) { trWindow(w); }, [](const QString &t) { return trMsg(t); }, this);
    Dialogs::showModal(&about);
}

void TK_YedeklemeF::WebSitesi()
{
    Dialogs::openAddress(QLatin1String(kMakerWebAddress));
}

void TK_YedeklemeF::Kapat()
{
    hide();
}

void TK_YedeklemeF::AraclarMenusunuDuzenle()
{
    KxAraclar1->Caption = m_main.windowTitle();
    KxAraclar1->MenuDuzenle(this);
}

void TK_YedeklemeF::AracCalistir(TAraclarMenuItem *item)
{
    const TAraclarItems &tools = item->Fixed ? KxAraclar1->Sabitler : KxAraclar1->Tanimlar;
    if (item->ItemNo < 0 || item->ItemNo >= tools.size())
        return;
    Dialogs::startProgram(tools.at(item->ItemNo).FileName,
                          item->Fixed ? QStringLiteral("Bu programi internet sitemizdeki Araclar bolumunden veya CD nizdeki "
                                                       "KX_ARAC klasorunden kurabilirsiniz.")
                                      : QStringLiteral("Yolun dogrulugunu kontrol edip yeniden deneyiniz."));
}

void TK_YedeklemeF::ProgramSurumunuKontrolEt()
{
    TSurumKontrol check(m_main.ProgramFolder());
    check.Caption = windowTitle();
    check.windowTranslate = [](QObject *w) { trWindow(w); };
    check.messageTranslate = [](const QString &t) { return trMsg(t); };
    check.Execute(this);
}

} // namespace kx
