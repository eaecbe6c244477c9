// Ini files, the settings store, the language takeover, the theme and the two settings dialogs.
#include "testfiles.h"
#include "core/servicecontext.h"
#include "core/service.h"
#include "ui/settingsdialog.h"
#include "ui/dialogs.h"
#include "platform/files.h"
#include "settings/inifile.h"
#include "settings/kxstorage.h"
#include "settings/registry.h"
#include "ui/skindialog.h"
#include "ui/thememanager.h"
#include "settings/theme.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QStyleOption>
#include <QTemporaryDir>
#include <QTest>

using namespace kx;
using kxtest::contents;
using kxtest::put;

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        Dialogs::setScripted(true);
    }

    void cleanup() { QCOMPARE(Dialogs::takeShown().size(), 0); }

    void iniReading()
    {
        QTemporaryDir dir;
        const QString p = dir.filePath(QStringLiteral("a.ini"));
        put(p, "[Genel]\r\n"
                      "  Ad  =   Deger bir  \r\n"
                      "; Yorum=yok\r\n"
                      "Sayi= 12 \r\n"
                      "Bozuk=12a\r\n"
                      "Eksi=-3\r\n"
                      "Sifir=0\r\n"
                      "Bos=\r\n"
                      "\r\n"
                      "[ Diger ]\n"
                      "ad=iki=uc\n"
                      "Yorum=var\r\n");
        const IniFile ini(p);
        QCOMPARE(ini.readString(QStringLiteral("genel"), QStringLiteral("AD"), QStringLiteral("x")),
                 QStringLiteral("Deger bir"));
        QCOMPARE(ini.readString(QStringLiteral("DIGER"), QStringLiteral("Ad"), QStringLiteral("x")),
                 QStringLiteral("iki=uc"));
        QCOMPARE(ini.readString(QStringLiteral("Genel"), QStringLiteral("Bos"), QStringLiteral("x")), QString());
        // Keys of one section are not found in another, and a commented line is no key.
        QCOMPARE(ini.readString(QStringLiteral("Genel"), QStringLiteral("Yorum"), QStringLiteral("x")),
                 QStringLiteral("x"));
        QVERIFY(!ini.hasKey(QStringLiteral("Genel"), QStringLiteral("Yorum")));
        QVERIFY(ini.hasKey(QStringLiteral("diger"), QStringLiteral("YORUM")));
        QCOMPARE(ini.readString(QStringLiteral("Yok"), QStringLiteral("Ad"), QStringLiteral("x")), QStringLiteral("x"));

        QCOMPARE(ini.readInteger(QStringLiteral("Genel"), QStringLiteral("Sayi"), 7), 12);
        QCOMPARE(ini.readInteger(QStringLiteral("Genel"), QStringLiteral("Eksi"), 7), -3);
        QCOMPARE(ini.readInteger(QStringLiteral("Genel"), QStringLiteral("Bozuk"), 7), 7);
        QCOMPARE(ini.readInteger(QStringLiteral("Genel"), QStringLiteral("Bos"), 7), 7);
        QCOMPARE(ini.readInteger(QStringLiteral("Genel"), QStringLiteral("Yok"), 7), 7);

        QCOMPARE(ini.readBool(QStringLiteral("Genel"), QStringLiteral("Sayi"), false), true);
        QCOMPARE(ini.readBool(QStringLiteral("Genel"), QStringLiteral("Eksi"), false), true);
        QCOMPARE(ini.readBool(QStringLiteral("Genel"), QStringLiteral("Sifir"), true), false);
        QCOMPARE(ini.readBool(QStringLiteral("Genel"), QStringLiteral("Bozuk"), true), true);
        QCOMPARE(ini.readBool(QStringLiteral("Genel"), QStringLiteral("Bozuk"), false), false);
        QCOMPARE(ini.readBool(QStringLiteral("Genel"), QStringLiteral("Yok"), true), true);
    }

    void iniWriting()
    {
        QTemporaryDir dir;
        const QString p = dir.filePath(QStringLiteral("a.ini"));
        put(p, "[Genel]\n"
                      "Ad=eski\n"
                      "Sayi=1\n"
                      "\n"
                      "\n"
                      "[Diger]\r\n"
                      "Ad=dokunma\r\n");
        IniFile ini(p);
        ini.writeString(QStringLiteral("GENEL"), QStringLiteral("ad"), QStringLiteral("yeni"));
        ini.writeInteger(QStringLiteral("genel"), QStringLiteral("Ek"), -5);
        ini.writeBool(QStringLiteral("Genel"), QStringLiteral("Acik"), true);
        ini.writeBool(QStringLiteral("Genel"), QStringLiteral("Kapali"), false);
        ini.writeString(QStringLiteral("Yeni"), QStringLiteral("K"), QStringLiteral("Ş"));
        ini.deleteKey(QStringLiteral("genel"), QStringLiteral("SAYI"));
        // Nothing reaches the disk before save().
        QCOMPARE(contents(p).left(8), QByteArray("[Genel]\n"));
        ini.save();
        QCOMPARE(contents(p), QByteArray("[Genel]\r\n"
                                          "ad=yeni\r\n"
                                          "Ek=-5\r\n"
                                          "Acik=1\r\n"
                                          "Kapali=0\r\n"
                                          "\r\n"
                                          "\r\n"
                                          "[Diger]\r\n"
                                          "Ad=dokunma\r\n"
                                          "[Yeni]\r\n"
                                          "K=\xDE\r\n"));
        const IniFile again(p);
        QCOMPARE(again.readBool(QStringLiteral("Genel"), QStringLiteral("Acik"), false), true);
        QCOMPARE(again.readBool(QStringLiteral("Genel"), QStringLiteral("Kapali"), true), false);
        QCOMPARE(again.readInteger(QStringLiteral("Genel"), QStringLiteral("Ek"), 0), -5);

        // A missing file is an empty one and gets created by save().
        const QString fresh = dir.filePath(QStringLiteral("new.ini"));
        IniFile created(fresh);
        QVERIFY(created.lines().isEmpty());
        created.writeString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("v"));
        created.writeString(QStringLiteral("S"), QStringLiteral("L"), QStringLiteral("w"));
        created.save();
        QCOMPARE(contents(fresh), QByteArray("[S]\r\nK=v\r\nL=w\r\n"));
    }

    void storage()
    {
        QTemporaryDir dir;
        const QString p = dir.filePath(QStringLiteral("Ayar.ini"));

        TKxStorage s = TKxStorage::programSettings();
        QCOMPARE(s.items().size(), 2);
        QCOMPARE(s.value(QStringLiteral("DIL")), QStringLiteral("turkish"));
        QCOMPARE(s.value(QStringLiteral("simge")), QStringLiteral("true"));
        s.setFileName(p); // nothing to restore from
        QCOMPARE(s.value(QStringLiteral("Dil")), QStringLiteral("turkish"));
        s.SaveValues();
        QCOMPARE(contents(p), QByteArray("[KxStored]\r\nDIL=turkish\r\nSIMGE=true\r\n"));

        // Restoring takes the stored section only, trimmed and letter case ignored; a missing
        // key keeps the declared value.
        put(p, "[Baska]\r\nSIMGE=baska\r\n[kxstored]\r\n dil = english \r\n");
        TKxStorage r = TKxStorage::programSettings();
        r.setFileName(p);
        QCOMPARE(r.value(QStringLiteral("DIL")), QStringLiteral("english"));
        QCOMPARE(r.value(QStringLiteral("SIMGE")), QStringLiteral("true"));
        QCOMPARE(r.value(QStringLiteral("YOK")), QString());

        r.setValue(QStringLiteral("simge"), QStringLiteral("False"));
        r.setValue(QStringLiteral("Yeni"), QStringLiteral("1"));
        QCOMPARE(r.items().size(), 3);
        QCOMPARE(r.value(QStringLiteral("SIMGE")), QStringLiteral("False"));
        r.SaveValues();
        QCOMPARE(contents(p), QByteArray("[Baska]\r\nSIMGE=baska\r\n[kxstored]\r\nDIL=english\r\nSIMGE=False\r\n"
                                          "Yeni=1\r\n"));

        // A name appended at run time is not declared, so a new store does not bring it back.
        TKxStorage next = TKxStorage::programSettings();
        next.setFileName(p);
        QCOMPARE(next.items().size(), 2);
        QCOMPARE(next.value(QStringLiteral("SIMGE")), QStringLiteral("False"));
        QCOMPARE(next.value(QStringLiteral("Yeni")), QString());
    }

    void settingBool_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("whenDefaultFalse");
        QTest::addColumn<bool>("whenDefaultTrue");
        for (const char *t : {"False", "FALSE", "false", "0", " false "})
            QTest::newRow(t) << QString::fromLatin1(t) << false << false;
        for (const char *t : {"True", "TRUE", "true", "1", "-1", "2"})
            QTest::newRow(t) << QString::fromLatin1(t) << true << true;
        for (const char *t : {"", "yes", "Evet", "1a", "truee"})
            QTest::newRow(*t ? t : "empty") << QString::fromLatin1(t) << false << true;
    }

    void settingBool()
    {
        QFETCH(QString, text);
        QFETCH(bool, whenDefaultFalse);
        QFETCH(bool, whenDefaultTrue);
        QCOMPARE(readSettingBool(text, false), whenDefaultFalse);
        QCOMPARE(readSettingBool(text, true), whenDefaultTrue);
    }

    void registryTakeover()
    {
        QTemporaryDir dir;
        const QString ayar = dir.filePath(QStringLiteral("Ayar.ini"));
        const QString reg = dir.filePath(QStringLiteral("Kovanci3.ini"));
        TKxStorage s = TKxStorage::programSettings();
        s.setFileName(ayar);

        // Nothing to take over: nothing changes, nothing is written.
        QVERIFY(!takeOverRegistryLanguage(s, reg));
        QVERIFY(!QFileInfo::exists(reg));
        const QByteArray noKey("[Baska]\r\nLanguage=deutsch\r\n[Kovanci3]\r\nDiger=1\r\n");
        put(reg, noKey);
        QVERIFY(!takeOverRegistryLanguage(s, reg));
        QCOMPARE(contents(reg), noKey);
        QCOMPARE(s.value(QStringLiteral("DIL")), QStringLiteral("turkish"));
        QVERIFY(!QFileInfo::exists(ayar));

        put(reg, "[Baska]\r\nLanguage=deutsch\r\n[KOVANCI3]\r\nlanguage= english \r\nDiger=1\r\n");
        QVERIFY(takeOverRegistryLanguage(s, reg));
        QCOMPARE(s.value(QStringLiteral("DIL")), QStringLiteral("english"));
        QCOMPARE(IniFile(ayar).readString(QStringLiteral("KxStored"), QStringLiteral("DIL"), QString()),
                 QStringLiteral("english"));
        QCOMPARE(contents(reg), QByteArray("[Baska]\r\nLanguage=deutsch\r\n[KOVANCI3]\r\nDiger=1\r\n"));

        // Taken over once: a later choice of the user stays.
        s.setValue(QStringLiteral("DIL"), QStringLiteral("turkish"));
        s.SaveValues();
        QVERIFY(!takeOverRegistryLanguage(s, reg));
        QCOMPARE(s.value(QStringLiteral("DIL")), QStringLiteral("turkish"));
        QCOMPARE(IniFile(ayar).readString(QStringLiteral("KxStored"), QStringLiteral("DIL"), QString()),
                 QStringLiteral("turkish"));
    }

    void themeFile()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("Data/Ini"));
        const QString skin = folder + QStringLiteral("/Skin.ini");
        ThemeManager m;
        m.IniDizini = folder;

        // Nothing yet: every value takes its default.
        m.AyarYukle();
        QCOMPARE(m.active(), false);
        QCOMPARE(m.name(), QString());
        QCOMPARE(m.hue(), 0);
        QCOMPARE(m.saturation(), 0);

        m.writeDefaultsIfMissing();
        const QByteArray defaults("[SKIN]\r\nACTIVE=1\r\nNAME=Elegant\r\nHUE=0\r\nSATURATION=100\r\n");
        QCOMPARE(contents(skin), defaults);
        m.AyarYukle();
        QCOMPARE(m.active(), true);
        QCOMPARE(m.name(), QStringLiteral("Elegant"));
        QCOMPARE(m.hue(), 0);
        QCOMPARE(m.saturation(), 100);

        const QByteArray own("[skin]\nname = Gece\nhue=200\nsaturation=-30\n");
        put(skin, own);
        m.writeDefaultsIfMissing();
        QCOMPARE(contents(skin), own);
        m.AyarYukle();
        QCOMPARE(m.active(), false);
        QCOMPARE(m.name(), QStringLiteral("Gece"));
        QCOMPARE(m.hue(), 200);
        QCOMPARE(m.saturation(), -30);

        put(skin, "[SKIN]\r\n");
        m.AyarYukle();
        QCOMPARE(m.active(), false);
        QCOMPARE(m.name(), QString());
        QCOMPARE(m.hue(), 0);
        QCOMPARE(m.saturation(), 0);
    }

    void themePalette()
    {
        ThemeManager m;
        m.setName(QStringLiteral("Elegant"));
        m.setActive(true);
        const QColor plain = m.palette().color(QPalette::Highlight);
        QVERIFY(plain.hsvSaturation() > 0);
        // What the theme gives is what the application shows.
        QCOMPARE(qApp->palette().color(QPalette::Highlight), plain);

        m.setHue(180);
        const QColor turned = m.palette().color(QPalette::Highlight);
        QVERIFY(turned != plain);
        const int diff = qAbs(turned.hsvHue() - plain.hsvHue());
        QVERIFY2(qAbs(diff - 180) <= 2, qPrintable(QStringLiteral("hue moved by %1").arg(diff)));
        QCOMPARE(qApp->palette().color(QPalette::Highlight), turned);

        m.setHue(0);
        m.setSaturation(-100);
        const QColor grey = m.palette().color(QPalette::Highlight);
        QCOMPARE(grey.red(), grey.green());
        QCOMPARE(grey.green(), grey.blue());
        QCOMPARE(grey.value(), plain.value());

        m.setSaturation(0);
        QVERIFY(m.palette().color(QPalette::Highlight).hsvSaturation() > 0);
        m.setActive(false);
        QVERIFY(m.palette().color(QPalette::Highlight) != plain);
    }

    // The contrast of two colours as the eye sees it: known pairs, either order.
    void contrastRatio_data()
    {
        QTest::addColumn<uint>("a");
        QTest::addColumn<uint>("b");
        QTest::addColumn<double>("ratio");
        QTest::newRow("black on white") << 0x000000u << 0xFFFFFFu << 21.0;
        QTest::newRow("the same") << 0x3A3F47u << 0x3A3F47u << 1.0;
        QTest::newRow("grey on white") << 0x767676u << 0xFFFFFFu << 4.54;
        QTest::newRow("white on mid grey") << 0xFFFFFFu << 0x949494u << 3.03;
        QTest::newRow("pure red on black") << 0xFF0000u << 0x000000u << 5.25;
    }
    void contrastRatio()
    {
        QFETCH(uint, a);
        QFETCH(uint, b);
        QFETCH(double, ratio);
        QVERIFY2(qAbs(kx::contrastRatio(a, b) - ratio) < 0.01, qPrintable(QString::number(kx::contrastRatio(a, b))));
        QCOMPARE(kx::contrastRatio(b, a), kx::contrastRatio(a, b));
    }

    // In every theme, at any hue and saturation, the states a user must tell apart stand apart:
    // a disabled text from the enabled one, an unticked box from its window, the tick from its
    // box.
    void themeStatesStandApart_data()
    {
        QTest::addColumn<QString>("theme");
        QTest::addColumn<int>("hue");
        QTest::addColumn<int>("saturation");
        for (const QString &theme : ThemeManager::themeNames())
            for (const auto &[hue, saturation] : {std::pair{0, 100}, {0, 0}, {120, 100}, {240, 100}, {0, -100}})
                QTest::addRow("%s, hue %d, saturation %d", qPrintable(theme), hue, saturation) << theme << hue << saturation;
    }
    void themeStatesStandApart()
    {
        QFETCH(QString, theme);
        QFETCH(int, hue);
        QFETCH(int, saturation);
        ThemeManager m;
        m.setName(theme);
        m.setActive(true);
        m.setHue(hue);
        m.setSaturation(saturation);
        const QPalette p = m.palette();
        const auto apart = [&p](QPalette::ColorGroup ga, QPalette::ColorRole a, QPalette::ColorGroup gb, QPalette::ColorRole b) {
            return kx::contrastRatio(p.color(ga, a).rgb() & 0xFFFFFF, p.color(gb, b).rgb() & 0xFFFFFF);
        };
        for (QPalette::ColorRole text : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            QVERIFY2(apart(QPalette::Active, text, QPalette::Disabled, text) >= kMinStateContrast,
                     qPrintable(QStringLiteral("enabled and disabled, role %1").arg(int(text))));
        const QColor frame = ThemeManager::indicatorFrame(p);
        QVERIFY2(kx::contrastRatio(frame.rgb() & 0xFFFFFF, p.color(QPalette::Window).rgb() & 0xFFFFFF) >= kMinStateContrast,
                 "an unticked box on its window");
        QVERIFY2(apart(QPalette::Active, QPalette::Text, QPalette::Active, QPalette::Base) >= kMinStateContrast,
                 "the tick in its box");
    }

    // Drawn, an unticked box in the dark theme has a frame that stands out from the window.
    void untickedBoxIsDrawnVisibly()
    {
        ThemeManager m;
        m.setName(QStringLiteral("Gece"));
        m.setActive(true);
        QWidget window;
        auto *box = new QCheckBox(QStringLiteral("Tema Kullan"), &window);
        box->adjustSize();
        window.resize(box->size() + QSize(8, 8));
        box->move(4, 4);
        const QImage image = window.grab().toImage();
        QStyleOptionButton option;
        option.initFrom(box);
        const QRect indicator = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box).translated(4, 4);
        const unsigned background = qApp->palette().color(QPalette::Window).rgb() & 0xFFFFFF;
        double best = 1;
        for (int y = indicator.top(); y <= indicator.bottom(); ++y)
            for (int x = indicator.left(); x <= indicator.right(); ++x)
                best = std::max(best, kx::contrastRatio(image.pixel(x * image.width() / window.width(), y * image.height() / window.height()) & 0xFFFFFF, background));
        QVERIFY2(best >= kMinStateContrast, qPrintable(QString::number(best)));
        m.setActive(false);
    }

    void skinDialog()
    {
        QTemporaryDir dir;
        const QString skin = dir.filePath(QStringLiteral("Skin.ini"));
        ThemeManager m;
        m.IniDizini = dir.path();
        m.setName(QStringLiteral("okyanus"));
        m.setHue(40);
        m.setSaturation(10);

        {
            // "Kapat" keeps the changes for this run only.
            TKxSkinSettingF d(m);
            QCOMPARE(d.ComboTEMA->currentText(), QStringLiteral("Okyanus"));
            QCOMPARE(d.CheckTema->isChecked(), false);
            QCOMPARE(d.sTrackBar1->value(), 40);
            QCOMPARE(d.sTrackBar2->value(), 10);
            d.show();
            d.sTrackBar1->setValue(120);
            QCOMPARE(m.hue(), 120);
            d.sBitBtn2->click();
            QCOMPARE(d.result(), int(QDialog::Rejected));
            QVERIFY(!d.isVisible());
            QVERIFY(!QFileInfo::exists(skin));
        }
        {
            // Escape saves what the dialog shows, like "Tamam".
            TKxSkinSettingF d(m);
            d.show();
            d.ComboTEMA->setCurrentIndex(d.ComboTEMA->findText(QStringLiteral("Gece")));
            d.CheckTema->setChecked(true);
            d.sTrackBar1->setValue(200);
            d.sTrackBar2->setValue(-30);
            QTest::keyClick(&d, Qt::Key_Escape);
            QCOMPARE(d.result(), int(QDialog::Accepted));
            QVERIFY(!d.isVisible());
            QCOMPARE(contents(skin), QByteArray("[SKIN]\r\nACTIVE=1\r\nNAME=Gece\r\nHUE=200\r\nSATURATION=-30\r\n"));
        }
        {
            TKxSkinSettingF d(m);
            d.show();
            d.CheckTema->setChecked(false);
            d.sBitBtn1->click();
            QCOMPARE(d.result(), int(QDialog::Accepted));
            QCOMPARE(IniFile(skin).readString(QStringLiteral("SKIN"), QStringLiteral("ACTIVE"), QString()),
                     QStringLiteral("0"));
        }
    }

    void programSettingsDialog()
    {
        QTemporaryDir program;
        QVERIFY(QDir(program.path()).mkpath(QStringLiteral("Language")));
        for (const char *name : {"english.lng", "Turkish.lng", "empty.lng"})
            put(program.filePath(QStringLiteral("Language/") + QLatin1String(name)), "h\r\n");
        const QString ayar = program.filePath(QStringLiteral("Ayar.ini"));
        put(ayar, "[KxStored]\r\nDIL=TURKISH\r\nSIMGE=False\r\n");
        TKxStorage s = TKxStorage::programSettings();
        s.setFileName(ayar);
        ThemeManager theme;
        ServiceContext context;
        context.detailedRunners = true;

        {
            ProgramAyarlariDialog d(program.path(), program.path(), s, context, theme, QStringLiteral("Ayarlar"));
            QCOMPARE(d.ComboDIL->count(), 2);
            QCOMPARE(d.ComboDIL->currentText(), QStringLiteral("Turkish"));
            QCOMPARE(d.CheckBox1->isChecked(), false);
            d.show();
            d.ComboDIL->setCurrentIndex(d.ComboDIL->findText(QStringLiteral("english")));
            d.CheckBox1->setChecked(true);
            QTest::keyClick(&d, Qt::Key_Escape);
            QCOMPARE(d.result(), int(QDialog::Rejected));
            QVERIFY(!d.isVisible());
            QCOMPARE(contents(ayar), QByteArray("[KxStored]\r\nDIL=TURKISH\r\nSIMGE=False\r\n"));
            QCOMPARE(s.value(QStringLiteral("DIL")), QStringLiteral("TURKISH"));
            QCOMPARE(context.detailedRunners, true);
        }
        {
            ProgramAyarlariDialog d(program.path(), program.path(), s, context, theme, QStringLiteral("Ayarlar"));
            context.detailedRunners = false;
            d.show();
            d.ComboDIL->setCurrentIndex(d.ComboDIL->findText(QStringLiteral("english")));
            d.CheckBox1->setChecked(true);
            d.sSpeedButton10->click();
            QCOMPARE(d.result(), int(QDialog::Accepted));
            QCOMPARE(contents(ayar), QByteArray("[KxStored]\r\nDIL=english\r\nSIMGE=True\r\n"));
            QCOMPARE(context.detailedRunners, true);
        }
        {
            ProgramAyarlariDialog d(program.path(), program.path(), s, context, theme, QStringLiteral("Ayarlar"));
            QCOMPARE(d.ComboDIL->currentText(), QStringLiteral("english"));
            QCOMPARE(d.CheckBox1->isChecked(), true);
            d.show();
            d.CheckBox1->setChecked(false);
            d.sSpeedButton10->click();
            QCOMPARE(contents(ayar), QByteArray("[KxStored]\r\nDIL=english\r\nSIMGE=False\r\n"));
            QCOMPARE(context.detailedRunners, false);
        }
        {
            // The settings file may hold the flag as a number.
            s.setValue(QStringLiteral("SIMGE"), QStringLiteral("1"));
            ProgramAyarlariDialog d(program.path(), program.path(), s, context, theme, QStringLiteral("Ayarlar"));
            QCOMPARE(d.CheckBox1->isChecked(), true);
        }
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
