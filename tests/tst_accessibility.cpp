// The windows through the accessibility interface, as a screen reader uses them: every control
// is named (by its label where it has one), and ticking a box by the reader's toggle action
// shows and hides what depends on the box as a click does.
#include "testfiles.h"
#include "ui/anaform.h"
#include "ui/dialogs.h"
#include "ui/jobeditor.h"
#include "ui/managementwindow.h"
#include "ui/restorewindow.h"
#include "ui/settingsdialog.h"
#include "ui/skindialog.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

using namespace kx;
using namespace kxtest;

namespace {

// What a reader says for a control: the label it is labelled by where it has one (a drop-down
// list's own name on this platform is its entry), otherwise its name.
QString accessibleName(QWidget *w)
{
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
    if (!a)
        return QString();
    const auto labels = a->relations(QAccessible::Label);
    if (!labels.isEmpty() && labels.first().first)
        return labels.first().first->text(QAccessible::Name);
    return a->text(QAccessible::Name);
}

bool hasWords(const QString &text)
{
    for (QChar c : text)
        if (c.isLetter())
            return true;
    return false;
}

} // namespace

class TestAccessibility : public QObject
{
    Q_OBJECT

    QTemporaryDir *m_dir = nullptr;
    QString m_program;
    std::unique_ptr<TAnaFormF> m_form;

    std::unique_ptr<QWidget> open(const QString &window)
    {
        m_form = std::make_unique<TAnaFormF>(m_program, QString());
        if (window == "folder editor" || window == "Firebird editor") {
            std::unique_ptr<TJobEditorF> e;
            if (window == "folder editor")
                e = std::make_unique<TK_DosyaYedeklemeF>(*m_form, QStringList{"Muhasebe"});
            else
                e = std::make_unique<TK_FBYedeklemeF>(*m_form, QStringList{"Muhasebe"});
            e->setJobToOpen(QString(), QString(), true);
            e->FormShow();
            return e;
        }
        if (window == "restore")
            return std::make_unique<TK_YedekGirF>(*m_form);
        if (window == "settings")
            return std::make_unique<ProgramAyarlariDialog>(m_form->ProgramFolder(), m_form->SettingsFolder(), m_form->FSAyar,
                                                           m_form->context(), m_form->Tema, m_form->windowTitle());
        if (window == "theme")
            return std::make_unique<TKxSkinSettingF>(m_form->Tema);
        return std::make_unique<TK_YedeklemeF>(*m_form);
    }

private slots:
    void init()
    {
        Dialogs::setScripted(true);
        m_dir = new QTemporaryDir;
        m_program = m_dir->filePath("program");
        QVERIFY(QDir().mkpath(m_program));
    }
    void cleanup()
    {
        m_form.reset();
        delete m_dir;
        m_dir = nullptr;
        Dialogs::takeShown();
    }

    // Every control a window's form names has a name a screen reader can say, in words (not
    // "..."); the boxes with a caption beside them are named by it.
    void controlsHaveNames_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("name");
        QTest::newRow("folder editor") << "folder editor" << "EditKAYNAK" << "Kaynak Dizin";
        QTest::newRow("Firebird editor") << "Firebird editor" << "EditUSER" << "Kullanici Adi";
        QTest::newRow("restore") << "restore" << "DirEditHEDEF" << "Hedef Dizin";
        QTest::newRow("settings") << "settings" << "ComboDIL" << "Program Arayuz Dili";
        QTest::newRow("theme") << "theme" << "ComboTEMA" << "Tema";
        QTest::newRow("management window") << "management window" << "dosyaEditAra" << "Dosya Adi";
    }
    void controlsHaveNames()
    {
        QFETCH(QString, window);
        QFETCH(QString, control);
        const std::unique_ptr<QWidget> w = open(window);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QStringList unnamed;
        for (QWidget *c : w->findChildren<QWidget *>()) {
            const bool isControl = qobject_cast<QLineEdit *>(c) || qobject_cast<QComboBox *>(c)
                                   || qobject_cast<QAbstractSpinBox *>(c) || qobject_cast<QAbstractSlider *>(c)
                                   || qobject_cast<QAbstractButton *>(c) || qobject_cast<QAbstractItemView *>(c);
            // The parts a control is made of (a combo box's line, a spin box's edit) and the
            // toolkit's own (scroll bars, tab buttons) are the control's business.
            if (!isControl || c->objectName().isEmpty() || c->objectName().startsWith("qt_")
                || qobject_cast<QAbstractSlider *>(c->parentWidget()) || qobject_cast<QComboBox *>(c->parentWidget())
                || qobject_cast<QAbstractSpinBox *>(c->parentWidget()))
                continue;
            if (!hasWords(accessibleName(c)))
                unnamed.append(c->objectName() + "=" + accessibleName(c));
        }
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(", ")));
        auto *named = w->findChild<QWidget *>(control);
        QVERIFY(named);
        QTEST(accessibleName(named).remove(u':').trimmed(), "name");
    }

    // The reader's toggle action on a box: what depends on it follows, and so does the job.
    void dependentsFollowTheToggleAction_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("zip") << "folder editor" << "CheckZIP" << "ZIP_YEDEKLE" << QStringList{"GroupParola", "CheckMessenger"};
        QTest::newRow("chat, Firebird") << "Firebird editor" << "CheckMessenger" << "UNETYEDEK" << QStringList{"PanelMessenger"};
    }
    void dependentsFollowTheToggleAction()
    {
        QFETCH(QString, window);
        QFETCH(QString, box);
        QFETCH(QString, key);
        QFETCH(QStringList, shown);
        const std::unique_ptr<QWidget> w = open(window);
        auto *editor = static_cast<TJobEditorF *>(w.get());
        w->show();
        auto *check = w->findChild<QCheckBox *>(box);
        QVERIFY(check && !check->isChecked());
        for (const QString &name : shown)
            QVERIFY2(!w->findChild<QWidget *>(name)->isVisible(), qPrintable(name));
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(check);
        QVERIFY(a && a->actionInterface());
        QVERIFY(a->actionInterface()->actionNames().contains(QAccessibleActionInterface::toggleAction()));
        for (bool on : {true, false}) {
            a->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
            QCOMPARE(check->isChecked(), on);
            QCOMPARE(editor->record().flag(key), on);
            for (const QString &name : shown)
                QVERIFY2(w->findChild<QWidget *>(name)->isVisible() == on, qPrintable(name));
        }
    }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
