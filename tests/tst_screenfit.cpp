// The windows on a small screen: 1024×768 at 100 %, 125 % and 150 % scaling, each window in its
// tallest state, shows its command buttons whole and on the screen.
#include "testfiles.h"
#include "core/service.h"
#include "ui/anaform.h"
#include "ui/dialogs.h"
#include "ui/jobeditor.h"
#include "ui/managementwindow.h"

#include <QApplication>
#include <QDebug>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

using namespace kx;
using namespace kxtest;

namespace {

// Three 1024×768 screens side by side; the scaling follows from their logical DPI (96 is 100 %).
const int kScreenDpi[] = {96, 120, 144};

QByteArray screenConfig()
{
    QStringList screens;
    for (int i = 0; i < 3; ++i)
        screens.append(QStringLiteral(R"({"name":"s%1","x":%2,"y":0,"width":1024,"height":768,"logicalDpi":%3})")
                           .arg(i)
                           .arg(i * 1024)
                           .arg(kScreenDpi[i]));
    return (QStringLiteral(R"({"screens":[)") + screens.join(u',') + QStringLiteral("]}")).toUtf8();
}

} // namespace

class TestScreenFit : public QObject
{
    Q_OBJECT

    QTemporaryDir *m_dir = nullptr;
    QString m_program;

private slots:
    void init()
    {
        Dialogs::setScripted(true);
        m_dir = new QTemporaryDir;
        m_program = m_dir->filePath("program");
        QVERIFY(QDir().mkpath(m_program));
        put(m_program + "/Is.nyd", "AKTIF=True\r\nPERYOT=1\r\nYEDEK_ZAMANI=1\r\nZIP_YEDEKLE=True\r\nUNETYEDEK=True\r\n");
        put(m_program + "/Is.fyd", "AKTIF=True\r\nPERYOT=1\r\nYEDEK_ZAMANI=1\r\nUNETYEDEK=True\r\n");
    }
    void cleanup()
    {
        delete m_dir;
        m_dir = nullptr;
        Dialogs::takeShown();
    }

    void commandButtonsOnScreen_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<int>("screen");
        const char *const windows[] = {"folder editor", "Firebird editor", "file-type picker", "management window"};
        const char *const scales[] = {"100 %", "125 %", "150 %"};
        for (const char *w : windows)
            for (int s = 0; s < 3; ++s)
                QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(QLatin1String(w), QLatin1String(scales[s])))) << w << s;
    }
    void commandButtonsOnScreen()
    {
        QFETCH(QString, window);
        QFETCH(int, screen);
        QScreen *s = QGuiApplication::screens().value(screen);
        QVERIFY(s);
        // A fractional scale may round a window's logical size up by a pixel.
        const QRect area = s->availableGeometry().adjusted(0, 0, 1, 1);
        QCOMPARE(qRound(s->devicePixelRatio() * 100), kScreenDpi[screen] * 100 / 96);

        TAnaFormF form(m_program, QString());
        JobRecord masks(JobKind::Folder);
        std::unique_ptr<QWidget> w;
        QStringList commands;
        if (window == "management window") {
            w = std::make_unique<TK_YedeklemeF>(form);
            commands = {"ButtonYeni", "ButtonAc", "ButtonSil", "ButtonSimdiYedekle"};
        } else if (window == "file-type picker") {
            w = std::make_unique<TK_DosyaTuruF>(masks, QStringLiteral("Dosya Turu"));
            commands = {"ButtonKapat"};
        } else {
            // A stored job with zip and the chat hand-off on: every box of the editor is shown.
            std::unique_ptr<TJobEditorF> e;
            if (window == "folder editor")
                e = std::make_unique<TK_DosyaYedeklemeF>(form, QStringList{"Muhasebe"});
            else
                e = std::make_unique<TK_FBYedeklemeF>(form, QStringList{"Muhasebe"});
            e->setJobToOpen(window == "folder editor" ? "Is.nyd" : "Is.fyd", "<Yok>", false);
            e->FormShow();
            QVERIFY(e->PanelMessenger->isVisibleTo(e.get()));
            w = std::move(e);
            commands = {"ButtonYeni", "ButtonSil", "ButtonKaydet", "ButtonIptal", "ButtonSimdiYedekle"};
        }

        // Placed on the screen of the row, as the window manager would place it.
        w->move(s->availableGeometry().topLeft());
        if (window == "management window")
            w->showMaximized();
        else
            w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QCOMPARE(w->screen(), s);
        QVERIFY2(area.contains(w->frameGeometry()),
                 qPrintable(QDebug::toString(w->frameGeometry()) + " on " + QDebug::toString(s->availableGeometry())));
        for (const QString &name : commands) {
            auto *b = w->findChild<QPushButton *>(name);
            QVERIFY2(b, qPrintable(name));
            QVERIFY2(b->isVisible(), qPrintable(name));
            // Whole, not cut off by a scrolled part of the window, and on the screen.
            QCOMPARE(b->visibleRegion().boundingRect(), b->rect());
            QVERIFY2(area.contains(QRect(b->mapToGlobal(QPoint(0, 0)), b->size())), qPrintable(name));
        }
    }
};

int main(int argc, char *argv[])
{
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("screens.json"));
    {
        QFile f(config);
        if (!f.open(QIODevice::WriteOnly) || f.write(screenConfig()) < 0)
            return 1;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.toUtf8());
    QApplication app(argc, argv);
    TestScreenFit test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_screenfit.moc"
