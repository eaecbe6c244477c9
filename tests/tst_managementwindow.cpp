// The management window: what it lists when shown, its commands and their messages, the logs,
// and the manual run of a job.
#include "testfiles.h"
#include "core/clock.h"
#include "core/daytime.h"
#include "core/service.h"
#include "platform/files.h"
#include "runs/oplog.h"
#include "runs/runcontroller.h"
#include "runs/runparams.h"
#include "ui/aboutbox.h"
#include "ui/anaform.h"
#include "ui/dialogs.h"
#include "ui/jobeditor.h"
#include "app/joblistmodel.h"
#include "ui/managementwindow.h"
#include "ui/runnerwindow.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

using namespace kx;
using namespace kxtest;

class TestManagementWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir *m_dir = nullptr;
    QString m_program;
    std::unique_ptr<TAnaFormF> m_form;

    TK_YedeklemeF *open()
    {
        m_form = std::make_unique<TAnaFormF>(m_program, QString());
        m_form->GenelYedekleme1Click();
        return m_form->managementWindow();
    }
    void job(const QString &name, const QByteArray &text) { put(m_program + "/" + name, text); }
    static QStringList shownNames(TK_YedeklemeF::KindPage &p) { return p.view->captions(); }

private slots:
    void init()
    {
        Dialogs::setScripted(true);
        TRunnerF::setTimings(0, 0, 1000);
        m_dir = new QTemporaryDir;
        m_program = m_dir->filePath("program");
        QVERIFY(QDir().mkpath(m_program));
        put(m_dir->filePath("kaynak/a.txt"), "a");
        const QByteArray common = "PERYOT=1\r\nUNETYEDEK=False\r\nDOSYA_TURU1=*.*\r\nKAYNAK_DIZIN=" +
                                  m_dir->filePath("kaynak").toUtf8() + "\r\nHEDEF_DIZIN=" +
                                  m_dir->filePath("hedef").toUtf8() + "\r\n";
        job("Bir.nyd", "AKTIF=True\r\nGRUBU=Muhasebe\r\nYEDEK_ZAMANI=1\r\n" + common);
        job("Iki.nyd", "AKTIF=False\r\nGRUBU=Satis\r\nYEDEK_ZAMANI=2\r\nYEDEKSIL=2\r\n" + common);
        job("Uc.nyd", "AKTIF=True\r\nYEDEK_ZAMANI=1\r\nYEDEKSIL=1\r\nZIP_YEDEKLE=True\r\nMSN_FILEDELETE=TRUE\r\n" + common);
        job("Stok.fyd", "AKTIF=True\r\nPERYOT=1\r\nUNETYEDEK=False\r\nKAYNAK_DOSYA=/yok/stok.fdb\r\nHEDEF_DIZIN=" +
                            m_dir->filePath("hedef").toUtf8() + "\r\n");
    }
    void cleanup()
    {
        m_form.reset();
        delete m_dir;
        m_dir = nullptr;
        clock::setNow(QDateTime());
        Dialogs::takeShown();
    }

    void firstShowAndShowAgain()
    {
        TK_YedeklemeF *w = open();
        QCOMPARE(w->windowTitle(), QStringLiteral("KORVANEX Yedekleme Servisi s3.02.11"));
        QCOMPARE(w->PageControl1->currentWidget(), w->TabSheet1);
        QCOMPARE(w->LogPages->currentWidget(), w->TabSheetYedeklemeLog);
        auto &folder = w->page(JobKind::Folder);
        auto &fb = w->page(JobKind::Firebird);
        QCOMPARE(shownNames(folder), QStringList({"Bir.nyd", "Iki.nyd", "Uc.nyd"}));
        QCOMPARE(shownNames(fb), QStringList({"Stok.fyd"}));
        QCOMPARE(folder.group->currentText(), QStringLiteral("Hepsi"));
        QCOMPARE(fb.group->currentText(), QStringLiteral("Hepsi"));
        QCOMPARE(folder.view->style(), JobListView::Style::Ayrintilar);
        QCOMPARE(fb.view->style(), JobListView::Style::Ayrintilar);
        QCOMPARE(folder.view->details()->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Yedek Adi"));
        QCOMPARE(folder.view->selectedRow(), -1);

        // Pick a group, change the style and the tab, hide and show again.
        folder.group->setCurrentIndex(folder.group->findText("Satis"));
        emit folder.group->activated(folder.group->currentIndex());
        QCOMPARE(shownNames(folder), QStringList({"Iki.nyd"}));
        folder.view->setStyle(JobListView::Style::Simge);
        w->PageControl1->setCurrentWidget(w->TabSheet2);
        w->close();
        QVERIFY(!w->isVisible());
        m_form->RxTrayIcon1DblClick();
        QVERIFY(w->isVisible());
        QCOMPARE(folder.group->currentText(), QStringLiteral("Hepsi"));
        QCOMPARE(shownNames(folder), QStringList({"Bir.nyd", "Iki.nyd", "Uc.nyd"}));
        QCOMPARE(w->PageControl1->currentWidget(), w->TabSheet2);
        QCOMPARE(folder.view->style(), JobListView::Style::Simge);
        // Showing while shown builds nothing again.
        job("Dort.nyd", "AKTIF=True\r\n");
        m_form->DosyaYukle();
        m_form->RxTrayIcon1DblClick();
        QCOMPARE(shownNames(folder).size(), 3);
    }

    // The window is translated once, when it is made: column captions and menus are, the
    // user's group names are not.
    void translatedOnceAndNeverTheUsersData()
    {
        put(m_program + "/Language/english.lng",
            "english\r\nYedek Adi=Job Name\r\nMuhasebe=Accounting\r\nHepsi=All\r\nYedekleme=Backup\r\n"
            "Job Name=twice\r\n");
        put(m_program + "/Ayar.ini", "[KxStored]\r\nDIL=english\r\n");
        TK_YedeklemeF *w = open();
        auto &folder = w->page(JobKind::Folder);
        QCOMPARE(folder.view->details()->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Job Name"));
        QCOMPARE(w->MenuYedekleme->title(), QStringLiteral("Backup"));
        QCOMPARE(folder.group->itemText(0), QStringLiteral("All"));
        QVERIFY(folder.group->findText("Muhasebe") >= 0);
        QCOMPARE(folder.group->findText("Accounting"), -1);
        // Shown again: nothing is translated a second time.
        w->close();
        m_form->RxTrayIcon1DblClick();
        QCOMPARE(folder.view->details()->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Job Name"));
    }

    void typeAheadAndEnter()
    {
        TK_YedeklemeF *w = open();
        auto &folder = w->page(JobKind::Folder);
        folder.search->setText("uc");
        QCOMPARE(folder.view->selectedRow(), 2);
        folder.search->setText("");
        QCOMPARE(folder.view->selectedRow(), 0);
        // Enter in the search box opens the job selected in the list.
        QStringList opened;
        w->openJobEditor = [&](JobKind kind, bool isNew, const QString &name, const QString &group) {
            opened.append(QStringLiteral("%1 %2 %3 %4").arg(int(kind)).arg(isNew).arg(name, group));
        };
        folder.search->setText("ik");
        emit folder.search->returnPressed();
        QCOMPARE(opened, QStringList({"0 0 Iki.nyd Satis"}));
    }

    // The keyboard on a job list: Tab and Shift+Tab leave it for the controls around it, the
    // arrow keys move between rows, Enter opens the selected job and Delete asks before deleting.
    void keysOnAJobList_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("leavesTheList");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("opened");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("deleted");
        QTest::newRow("Tab") << int(Qt::Key_Tab) << int(Qt::NoModifier) << "" << true << 1 << "" << false << false;
        QTest::newRow("Shift+Tab") << int(Qt::Key_Backtab) << int(Qt::ShiftModifier) << "" << true << 1 << "" << false << false;
        QTest::newRow("Down") << int(Qt::Key_Down) << int(Qt::NoModifier) << "" << false << 2 << "" << false << false;
        QTest::newRow("Enter") << int(Qt::Key_Return) << int(Qt::NoModifier) << "" << false << 1 << "Iki.nyd" << false << false;
        QTest::newRow("Delete, yes") << int(Qt::Key_Delete) << int(Qt::NoModifier) << "yes" << false << -1 << "" << true << true;
        QTest::newRow("Delete, no") << int(Qt::Key_Delete) << int(Qt::NoModifier) << "no" << false << 1 << "" << true << false;
    }
    void keysOnAJobList()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, answer);
        TK_YedeklemeF *w = open();
        QApplication::setActiveWindow(w);
        QVERIFY(QTest::qWaitForWindowActive(w));
        auto &folder = w->page(JobKind::Folder);
        QString opened;
        w->openJobEditor = [&](JobKind, bool, const QString &name, const QString &) { opened = name; };
        QTableView *list = folder.view->details();
        list->setFocus();
        folder.view->selectRow(1);
        QTRY_COMPARE(QApplication::focusWidget(), list);
        if (!answer.isEmpty())
            Dialogs::queueAnswer(answer);
        Dialogs::takeShown();
        QTest::keyClick(list, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QTEST(QApplication::focusWidget() != list, "leavesTheList");
        QTEST(folder.view->selectedRow(), "selected");
        QTEST(opened, "opened");
        const QList<Dialogs::Shown> shown = Dialogs::takeShown();
        QTEST(!shown.isEmpty() && shown.first().text == QStringLiteral("Bu yedekleme kaydini silmek istediginizden emin misiniz?"),
              "asked");
        QTEST(!QFile::exists(m_program + "/Iki.nyd"), "deleted");
    }

    // The two last columns of both job lists: when each job last ran and how, from the backup log
    // (the job file's last run when the log has none); a run that ends refreshes them.
    void lastRunColumns()
    {
        job("Bir.nyd", "AKTIF=True\r\nSON_YEDEK_GUNU=45295\r\nSON_YEDEK_SAATI=0,5\r\n");
        put(m_program + "/backup2.kxk",
            "MODUL=Otomatik Yedekleme|YEDEKADI=Iki.nyd|TARIH=05.01.2024|SAAT=22:00:04|KAYNAK=/k|HEDEF=/h/1|DURUMU=Basarili\r\n"
            "MODUL=Otomatik Yedekleme|YEDEKADI=Iki.nyd|TARIH=06.01.2024|SAAT=22:00:04|KAYNAK=/k|HEDEF=/h/2|DURUMU=Basarisiz.Disk dolu\r\n"
            "MODUL=Otomatik FB Yedekleme|YEDEKADI=Stok.fyd|TARIH=06.01.2024|SAAT=23:10:00|KAYNAK=/db|HEDEF=/h/s.fbk|DURUMU=Basarili\r\n");
        TK_YedeklemeF *w = open();
        const auto cell = [w](JobKind kind, int row, int column, int role = Qt::DisplayRole) {
            return w->page(kind).view->details()->model()->index(row, column).data(role).toString();
        };
        const auto header = [w](int column) {
            return w->page(JobKind::Folder).view->details()->model()->headerData(column, Qt::Horizontal).toString();
        };
        QCOMPARE(header(JobTable::LastRun), QStringLiteral("Son Yedekleme"));
        QCOMPARE(header(JobTable::Result), QStringLiteral("Sonuc"));
        QCOMPARE(JobTable::Result, w->page(JobKind::Folder).view->details()->model()->columnCount() - 1);
        // Bir: only its job file knows a run; Iki failed last; Uc never ran; Stok succeeded.
        QCOMPARE(cell(JobKind::Folder, 0, JobTable::LastRun), QStringLiteral("04.01.2024 12:00"));
        QCOMPARE(cell(JobKind::Folder, 0, JobTable::Result), QString());
        QCOMPARE(cell(JobKind::Folder, 1, JobTable::LastRun), QStringLiteral("06.01.2024 22:00"));
        QCOMPARE(cell(JobKind::Folder, 1, JobTable::Result), QStringLiteral("Basarisiz"));
        QCOMPARE(cell(JobKind::Folder, 1, JobTable::Result, Qt::ToolTipRole),
                 QStringLiteral("Basarisiz.Disk dolu\nSon basarili yedekleme: 05.01.2024 22:00"));
        QCOMPARE(cell(JobKind::Folder, 2, JobTable::LastRun), QString());
        QCOMPARE(cell(JobKind::Firebird, 0, JobTable::Result), QStringLiteral("Basarili"));

        // A run of Iki ends well: its row says so without the window being shown again.
        backupLog().write({"Manuel Yedekleme", "Iki.nyd", "07.01.2024", "08:15:00", "/k", "/h/3", "Basarili"});
        emit m_form->runs().runEnded(1, RunKind::FolderBackup);
        QCOMPARE(cell(JobKind::Folder, 1, JobTable::LastRun), QStringLiteral("07.01.2024 08:15"));
        QCOMPARE(cell(JobKind::Folder, 1, JobTable::Result), QStringLiteral("Basarili"));
        // Two days on without a success, the stale watch's verdict shows beside the result.
        JobFile iki = JobFile::load(m_program + "/Iki.nyd");
        iki.setValue("AKTIF", "True");
        iki.setValue("YEDEK_ZAMANI", "2");
        m_form->watch().jobSeen(JobKind::Folder, "Iki.nyd", iki);
        m_form->watch().logChanged(backupLog().lines());
        m_form->watch().tick({"Iki.nyd"}, {}, QDateTime(QDate(2024, 1, 9), QTime(9, 0)));
        w->page(JobKind::Folder).model->refreshRuns();
        QCOMPARE(cell(JobKind::Folder, 1, JobTable::Result), QStringLiteral("Basarili - Gecikmis"));
        QCOMPARE(cell(JobKind::Folder, 1, JobTable::Result, Qt::ToolTipRole),
                 QStringLiteral("Basarili\nUzun suredir basarili yedek alinamadi."));
    }

    // Columns fit their content, the widest cut so that all are in sight, the last one takes what
    // is left; widths the user sets are kept in a file of their own and found at the next start,
    // and Ayar.ini stays as it was.
    void columnWidthsFitAndAreKept()
    {
        const QByteArray longTarget = "/var/backups/" + QByteArray("cok-uzun-bir-klasor-adi/").repeated(20) + "son";
        job("Bir.nyd", "AKTIF=True\r\nHEDEF_DIZIN=" + longTarget + "\r\n");
        {
            TK_YedeklemeF *w = open();
            w->resize(1000, 600);
            w->page(JobKind::Folder).model->rebuild(false);
            QTableView *list = w->page(JobKind::Folder).view->details();
            QHeaderView *header = list->horizontalHeader();
            QVERIFY(header->stretchLastSection());
            QCOMPARE(header->sectionResizeMode(0), QHeaderView::Interactive);
            // The caption "Otomatik Yedekleme" is whole, the long target is cut so that every column,
            // the last one too, is in sight.
            QVERIFY(header->sectionSize(JobTable::Active) >= list->fontMetrics().horizontalAdvance("Otomatik Yedekleme"));
            QVERIFY(header->sectionSize(JobTable::Target) < list->fontMetrics().horizontalAdvance(QString::fromUtf8(longTarget)));
            QVERIFY(header->sectionViewportPosition(JobTable::Result) + 20 < list->viewport()->width());
            QVERIFY(header->length() <= list->viewport()->width());
            QCOMPARE(list->model()->index(0, JobTable::Target).data(Qt::ToolTipRole).toString(), QString::fromUtf8(longTarget));
            header->resizeSection(JobTable::Group, 222);
            w->close();
        }
        const QByteArray settings = contents(m_program + "/Ayar.ini");
        m_form.reset();
        TK_YedeklemeF *w = open();
        QCOMPARE(w->page(JobKind::Folder).view->details()->horizontalHeader()->sectionSize(JobTable::Group), 222);
        QCOMPARE(contents(m_program + "/Ayar.ini"), settings);
        QVERIFY(contents(m_program + "/Data/Ini/Sutunlar.ini").contains("dosyaView="));
    }

    // After "Ac" on the third row the third row is selected again; on the first row, none.
    void openReselectsTheRow_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("after");
        QTest::newRow("third row") << 2 << 2;
        QTest::newRow("first row") << 0 << -1;
    }
    void openReselectsTheRow()
    {
        QFETCH(int, row);
        QFETCH(int, after);
        TK_YedeklemeF *w = open();
        auto &folder = w->page(JobKind::Folder);
        int modeDuring = 99;
        w->openJobEditor = [&](JobKind, bool newJob, const QString &, const QString &) { modeDuring = newJob ? -1 : 0; };
        folder.view->selectRow(row);
        w->ButtonAc->click();
        QCOMPARE(modeDuring, 0);
        QCOMPARE(folder.view->selectedRow(), after);
        if (after >= 0)
            QCOMPARE(folder.model->currentName(), QStringLiteral("Uc.nyd"));
        // "Yeni Kayit" with a group picked: afterwards the box shows no entry.
        folder.group->setCurrentIndex(folder.group->findText("Satis"));
        emit folder.group->activated(folder.group->currentIndex());
        w->ButtonYeni->click();
        QCOMPARE(modeDuring, -1);
        QCOMPARE(folder.group->currentIndex(), -1);
    }

    // "Yeni Kayit" through the real editor: the job saved there is listed when it has closed.
    void newJobThroughTheEditor()
    {
        TK_YedeklemeF *w = open();
        int groupEntries = -1;
        Dialogs::setModalHandler([this, &groupEntries](QDialog *d) -> int {
            auto *e = qobject_cast<TJobEditorF *>(d);
            if (!e)
                return 0;
            groupEntries = e->DBComboBox1->count();
            e->record().set("KAYNAK_DIZIN", m_dir->filePath("kaynak"));
            e->EditYEDEKNAME->setText("Yeni");
            guarded([e] { e->Kaydet(); });
            return 1;
        });
        w->ButtonYeni->click();
        // The editor copied the group entries of the management window, without the first two.
        QCOMPARE(groupEntries, 2);
        QVERIFY(QFile::exists(m_program + "/Yeni.nyd"));
        QCOMPARE(shownNames(w->page(JobKind::Folder)), QStringList({"Bir.nyd", "Iki.nyd", "Uc.nyd", "Yeni.nyd"}));
    }

    void commandsOnTheLogTab()
    {
        TK_YedeklemeF *w = open();
        int editors = 0;
        w->openJobEditor = [&](JobKind, bool, const QString &, const QString &) { ++editors; };
        w->page(JobKind::Folder).view->selectRow(0);
        w->PageControl1->setCurrentWidget(w->sTabSheetLog);
        QVERIFY(w->sPanelBottom->isHidden());
        w->ActionYeniYedek->trigger();
        w->ActionYedekAc->trigger();
        QCOMPARE(editors, 0);
        // "Yedekleme" there runs the job selected in the folder list.
        QSignalSpy ended(&m_form->runs(), &RunController::runEnded);
        w->ActionYedekle->trigger();
        QVERIFY(ended.wait(10000));
        QCOMPARE(parseLogLine(backupLog().lines().last())[1], QStringLiteral("Bir.nyd"));
        w->PageControl1->setCurrentWidget(w->TabSheet1);
        QVERIFY(!w->sPanelBottom->isHidden());
    }

    void deleteAJob()
    {
        TK_YedeklemeF *w = open();
        auto &folder = w->page(JobKind::Folder);
        w->ButtonSil->click();
        QList<Dialogs::Shown> shown = Dialogs::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, QStringLiteral("Lütfen silmek istediğiniz kaydı seçiniz."));
        folder.view->selectRow(1);
        Dialogs::queueAnswer("no");
        w->ButtonSil->click();
        QVERIFY(QFile::exists(m_program + "/Iki.nyd"));
        QCOMPARE(shownNames(folder).size(), 3);
        shown = Dialogs::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, QStringLiteral("Bu yedekleme kaydini silmek istediginizden emin misiniz?"));
        Dialogs::queueAnswer("yes");
        w->ButtonSil->click();
        QVERIFY(!QFile::exists(m_program + "/Iki.nyd"));
        QCOMPARE(shownNames(folder), QStringList({"Bir.nyd", "Uc.nyd"}));
        QCOMPARE(m_form->MemoDOSYAYD, QStringList({"Bir.nyd", "Uc.nyd"}));
    }

    void helpFilesAndWebAddress()
    {
        TK_YedeklemeF *w = open();
        w->ActionYardim->trigger();
        QList<Dialogs::Shown> shown = Dialogs::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].title, QStringLiteral("Bilgi"));
        QCOMPARE(shown[0].text, m_program + "/yardim.chm dosyasi bulunamadi.\r\nYetkili saticinizla irtibat kurunuz.");
        put(m_program + "/yardim_irtibat.chm", "x");
        w->ActionIrtibat->trigger();
        w->ActionWeb->trigger();
        shown = Dialogs::takeShown();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[0].kind, Dialogs::Kind::Document);
        QCOMPARE(shown[0].text, m_program + "/yardim_irtibat.chm");
        QCOMPARE(shown[1].text, QLatin1String(kMakerWebAddress));
        QVERIFY(QUrl(QLatin1String(kMakerWebAddress)).host().endsWith(".example"));
        w->ActionHakkinda->trigger();
        w->ActionProgramAyarlari->trigger();
        shown = Dialogs::takeShown();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[0].kind, Dialogs::Kind::Modal);
        QCOMPARE(shown[1].text, QStringLiteral("PanelDIL"));
    }

    void logLists()
    {
        writeWholeFile(m_program + "/backup2.kxk",
                       "MODUL=eski|YEDEKADI=a|DURUMU=Basarili\r\nMODUL=yeni|YEDEKADI=b|DURUMU=Basarisiz.x\r\n");
        writeWholeFile(m_program + "/restore2.kxk", "MODUL=Geri|YEDEKADI=Manuel|DURUMU=Basarili\r\n");
        TK_YedeklemeF *w = open();
        w->PageControl1->setCurrentWidget(w->sTabSheetLog);
        QCOMPARE(w->ListBackup->topLevelItemCount(), 2);
        QCOMPARE(w->ListBackup->topLevelItem(0)->text(0), QStringLiteral("yeni")); // newest first
        QCOMPARE(w->ListBackup->topLevelItem(0)->text(6), QStringLiteral("Basarisiz.x"));
        QCOMPARE(w->ListBackup->columnCount(), 7);
        // A restore from the command line writes the file while the window is open: shown with
        // its result, the failure's reason as well.
        writeWholeFile(m_program + "/restore2.kxk", "MODUL=Geri|YEDEKADI=Manuel|DURUMU=Basarili\r\n"
                                                    "MODUL=Geri(ZIP)|YEDEKADI=Manuel|DURUMU=Basarisiz.Parola yanlis\r\n");
        w->LogPages->setCurrentWidget(w->TabSheetGeriYuklemeLog);
        QCOMPARE(w->ListRestore->columnCount(), 7);
        QCOMPARE(w->ListRestore->headerItem()->text(6), QStringLiteral("Durumu"));
        QCOMPARE(w->ListRestore->topLevelItemCount(), 2);
        QCOMPARE(w->ListRestore->topLevelItem(0)->text(6), QStringLiteral("Basarisiz.Parola yanlis"));
        QCOMPARE(w->ListRestore->topLevelItem(1)->text(1), QStringLiteral("Manuel"));
        QCOMPARE(w->ListRestore->topLevelItem(1)->text(6), QStringLiteral("Basarili"));
        QCOMPARE(w->ListRestore->topLevelItem(1)->data(0, Qt::UserRole).toString(), QStringLiteral("Basarili"));
        Dialogs::queueAnswer("no");
        w->ButtonTemizleGeri->click();
        QVERIFY(QFile::exists(m_program + "/restore2.kxk"));
        QCOMPARE(w->ListRestore->topLevelItemCount(), 2);
        Dialogs::queueAnswer("yes");
        w->ButtonTemizleGeri->click();
        QVERIFY(!QFile::exists(m_program + "/restore2.kxk"));
        QCOMPARE(w->ListRestore->topLevelItemCount(), 0);
        QVERIFY(restoreLog().lines().isEmpty());
    }

    // The manual run: refused while a backup of its kind runs (a Firebird job still starts), an
    // inactive job runs, the last-run keys are written right after the start, even when the run
    // then fails.
    void manualRun()
    {
        TK_YedeklemeF *w = open();
        auto &folder = w->page(JobKind::Folder);
        clock::setNow(QDateTime(QDate(2024, 1, 15), QTime(14, 30, 2)));
        Dialogs::takeShown();
        w->ButtonSimdiYedekle->click();
        QCOMPARE(Dialogs::takeShown().at(0).text, QStringLiteral("Lutfen yedeklemek istediginiz kaydi seciniz."));

        RunController &runs = m_form->runs();
        runs.running().set(RunKind::FolderBackup, true);
        folder.view->selectRow(1);
        w->ButtonSimdiYedekle->click();
        const QList<Dialogs::Shown> shown = Dialogs::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, QStringLiteral("Su an yedekleme yapiliyor.\r\nDaha sonra yeniden deneyiniz."));
        QVERIFY(!JobFile::load(m_program + "/Iki.nyd").contains("SON_YEDEK_GUNU"));
        QCOMPARE(m_form->context().moment().tickTime, QTime(14, 29, 57));

        w->PageControl1->setCurrentWidget(w->TabSheet2);
        w->page(JobKind::Firebird).view->selectRow(0);
        QSignalSpy ended(&runs, &RunController::runEnded);
        w->ButtonSimdiYedekle->click();
        // Right after the start the file holds the last-run keys of this moment.
        const JobFile stok = JobFile::load(m_program + "/Stok.fyd");
        QCOMPARE(stok.value("SON_YEDEK_GUNU"), formatNumber(serialDay(QDate(2024, 1, 15))));
        QCOMPARE(stok.value("SON_YEDEK_SAATI"), formatNumber(dayFraction(QTime(14, 30, 2))));
        QVERIFY(ended.wait(60000));
        const auto line = parseLogLine(backupLog().lines().last());
        QCOMPARE(line[0], QStringLiteral("Manuel FB Yedekleme"));
        QVERIFY(line[6].startsWith("Basarisiz."));
        runs.running().set(RunKind::FolderBackup, false);

        // The inactive job runs all the same, into a run folder of 14:29.
        w->PageControl1->setCurrentWidget(w->TabSheet1);
        folder.view->selectRow(1);
        w->ButtonSimdiYedekle->click();
        QVERIFY(ended.wait(10000));
        QVERIFY(QFile::exists(m_dir->filePath("hedef/Iki_nyd_20240115_1429/a.txt")));
        QCOMPARE(parseLogLine(backupLog().lines().last())[0], QStringLiteral("Manuel Yedekleme"));
    }

    void memoryOfTheAboutBox_data()
    {
        QTest::addColumn<QByteArray>("meminfo");
        QTest::addColumn<qint64>("total");
        QTest::addColumn<qint64>("used");
        QTest::newRow("usual") << QByteArray("MemTotal:       16384 kB\nMemFree:   1024 kB\nMemAvailable:    4096 kB\n")
                               << qint64(16384) * 1024 << qint64(12288) * 1024;
        QTest::newRow("no available line") << QByteArray("MemTotal: 2048 kB\n") << qint64(2048) * 1024 << qint64(0);
        QTest::newRow("nothing to read") << QByteArray() << qint64(0) << qint64(0);
    }
    void memoryOfTheAboutBox()
    {
        QFETCH(QByteArray, meminfo);
        const MemoryFigures m = memoryFromMeminfo(meminfo);
        QTEST(m.total, "total");
        QTEST(m.used, "used");
    }

    // The save-or-discard question of the windows that edit a record.
    void saveOrDiscard_data()
    {
        QTest::addColumn<bool>("editing");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("result");
        QTest::addColumn<QString>("done");
        QTest::newRow("nothing edited") << false << QString() << true << "";
        QTest::newRow("yes saves") << true << "yes" << true << "save";
        QTest::newRow("no drops") << true << "no" << true << "discard";
        QTest::newRow("cancel") << true << "cancel" << false << "";
    }
    void saveOrDiscard()
    {
        QFETCH(bool, editing);
        QFETCH(QString, answer);
        QFETCH(bool, result);
        QFETCH(QString, done);
        struct Record : EditableRecord {
            bool editing = false;
            QString done;
            bool isEditing() const override { return editing; }
            void save() override { done = "save"; }
            void discard() override { done = "discard"; }
        } record;
        record.editing = editing;
        if (!answer.isEmpty())
            Dialogs::queueAnswer(answer);
        QCOMPARE(Dialogs::saveOrDiscard(record), result);
        QCOMPARE(record.done, done);
        const QList<Dialogs::Shown> shown = Dialogs::takeShown();
        QCOMPARE(shown.size(), editing ? 1 : 0);
        if (editing)
            QCOMPARE(shown[0].text, QStringLiteral("Kart uzerindeki degisiklikleri kaydetmek ister misiniz?"));
    }

    // A stop with message tells, moves the focus and ends the command without more.
    void stopWithMessage()
    {
        QLineEdit edit;
        edit.show();
        Dialogs::stopWithMessage(false, "yok");
        QVERIFY(Dialogs::takeShown().isEmpty());
        bool after = false;
        guarded([&] {
            Dialogs::stopWithMessage(true, "Yedekleme Adini giriniz.", &edit);
            after = true;
        });
        QVERIFY(!after);
        const QList<Dialogs::Shown> shown = Dialogs::takeShown();
        QCOMPARE(shown.size(), 1); // the message, and no error display for the stop
        QCOMPARE(shown[0].title, QStringLiteral("Bilgi"));
        QCOMPARE(shown[0].text, QStringLiteral("Yedekleme Adini giriniz."));
    }

    // The values a manual run takes from the record.
    void manualRunParameters_data()
    {
        QTest::addColumn<QString>("lines");
        QTest::addColumn<bool>("retention");
        QTest::addColumn<bool>("zip");
        QTest::addColumn<bool>("deleteAfter");
        QTest::addColumn<bool>("overwrite");
        QTest::newRow("mode 2, daily") << "YEDEKSIL=2|YEDEK_ZAMANI=2" << false << false << false << false;
        QTest::newRow("mode 2, hourly") << "YEDEKSIL=2|YEDEK_ZAMANI=1" << true << false << false << false;
        QTest::newRow("mode 0, hourly") << "YEDEKSIL=0|YEDEK_ZAMANI=1" << false << false << false << false;
        QTest::newRow("zip without password") << "ZIP_YEDEKLE=True|UZERINE_YAZ=T" << false << false << false << true;
        QTest::newRow("zip with password") << "ZIP_YEDEKLE=tr|ZIP_PAROLA1=p" << false << true << false << false;
        QTest::newRow("TRUE is no True") << "MSN_FILEDELETE=TRUE" << false << false << false << false;
        QTest::newRow("True") << "MSN_FILEDELETE=True|UZERINE_YAZ=False" << false << false << true << false;
    }
    void manualRunParameters()
    {
        QFETCH(QString, lines);
        QFETCH(bool, retention);
        QFETCH(bool, zip);
        QFETCH(bool, deleteAfter);
        QFETCH(bool, overwrite);
        const JobFile record(lines.split(u'|'));
        const FolderBackupParams p = manualFolderBackupParams(record, "sifre", "Is.nyd");
        QCOMPARE(p.retention, retention);
        QCOMPARE(p.zip, zip);
        QCOMPARE(p.messenger.deleteAfter, deleteAfter);
        QCOMPARE(p.overwrite, overwrite);
        QVERIFY(p.manual);
        QVERIFY(!p.subfolders); // no value: false
        QCOMPARE(p.messenger.password, QStringLiteral("sifre"));
        const FirebirdBackupParams f = manualFirebirdBackupParams(record, "sifre", "Is.fyd");
        QCOMPARE(f.retention, retention);
        QCOMPARE(f.messenger.deleteAfter, deleteAfter);
    }
};

QTEST_MAIN(TestManagementWindow)
#include "tst_managementwindow.moc"
