// The English language file: every text a window shows and every message the code hands to the
// translator has an entry; its entries keep what the program fills in; choosing "english" and
// starting again shows the program in English.
//
// To list what is missing after adding texts: KX_LANGUAGE_MISSING=<file> tst_english
#include "testfiles.h"
#include "core/service.h"
#include "i18n/filesearch.h"
#include "i18n/translate.h"
#include "platform/kxerror.h"
#include "ui/aboutbox.h"
#include "ui/anaform.h"
#include "ui/dialogs.h"
#include "ui/firebirdbackupwindow.h"
#include "ui/firebirdrestorewindow.h"
#include "ui/folderbackupwindow.h"
#include "ui/folderrestorewindow.h"
#include "ui/jobeditor.h"
#include "ui/toolsmenu.h"
#include "ui/managementwindow.h"
#include "ui/restorewindow.h"
#include "ui/runnerwindow.h"
#include "ui/settingsdialog.h"
#include "ui/skindialog.h"
#include "ui/versioncheckwindow.h"
#include "ui/windowtexts.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QDirIterator>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QSystemTrayIcon>
#include <QTest>
#include <thread>

using namespace kx;
using namespace kxtest;

namespace {

QString englishFile()
{
    return QStringLiteral(KX_SOURCE_DIR "/Language/english.lng");
}

// A text as it stands between the quotes of a C++ literal.
QString unescape(const QString &s)
{
    QString out;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] != u'\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        const QChar c = s[++i];
        out += c == u'r' ? QChar(u'\r') : c == u'n' ? QChar(u'\n') : c == u't' ? QChar(u'\t') : c;
    }
    return out;
}

struct Literal {
    QString text;
    QString where;
};

// Every string literal inside the arguments of a call that translates or shows a message:
// trMsg, a component's msg, stopWithMessage, and KX_TEXT (a text translated where it is shown).
QList<Literal> translatedLiterals()
{
    static const QRegularExpression call(QStringLiteral("\\b(trMsg|msg|stopWithMessage|KX_TEXT|Error)\\s*\\("));
    static const QRegularExpression literal(QStringLiteral("\"((?:[^\"\\\\]|\\\\.)*)\""));
    QList<Literal> out;
    QDirIterator it(QStringLiteral(KX_SOURCE_DIR "/src"), {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QString code = QString::fromUtf8(f.readAll());
        auto m = call.globalMatch(code);
        while (m.hasNext()) {
            const auto match = m.next();
            // The arguments: up to the parenthesis that closes the call, quotes skipped.
            qsizetype i = match.capturedEnd(), depth = 1;
            bool quoted = false;
            for (; i < code.size() && depth > 0; ++i) {
                const QChar c = code[i];
                if (quoted) {
                    if (c == u'\\')
                        ++i;
                    else if (c == u'"')
                        quoted = false;
                } else if (c == u'"') {
                    quoted = true;
                } else if (c == u'(') {
                    ++depth;
                } else if (c == u')') {
                    --depth;
                }
            }
            const QString args = code.mid(match.capturedEnd(), i - match.capturedEnd());
            auto l = literal.globalMatch(args);
            while (l.hasNext()) {
                const QString line = QString::number(code.left(match.capturedStart()).count(u'\n') + 1);
                out.append({unescape(l.next().captured(1)), QFileInfo(path).fileName() + u':' + line});
            }
        }
    }
    return out;
}

bool hasLetter(const QString &key)
{
    return std::any_of(key.begin(), key.end(), [](QChar c) { return c.isLetter(); });
}

void writeMissing(const QStringList &keys)
{
    const QString path = qEnvironmentVariable("KX_LANGUAGE_MISSING");
    if (path.isEmpty())
        return;
    QFile f(path);
    if (f.open(QIODevice::Append))
        f.write(keys.join(u'\n').toUtf8() + '\n');
}

} // namespace

class TestEnglish : public QObject
{
    Q_OBJECT

    QTemporaryDir *m_dir = nullptr;
    QString m_program;
    QStringList m_missing;

