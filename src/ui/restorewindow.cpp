#include "ui/restorewindow.h"
#include "ui/accessiblenames.h"
#include "core/joblist.h"
#include "core/service.h"
#include "ui/formheader.h"
#include "runs/naming.h"
#include "runs/runcontroller.h"
#include "ui/anaform.h"
#include "ui/dialogs.h"
#include "ui_restorewindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace kx {

TK_YedekGirF::TK_YedekGirF(TAnaFormF &main, QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::TK_YedekGirF>()), m_main(main)
{
    m_ui->setupUi(this);
    // Only the decorations asked for: a window manager's resize strip along the bottom is not one.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    PageControl1 = m_ui->PageControl1;
    PageControl2 = m_ui->PageControl2;
    EditMASK = m_ui->EditMASK;
    DirEditKAYNAK = m_ui->DirEditKAYNAK;
    DirEditHEDEF = m_ui->DirEditHEDEF;
    CheckUZYAZDG = m_ui->CheckUZYAZDG;
    CheckALTDIZIN = m_ui->CheckALTDIZIN;
    sSpeedButton2 = m_ui->sSpeedButton2;
    FileEditKAYNAK = m_ui->FileEditKAYNAK;
    DirEditZHEDEF = m_ui->DirEditZHEDEF;
    EditZIPPWD = m_ui->EditZIPPWD;
    CheckZUZYAZZIP = m_ui->CheckZUZYAZZIP;
    sSpeedButton3 = m_ui->sSpeedButton3;
    FilenameEdit1 = m_ui->FilenameEdit1;
    DirectoryEdit1 = m_ui->DirectoryEdit1;
    EditUSER = m_ui->EditUSER;
    EditPAS = m_ui->EditPAS;
    EditHDDOSYA = m_ui->EditHDDOSYA;
    ComboEXT = m_ui->ComboEXT;
    CheckUZYAZ = m_ui->CheckUZYAZ;
    sSpeedButton1 = m_ui->sSpeedButton1;

    const QString backups = defaultFolder(QStringLiteral("KX_YEDEK"));
    const QString programs = defaultFolder(QStringLiteral("KORVANEX"));
    DirEditKAYNAK->setText(backups);
    DirEditHEDEF->setText(programs);
    FileEditKAYNAK->setText(backups);
    DirEditZHEDEF->setText(programs);
    FilenameEdit1->setText(backups + u'/');
    DirectoryEdit1->setText(programs + u'/');

    const auto chooser = [this](QPushButton *button, QLineEdit *edit, bool file,
                                const QString &filter = QString()) {
        connect(button, &QPushButton::clicked, this,
                guardedCommand([this, edit, file, filter] { choose(edit, file, filter); }));
    };
    chooser(m_ui->SecKAYNAK, DirEditKAYNAK, false);
    chooser(m_ui->SecHEDEF, DirEditHEDEF, false);
    chooser(m_ui->SecZKAYNAK, FileEditKAYNAK, true);
    chooser(m_ui->SecZHEDEF, DirEditZHEDEF, false);
    // Backups made by this program end in ".fbk"; old ones of another letter case or name are
    // still reachable through "all files".
    chooser(m_ui->SecFBKAYNAK, FilenameEdit1, true,
            trMsg(QStringLiteral("Firebird Yedek Dosyalari")) + QStringLiteral(" (*.fbk *.FBK);;")
                + trMsg(QStringLiteral("Tum Dosyalar")) + QStringLiteral(" (*)"));
    chooser(m_ui->SecFBHEDEF, DirectoryEdit1, false);

    connect(sSpeedButton2, &QPushButton::clicked, this, guardedCommand([this] { KlasorGeriYukle(); }));
    connect(sSpeedButton3, &QPushButton::clicked, this, guardedCommand([this] { ZipGeriYukle(); }));
    connect(sSpeedButton1, &QPushButton::clicked, this, guardedCommand([this] { FirebirdGeriYukle(); }));
    // The extension list starts at "FDB": a source file chosen first always gets a target.
    connect(FilenameEdit1, &QLineEdit::textChanged, this, [this] { FilenameEdit1Change(); });
    connect(ComboEXT, &QComboBox::currentIndexChanged, this, [this] { FilenameEdit1Change(); });

    trWindow(this);
    nameControlsByLabels(this);
    // A path longer than its box shows whole in the box's tooltip (set after the window's texts
    // were translated: a path is never a text to translate).
    for (QLineEdit *edit : {DirEditKAYNAK, DirEditHEDEF, FileEditKAYNAK, DirEditZHEDEF, FilenameEdit1, DirectoryEdit1, EditHDDOSYA}) {
        edit->setToolTip(edit->text());
        connect(edit, &QLineEdit::textChanged, edit, [edit](const QString &text) { edit->setToolTip(text); });
    }
}

