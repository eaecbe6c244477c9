// The program's dialogs on a 1024×768 screen at 100 %, 125 % and 150 % scaling, with a desktop's
// usual text size: each, opened in its tallest state, keeps every command button on the screen.
#include "core/service.h"
#include "ui/aboutbox.h"
#include "ui/anaform.h"
#include "ui/dialogs.h"
#include "ui/restorewindow.h"
#include "ui/settingsdialog.h"
#include "ui/skindialog.h"
#include "ui/toolsmenu.h"
#include "ui/versioncheckwindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace kx;

namespace {

// The three screens side by side, in the pixels windows are laid out in: a 1024×768 screen
// scaled by 125 % leaves 819×614 of them, by 150 % 683×512.
const char kScreens[] = R"({ "screens": [
  { "name": "100", "x": 0, "y": 0, "width": 1024, "height": 768, "dpr": 1 },
  { "name": "125", "x": 1024, "y": 0, "width": 819, "height": 614, "dpr": 1.25 },
  { "name": "150", "x": 1843, "y": 0, "width": 683, "height": 512, "dpr": 1.5 } ] })";

QScreen *screenNamed(const QString &name)
{
    for (QScreen *s : QGuiApplication::screens())
        if (s->name() == name)
            return s;
    return nullptr;
}

// The pages a widget lies on brought to the front, so it can be seen.
void reveal(QWidget *widget)
{
    for (QWidget *w = widget; w && !w->isWindow(); w = w->parentWidget())
        if (auto *stack = qobject_cast<QStackedWidget *>(w->parentWidget()))
            stack->setCurrentWidget(w);
}

} // namespace

class TestDialogFit : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    // The window in its tallest state, and its command buttons.
    std::unique_ptr<QWidget> open(const QString &window, TAnaFormF &form, TKxAraclar &tools,
                                  TSurumKontrol &check, QStringList &buttons)
    {
        if (window == "restore") {
            buttons = QStringList{"sSpeedButton2", "sSpeedButton3", "sSpeedButton1"};
            return std::make_unique<TK_YedekGirF>(form);
        }
        if (window == "settings") {
            buttons = QStringList{"sSpeedButton9", "sSpeedButton10"};
            return std::make_unique<ProgramAyarlariDialog>(form.ProgramFolder(), form.SettingsFolder(),
                                                           form.FSAyar, form.context(), form.Tema, form.windowTitle());
        }
        if (window == "theme") {
            buttons = QStringList{"sBitBtn1", "sBitBtn2"};
            return std::make_unique<TKxSkinSettingF>(form.Tema);
        }
        if (window == "tools menu") {
            buttons = QStringList{"BitBtn1", "BitBtn2", "BitBtn3", "BitBtn4"};
            auto w = std::make_unique<TK_KxAracMenuF>(tools);
            w->FormShow();
            return w;
        }
        if (window == "tool") {
            buttons = QStringList{"ButtonYOL", "BitBtn1", "BitBtn2"};
            auto w = std::make_unique<TK_KxAracEkleF>(tools, -1, QString());
            w->FormShow();
            return w;
        }
        if (window == "version check") {
            // Both answer panels and the automatic check settings at once; nothing is asked.
            buttons = QStringList{"SpeedButton1", "SpeedButton2", "Button1"};
            check.OtoKontrol = true;
            auto w = std::make_unique<TSurumKontrolF>(check);
            w->Timer1->stop();
            w->CheckBoxOtoKontrol->setChecked(true);
            w->PanelGuncel->show();
            w->PanelTamam->show();
            w->PanelBekleme->hide();
            return w;
        }
        buttons = QStringList{"ButtonTamam"};
        return std::make_unique<THakkindaF>(form.windowTitle(), nullptr, nullptr);
    }

private slots:
    void init()
    {
        Dialogs::setScripted(true);
        QVERIFY(QDir().mkpath(m_dir.filePath("program")));
    }

    void commandButtonsOnScreen_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("screen");
        for (const char *window : {"restore", "settings", "theme", "tools menu", "tool", "version check", "about"})
            for (const char *screen : {"100", "125", "150"})
                QTest::addRow("%s at %s %%", window, screen)
                    << QString::fromLatin1(window) << QString::fromLatin1(screen);
    }
    void commandButtonsOnScreen()
    {
        QFETCH(QString, window);
        QFETCH(QString, screen);
        QScreen *on = screenNamed(screen);
        QVERIFY2(on, "the screens of the test are not there");
        const QRect area = on->availableGeometry();

        TAnaFormF form(m_dir.filePath("program"), QString());
        TKxAraclar tools;
        TSurumKontrol check(form.ProgramFolder());
        QStringList buttons;
        const std::unique_ptr<QWidget> w = open(window, form, tools, check, buttons);
        w->setScreen(on);
        w->move(area.topLeft());
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QCOMPARE(w->screen(), on);
        for (const QString &name : std::as_const(buttons)) {
            auto *button = w->findChild<QPushButton *>(name);
            QVERIFY2(button, qPrintable(name));
            reveal(button);
            QVERIFY2(button->isVisible(), qPrintable(name));
            const QRect placed(button->mapToGlobal(QPoint(0, 0)), button->size());
            QVERIFY2(area.contains(placed), qPrintable(QStringLiteral("%1 at %2,%3 %4×%5 of %6×%7")
                                                           .arg(name)
                                                           .arg(placed.x() - area.x())
                                                           .arg(placed.y() - area.y())
                                                           .arg(placed.width())
                                                           .arg(placed.height())
                                                           .arg(area.width())
                                                           .arg(area.height())));
        }
    }
};

int main(int argc, char **argv)
{
    // The offscreen platform takes its screens from a file; it must be there before the
    // application starts.
    QTemporaryDir config;
    QFile screens(config.filePath("screens.json"));
    if (!screens.open(QIODevice::WriteOnly) || screens.write(kScreens) != qint64(sizeof kScreens - 1))
        return 1;
    screens.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(screens.fileName()));
    QApplication app(argc, argv);
    // A desktop's usual text size rather than the offscreen platform's smaller one.
    QFont font = QApplication::font();
    font.setPointSize(11);
    QApplication::setFont(font);
    TestDialogFit test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_dialogfit.moc"