    void chooseLanguage(const QString &language)
    {
        put(m_program + "/Ayar.ini", "[KxStored]\r\nDIL=" + language.toLatin1() + "\r\nSIMGE=True\r\n");
    }

private slots:
    void init()
    {
        Dialogs::setScripted(true);
        m_dir = new QTemporaryDir;
        m_program = m_dir->filePath("program");
        QVERIFY(QDir().mkpath(m_program + "/Language"));
        QVERIFY(QFile::copy(englishFile(), m_program + "/Language/english.lng"));
        chooseLanguage(QStringLiteral("english"));
        m_missing.clear();
        TFileSearch::setMissingKeyHook([this](const QString &key) {
            if (hasLetter(key) && !m_missing.contains(key))
                m_missing.append(key);
        });
    }
    void cleanup()
    {
        TFileSearch::setMissingKeyHook(nullptr);
        delete m_dir;
        m_dir = nullptr;
        Dialogs::takeShown();
    }

    // Every window, made the way the program makes it, translates all its texts from the file.
    void everyWindowIsCovered()
    {
        {
            TAnaFormF form(m_program, QString());
            QVERIFY(form.FileSearch1.hasImage());
            form.GenelYedekleme1Click();
            TK_YedeklemeF *management = form.managementWindow();
            QVERIFY(management);

            TK_DosyaYedeklemeF folderEditor(form, {});
            TK_FBYedeklemeF firebirdEditor(form, {});
            TK_DosyaTuruF picker(folderEditor.record(), QStringLiteral("Dosya Turu"));
            TK_YedekGirF restore(form);
            ProgramAyarlariDialog settings(form.ProgramFolder(), form.SettingsFolder(), form.FSAyar, form.context(),
                                           form.Tema, form.windowTitle());
            TKxSkinSettingF skin(form.Tema);
            TK_KxAracMenuF toolsEditor(*management->KxAraclar1);
            TK_KxAracEkleF toolAdd(*management->KxAraclar1, -1, QString());
            TSurumKontrol check(form.ProgramFolder());
            check.windowTranslate = [](QObject *w) { trWindow(w); };
            check.messageTranslate = [](const QString &t) { return trMsg(t); };
            TSurumKontrolF checkWindow(check);
            THakkindaF about(
                form.windowTitle(), [](QObject *w) { trWindow(w); }, [](const QString &t) { return trMsg(t); });

            // The runner windows without a run: only their texts are looked at.
            TOtoYedekDosyaF folderBackup(nullptr);
            TOtoYedekFBF firebirdBackup(nullptr);
            TRestoreDosyaF folderRestore(nullptr);
            TRestoreFBF firebirdRestore(nullptr);
        }
        writeMissing(m_missing);
        QVERIFY2(m_missing.isEmpty(), qPrintable(QStringLiteral("no English for:\n") + m_missing.join(u'\n')));
    }