TK_YedekGirF::~TK_YedekGirF() = default;

void TK_YedekGirF::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_widened) {
        // Wide enough at its first showing for a typical archive's path, as far as the screen
        // allows.
        m_widened = true;
        const QString typical = QStringLiteral("/home/kullanici/KX_YEDEK/Belgeler_nyd_20261210_2200/Kaynak.Zip");
        const int wanted = width() - DirEditKAYNAK->width() + DirEditKAYNAK->fontMetrics().horizontalAdvance(typical) + 24;
        const int room = screen() ? screen()->availableGeometry().width() - 16 : wanted;
        if (wanted > width())
            resize(std::min(wanted, std::max(room, width())), height());
    }
    setWindowTitle(m_main.windowTitle());
    PageControl1->setCurrentIndex(0);
    PageControl2->setCurrentIndex(0);
}

void TK_YedekGirF::choose(QLineEdit *edit, bool file, const QString &filter)
{
    const QString chosen = file ? Dialogs::chooseFile(this, trMsg(QStringLiteral("Dosya Seç")), edit->text(), filter)
                                : Dialogs::chooseFolder(this, QString(), edit->text());
    if (!chosen.isEmpty())
        edit->setText(chosen);
}

bool TK_YedekGirF::passes(const RestoreCheck &check, QWidget *target)
{
    switch (check.verdict) {
    case RestoreCheck::Verdict::Go:
        return true;
    case RestoreCheck::Verdict::Overwrite:
        return Dialogs::question(this, trMsg(QStringLiteral("Soru")), check.message.text(), true);
    case RestoreCheck::Verdict::Stop:
        break;
    }
    Dialogs::info(check.message.text());
    QWidget *focus = nullptr;
    switch (check.field) {
    case RestoreCheck::Field::Pattern:
        focus = EditMASK;
        break;
    case RestoreCheck::Field::Source:
        focus = DirEditKAYNAK;
        break;
    case RestoreCheck::Field::Target:
        focus = target;
        break;
    case RestoreCheck::Field::None:
        break;
    }
    if (focus && focus->isEnabled() && focus->focusPolicy() != Qt::NoFocus)
        focus->setFocus();
    return false;
}

bool TK_YedekGirF::refusedWhileRunning(RunKind kind)
{
    const QString text = restoreRunningText(m_main.runs().running(), kind);
    if (!text.isEmpty())
        Dialogs::info(text);
    return !text.isEmpty();
}

void TK_YedekGirF::FilenameEdit1Change()
{
    const QString target = firebirdRestoreTarget(FilenameEdit1->text(), DirectoryEdit1->text(), ComboEXT->currentText());
    if (!target.isEmpty())
        EditHDDOSYA->setText(target);
}

void TK_YedekGirF::KlasorGeriYukle()
{
    FolderRestoreParams p;
    p.zipMode = false;
    p.sourceFolder = DirEditKAYNAK->text();
    p.targetFolder = DirEditHEDEF->text();
    p.overwrite = CheckUZYAZDG->isChecked();
    p.subfolders = CheckALTDIZIN->isChecked();
    p.pattern = EditMASK->text();
    if (!passes(checkFolderRestore(p), DirEditHEDEF) || refusedWhileRunning(RunKind::FolderRestore))
        return;
    m_main.runs().start(std::make_unique<FolderRestoreRun>(p));
}

void TK_YedekGirF::ZipGeriYukle()
{
    if (refusedWhileRunning(RunKind::FolderRestore))
        return;
    FolderRestoreParams p;
    p.zipMode = true;
    p.archive = FileEditKAYNAK->text();
    p.targetFolder = DirEditZHEDEF->text();
    p.overwrite = CheckZUZYAZZIP->isChecked();
    p.password = EditZIPPWD->text();
    if (!passes(checkZipRestore(p), DirEditZHEDEF))
        return;
    m_main.runs().start(std::make_unique<FolderRestoreRun>(p));
}

void TK_YedekGirF::FirebirdGeriYukle()
{
    if (refusedWhileRunning(RunKind::FirebirdRestore))
        return;
    FirebirdRestoreParams p{FilenameEdit1->text(), EditHDDOSYA->text(), EditUSER->text(), EditPAS->text(),
                            m_main.context().moment().serviceDate};
    if (!passes(checkFirebirdRestore(p, DirectoryEdit1->text(), CheckUZYAZ->isChecked())))
        return;
    m_main.runs().start(std::make_unique<FirebirdRestoreRun>(p));
}

} // namespace kx
