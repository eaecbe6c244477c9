// Screenshots for the README: the management window (in Turkish and in English), both job
// editors and a runner window during a backup, each saved as a PNG into the folder given on the
// command line. scripts/screenshots runs it under Xvfb. Everything it shows is sample data in a
// temporary program folder.
#include "core/jobfile.h"
#include "core/joblist.h"
#include "core/service.h"
#include "platform/files.h"
#include "ui/anaform.h"
#include "ui/appicon.h"
#include "ui/jobeditor.h"
#include "ui/managementwindow.h"
#include "app/manualrun.h"
#include "ui/progressbar.h"
#include "ui/runnerwindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

using namespace kx;

namespace {

void put(const QString &path, const QByteArray &data)
{
    makePath(QFileInfo(path).path());
    writeWholeFile(path, data);
}

// Lets the windows lay out and paint for a while.
void settle(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

void save(QWidget *w, const QString &folder, const QString &name, int settleMs = 300)
{
    settle(settleMs);
    const QString path = folder + u'/' + name;
    if (!w->grab().save(path))
        qFatal("cannot save %s", qPrintable(path));
    std::printf("%s\n", qPrintable(path));
}

// A program folder with a few jobs of both kinds and a source folder to back up.
QString sampleProgram(const QTemporaryDir &dir, const QString &language)
{
    const QString program = dir.filePath(language);
    const QString data = dir.filePath("veri");
    if (!QFileInfo::exists(data))
        for (int i = 0; i < 1500; ++i)
            put(data + QStringLiteral("/Belgeler/%1/fatura-%2.txt").arg(i / 50).arg(i),
                QByteArray::number(i * 7919).repeated(4000 + 10 * i) + QByteArray("Fatura satiri\r\n").repeated(500 + i));
    const QByteArray folderJob = "AKTIF=True\r\nPERYOT=1\r\nYEDEK_ZAMANI=2\r\nUNETYEDEK=False\r\nDOSYA_TURU1=*.*\r\n"
                                 "ALT_DIZIN=True\r\nYEDEKSIL=1\r\nSILGUN=7\r\n";
    put(program + "/Belgeler.nyd", folderJob + "GRUBU=Ofis\r\nACIKLAMA=Gunluk belge yedegi\r\nZIP_YEDEKLE=True\r\n"
                                       "ZIP_PAROLA1=gizli\r\nZIP_PAROLA2=gizli\r\nKAYNAK_DIZIN=" +
                                       data.toUtf8() + "/Belgeler\r\nHEDEF_DIZIN=" + data.toUtf8() + "/Yedek\r\n");
    put(program + "/Muhasebe.nyd", folderJob + "GRUBU=Muhasebe\r\nACIKLAMA=Muhasebe klasoru, ZIP\r\nZIP_YEDEKLE=True\r\n"
                                       "KAYNAK_DIZIN=/srv/muhasebe\r\nHEDEF_DIZIN=/var/backups/muhasebe\r\n");
    put(program + "/Stok.fyd", "AKTIF=True\r\nPERYOT=1\r\nYEDEK_ZAMANI=2\r\nUNETYEDEK=False\r\n"
                               "GRUBU=Muhasebe\r\nACIKLAMA=Stok veritabani\r\nUSERNAME=SYSDBA\r\n"
                               "KAYNAK_DOSYA=127.0.0.1:/var/lib/firebird/data/stok.fdb\r\n"
                               "HEDEF_DIZIN=/var/backups/stok\r\nYEDEK_ADI=Stok\r\n");
    // A few runs in the backup log: the job lists show when each job last ran and how.
    put(program + "/backup2.kxk",
        "MODUL=Otomatik Yedekleme(ZIP)|YEDEKADI=Belgeler.nyd|TARIH=09.12.2026|SAAT=22:00:41|KAYNAK=" + data.toUtf8() +
            "/Belgeler|HEDEF=" + data.toUtf8() + "/Yedek/Belgeler_nyd_20261209_2200|DURUMU=Basarili\r\n"
            "MODUL=Otomatik Yedekleme(ZIP)|YEDEKADI=Muhasebe.nyd|TARIH=10.12.2026|SAAT=22:00:12|KAYNAK=/srv/muhasebe|"
            "HEDEF=/var/backups/muhasebe/Muhasebe_nyd_20261210_2200|DURUMU=Basarisiz.Kaynak dizin bulunamadi.\r\n"
            "MODUL=Otomatik FB Yedekleme|YEDEKADI=Stok.fyd|TARIH=10.12.2026|SAAT=22:05:03|KAYNAK=/var/lib/firebird/data/stok.fdb|"
            "HEDEF=/var/backups/stok/Stok_fyd_20261210_2205/stok.fbk|DURUMU=Basarili\r\n");
    put(program + "/Ayar.ini", "[KxStored]\r\nDIL=" + language.toLatin1() + "\r\nSIMGE=True\r\n");
    const QString lng = QCoreApplication::applicationDirPath() + QStringLiteral("/Language/english.lng");
    if (QFileInfo::exists(lng))
        put(program + "/Language/english.lng", readWholeFile(lng));
    return program;
}

TK_YedeklemeF *management(TAnaFormF &form)
{
    form.GenelYedekleme1Click();
    TK_YedeklemeF *w = form.managementWindow();
    // The whole of a 1024 x 768 screen, as the window opens maximized there.
    w->showNormal();
    w->setGeometry(w->screen()->availableGeometry());
    return w;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setWindowIcon(applicationIcon());
    if (argc != 2) {
        std::fprintf(stderr, "usage: korvanex-screens <folder for the PNG files>\n");
        return 2;
    }
    const QString out = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    QDir().mkpath(out);
    QTemporaryDir dir;

    {
        const QString program = sampleProgram(dir, QStringLiteral("english"));
        TAnaFormF form(program, QString());
        save(management(form), out, QStringLiteral("management-window-english.png"));
    }

    const QString program = sampleProgram(dir, QStringLiteral("turkish"));
    TAnaFormF form(program, QString());
    TK_YedeklemeF *w = management(form);
    save(w, out, QStringLiteral("management-window.png"));

    {
        TK_DosyaYedeklemeF editor(form, {QStringLiteral("Muhasebe"), QStringLiteral("Ofis")});
        editor.setJobToOpen(QStringLiteral("Belgeler.nyd"), QString(), false);
        editor.FormShow();
        editor.show();
        save(&editor, out, QStringLiteral("folder-job-editor.png"));
    }
    {
        TK_FBYedeklemeF editor(form, {QStringLiteral("Muhasebe"), QStringLiteral("Ofis")});
        editor.setJobToOpen(QStringLiteral("Stok.fyd"), QString(), false);
        editor.FormShow();
        editor.show();
        save(&editor, out, QStringLiteral("firebird-job-editor.png"));
    }

    // A backup of the sample folder, caught while it packs.
    const QString jobPath = program + QStringLiteral("/Belgeler.nyd");
    const JobFile job = JobFile::load(jobPath);
    if (manualRun(form.context(), form.runs(), program, JobKind::Folder, job, QString(), QStringLiteral("Belgeler"), jobPath).id == 0)
        qFatal("the sample backup did not start");
    // Caught once its bar has moved a little, while it still works.
    TRunnerF *runner = nullptr;
    QElapsedTimer waited;
    waited.start();
    const auto packing = [&runner] {
        const auto *bar = runner ? runner->findChild<KxProgressBar *>() : nullptr;
        return bar && bar->position() > bar->maximum() / 5;
    };
    while (!packing() && waited.elapsed() < 20000) {
        settle(10);
        for (QWidget *t : QApplication::topLevelWidgets())
            if (auto *r = qobject_cast<TRunnerF *>(t); r && r->isVisible())
                runner = r;
    }
    if (!packing())
        qFatal("no runner window showed the backup");
    save(runner, out, QStringLiteral("runner-window.png"), 0);
    while (form.runs().running().isRunning(RunKind::FolderBackup))
        settle(50);
    return 0;
}