    // Every literal the code hands to message translation has an entry.
    void everyMessageIsCovered()
    {
        const QList<Literal> literals = translatedLiterals();
        // The scan must see the code: a few hundred texts, the two log words among them.
        QVERIFY(literals.size() > 150);
        QVERIFY(std::any_of(literals.begin(), literals.end(), [](const Literal &l) { return l.text == "Basarisiz."; }));
        TFileSearch tr;
        tr.setFilename(englishFile());
        QVERIFY(tr.hasImage());
        QStringList missing, where;
        for (const Literal &l : literals) {
            const QString key = messageKeyForm(l.text);
            if (hasLetter(key) && tr.lookup(key, false).isEmpty() && !missing.contains(key)) {
                missing.append(key);
                where.append(l.where + u' ' + key);
            }
        }
        writeMissing(missing);
        QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("no English for:\n") + where.join(u'\n')));
    }

    // The file keeps the language file format and what the program fills into its texts.
    void entriesAreWellFormed()
    {
        const QByteArray image = contents(englishFile());
        QVERIFY(image.size() > 1000);
        QVERIFY2(!image.contains("\r\r") && image.count('\r') == image.count('\n') && image.endsWith("\r\n"),
                 "every line ends in CR LF");
        const QList<QByteArray> lines = image.chopped(2).split('\n');
        QSet<QByteArray> keys;
        static const QRegularExpression placeholder(QStringLiteral("%\\d"));
        for (qsizetype n = 1; n < lines.size(); ++n) {
            const QByteArray line = lines[n].chopped(1);
            const QString where = QStringLiteral("line %1: ").arg(n + 1) + QString::fromLatin1(line);
            const qsizetype eq = line.indexOf('=');
            QVERIFY2(eq > 0 && eq + 1 < line.size(), qPrintable(where));
            const QByteArray key = line.left(eq).toLower();
            QVERIFY2(!keys.contains(key), qPrintable(QStringLiteral("key twice, ") + where));
            keys.insert(key);
            const QString k = QString::fromLatin1(line.left(eq)), v = QString::fromLatin1(line.mid(eq + 1));
            // What the code fills in (%1, %2) and the line breaks a message is built around stay.
            QStringList inKey, inValue;
            for (auto m = placeholder.globalMatch(k); m.hasNext();)
                inKey.append(m.next().captured());
            for (auto m = placeholder.globalMatch(v); m.hasNext();)
                inValue.append(m.next().captured());
            inKey.sort();
            inValue.sort();
            QVERIFY2(inKey == inValue, qPrintable(QStringLiteral("placeholders differ, ") + where));
            // A text that starts or ends with a blank is joined to another at run time.
            QVERIFY2(k.startsWith(u' ') == v.startsWith(u' ') && k.endsWith(u' ') == v.endsWith(u' '),
                     qPrintable(QStringLiteral("blanks around differ, ") + where));
        }
    }

    void translations_data()
    {
        QTest::addColumn<QString>("turkish");
        QTest::addColumn<bool>("window");
        QTest::addColumn<QString>("english");
        QTest::newRow("log word") << "Basarili" << false << "Successful";
        QTest::newRow("failure prefix") << "Basarisiz." << false << "Failed.";
        QTest::newRow("menu with its accelerator") << "&Araclar" << true << "&Tools";
        QTest::newRow("joined with a blank") << " Lutfen kontrol ediniz." << false << " Please check.";
        QTest::newRow("an archive failure in the program's words")
            << "\"%1\": Dosya bozuk; denetim toplami (CRC) tutmuyor." << false
            << "\"%1\": The file is damaged; its checksum (CRC) does not match.";
        QTest::newRow("placeholders")
            << "Firebird sunucusu (%1) %2 saniye icinde yanit vermedi." << false
            << "The Firebird server (%1) did not answer within %2 seconds.";
    }
    void translations()
    {
        QFETCH(QString, turkish);
        QFETCH(bool, window);
        QFETCH(QString, english);
        TFileSearch tr;
        tr.setFilename(englishFile());
        if (window) {
            QWidget holder;
            auto *owned = new QLabel(turkish, &holder);
            CompFormDilCevir(tr, &holder);
            QCOMPARE(owned->text(), english);
        } else {
            QCOMPARE(CompDilCevirMsg(tr, turkish), english);
        }
    }

    // Errors made on any thread once the language file is loaded come in its language, with what
    // the code fills in left exactly as it is; before that, and once the program is gone, in
    // Turkish.
    void errorTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("turkish");
        QTest::addColumn<QString>("english");
        QTest::newRow("file not written")
            << "\"%1\" dosyasi yazilamadi. %2" << QStringList{"/yedek/a&b %2.txt", "No space left on device"}
            << "\"/yedek/a&b %2.txt\" dosyasi yazilamadi. No space left on device"
            << "The file \"/yedek/a&b %2.txt\" could not be written. No space left on device";
        QTest::newRow("without arguments") << "Sikistirma hatasi." << QStringList() << "Sikistirma hatasi."
                                           << "Compression error.";
        QTest::newRow("a server's own message")
            << "I/O error during \"open\" operation" << QStringList() << "I/O error during \"open\" operation"
            << "I/O error during \"open\" operation";
    }
    void errorTexts()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, args);
        QFETCH(QString, turkish);
        QFETCH(QString, english);
        QCOMPARE(Error(text, args).text(), turkish);
        {
            TAnaFormF form(m_program, QString());
            QCOMPARE(Error(text, args).text(), english);
            QString fromWorker;
            std::thread worker([&] { fromWorker = Error(text, args).text(); });
            worker.join();
            QCOMPARE(fromWorker, english);
        }
        QCOMPARE(Error(text, args).text(), turkish);
    }

    // From the settings window, English and back: the program's own Turkish is offered whatever
    // the language of the moment, and each choice holds at the next start.
    void settingsWindowSwitchesBothWays_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("firstTab");
        QTest::newRow("english to turkish") << "english" << "turkish" << "Dosya Yedekleme";
        QTest::newRow("turkish to english") << "turkish" << "english" << "Folder Backup";
        QTest::newRow("turkish without any file") << "english" << "turkish" << "Dosya Yedekleme";
    }
    void settingsWindowSwitchesBothWays()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        if (QString(QTest::currentDataTag()).contains("without"))
            QVERIFY(QFile::remove(m_program + "/Language/english.lng"));
        chooseLanguage(from);
        {
            TAnaFormF form(m_program, QString());
            ProgramAyarlariDialog settings(form.ProgramFolder(), form.SettingsFolder(), form.FSAyar, form.context(),
                                           form.Tema, form.windowTitle());
            QVERIFY(settings.ComboDIL->findText("turkish") >= 0);
            const int index = settings.ComboDIL->findText(to);
            QVERIFY(index >= 0);
            settings.ComboDIL->setCurrentIndex(index);
            settings.sSpeedButton10->click();
        }
        QVERIFY(contents(m_program + "/Ayar.ini").contains("DIL=" + to.toLatin1()));
        TAnaFormF form(m_program, QString());
        form.GenelYedekleme1Click();
        QTEST(form.managementWindow()->PageControl1->tabText(0).remove(u'&'), "firstTab");
    }

    // Titles name the program once, in the language shown: the service's, the management
    // window's and the restore window's.
    void titlesInTheLanguageShown_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("title");
        QTest::newRow("english") << "english" << "KORVANEX Backup Service s3.02.11";
        QTest::newRow("turkish") << "turkish" << "KORVANEX Yedekleme Servisi s3.02.11";
    }
    void titlesInTheLanguageShown()
    {
        QFETCH(QString, language);
        chooseLanguage(language);
        TAnaFormF form(m_program, QString());
        QTEST(form.windowTitle(), "title");
        QTEST(form.RxTrayIcon1->toolTip() + " s3.02.11", "title");
        form.GenelYedekleme1Click();
        QTEST(form.managementWindow()->windowTitle(), "title");
        TK_YedekGirF restore(form);
        restore.show();
        QTEST(restore.windowTitle(), "title");
    }

    // "english" chosen in the settings and the program started again: English windows; "turkish"
    // (no file) keeps the Turkish texts.
    void switchingLanguage_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("trayItem");
        QTest::addColumn<QString>("firstTab");
        QTest::addColumn<QString>("yesButton"); // the toolkit's own text, in the language shown
        QTest::newRow("english") << "english" << "Backup" << "Folder Backup" << "&Yes";
        QTest::newRow("turkish") << "turkish" << "Yedekleme" << "Dosya Yedekleme" << "&Evet";
    }
    void switchingLanguage()
    {
        QFETCH(QString, language);
        QFETCH(QString, trayItem);
        QFETCH(QString, firstTab);
        QFETCH(QString, yesButton);
        if (language == "english") {
            // Chosen in "Program Ayarlari" while the program runs in Turkish.
            chooseLanguage(QStringLiteral("turkish"));
            TAnaFormF form(m_program, QString());
            ProgramAyarlariDialog settings(form.ProgramFolder(), form.SettingsFolder(), form.FSAyar, form.context(),
                                           form.Tema, form.windowTitle());
            QCOMPARE(settings.ComboDIL->findText(language), 0);
            settings.ComboDIL->setCurrentIndex(0);
            settings.sSpeedButton10->click();
        } else {
            // The source language has no file; it is chosen by its name in the settings file.
            chooseLanguage(language);
        }
        TAnaFormF form(m_program, QString());
        QCOMPARE(form.GenelYedekleme1->text().remove(u'&'), trayItem);
        form.GenelYedekleme1Click();
        QCOMPARE(form.managementWindow()->PageControl1->tabText(0).remove(u'&'), firstTab);
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&Yes"), yesButton);
    }
};

QTEST_MAIN(TestEnglish)
#include "tst_english.moc"
