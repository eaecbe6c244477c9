// Long paths in narrow places: elided in the middle where they are only shown (the runner
// windows), whole in a tooltip everywhere; the restore window opens wide enough for a typical path.
#include "testfiles.h"
#include "runs/folderbackuprun.h"
#include "runs/runcontroller.h"
#include "ui/anaform.h"
#include "ui/dialogs.h"
#include "ui/elidedpath.h"
#include "ui/folderbackupwindow.h"
#include "ui/restorewindow.h"
#include "ui/runnerwindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>

using namespace kx;
using namespace kxtest;

class TestPathLabels : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        Dialogs::setScripted(true);
        TRunnerF::setTimings(0, 0, 1000);
    }

    // A label keeps the path's beginning and its last part in the room it has, the whole path
    // in its tooltip, and shows more of it as it grows.
    void elidedInTheMiddle_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("whole");
        QTest::newRow("narrow") << 220 << false;
        QTest::newRow("wide enough") << 1600 << true;
    }
    void elidedInTheMiddle()
    {
        QFETCH(int, width);
        const QString path = "/srv/yedek/" + QString("alt-klasor/").repeated(8) + "Belgeler_nyd_20261210_2200/Kaynak.Zip";
        QWidget holder;
        auto *layout = new QHBoxLayout(&holder);
        auto *caption = new QLabel("Kaynak :", &holder);
        auto *label = new QLabel(&holder);
        layout->addWidget(caption);
        layout->addWidget(label, 1);
        showPath(label, path);
        holder.resize(width, 40);
        holder.show();
        QVERIFY(QTest::qWaitForWindowExposed(&holder));
        QCOMPARE(label->toolTip(), path);
        QCOMPARE(shownPath(label), path);
        // The label never asks for the room of the whole path.
        QVERIFY(label->geometry().right() <= holder.width());
        QTEST(label->text() == path, "whole");
        if (label->text() != path) {
            QVERIFY2(label->text().startsWith("/srv/") && label->text().endsWith(".Zip"), qPrintable(label->text()));
            QVERIFY(label->text().contains(QChar(0x2026)));
            QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <= label->contentsRect().width());
            // Grown: more of the path shows.
            const int before = int(label->text().size());
            holder.resize(width * 2, 40);
            QTRY_VERIFY(int(label->text().size()) > before);
        }
    }

    // The window of a folder backup from a deep folder: the source elided, whole in its tooltip.
    void runnerWindowShowsLongPaths()
    {
        QTemporaryDir dir;
        const QString source = dir.filePath(QString("cok-derin-bir-kaynak-klasoru/").repeated(6) + "son");
        put(source + "/a.txt", "x");
        FolderBackupParams p;
        p.jobName = QStringLiteral("Is.nyd");
        p.sourceFolder = source;
        p.targetFolder = dir.filePath("hedef");
        p.filters = QStringList{QStringLiteral("*.*")};
        RunController controller;
        QPointer<TOtoYedekDosyaF> window;
        QString shownText, tip;
        int room = 0, used = 0;
        controller.setViewFactory([&](Run *run) {
            window = static_cast<TOtoYedekDosyaF *>(showRunWindow(run, true));
            connect(window.data(), &TRunnerF::runStarting, this, [&] {
                shownText = window->LabelKaynak->text();
                tip = window->LabelKaynak->toolTip();
                room = window->LabelKaynak->contentsRect().width();
                used = window->LabelKaynak->fontMetrics().horizontalAdvance(shownText);
            });
        });
        QVERIFY(controller.start(std::make_unique<FolderBackupRun>(dir.path(), p)) != 0);
        QVERIFY(window);
        QTRY_VERIFY(!tip.isEmpty());
        QCOMPARE(tip, source);
        QVERIFY(shownText.contains(QChar(0x2026)));
        QVERIFY(shownText.endsWith("son"));
        QVERIFY(used <= room && room > 0);
        QTRY_VERIFY(window.isNull());
    }

    // The restore window's path boxes hold a typical run folder's path whole at the first
    // showing, and every path box carries its whole text in its tooltip.
    void restoreWindowFitsATypicalPath()
    {
        QTemporaryDir dir;
        QVERIFY(QDir().mkpath(dir.filePath("program")));
        TAnaFormF form(dir.filePath("program"), QString());
        TK_YedekGirF w(form);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QString typical = "/home/kullanici/KX_YEDEK/Belgeler_nyd_20261210_2200/Kaynak.Zip";
        QVERIFY(w.DirEditKAYNAK->width() > w.DirEditKAYNAK->fontMetrics().horizontalAdvance(typical));
        for (QLineEdit *edit : {w.DirEditKAYNAK, w.DirEditHEDEF, w.FileEditKAYNAK, w.DirEditZHEDEF, w.FilenameEdit1,
                                w.DirectoryEdit1}) {
            QCOMPARE(edit->toolTip(), edit->text());
            edit->setText(typical);
            QCOMPARE(edit->toolTip(), typical);
        }
    }
};

QTEST_MAIN(TestPathLabels)
#include "tst_pathlabels.moc"
