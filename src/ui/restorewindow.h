#pragma once
// The restore request window (TK_YedekGirF): a folder's files copied back, a ZIP archive unpacked,
// or a Firebird backup file restored into a database. Each page checks its input, asks before
// overwriting, and hands the restore to the run controller, whose runner window shows it. The
// controls are laid out in restorewindow.ui.

#include "runs/restorechecks.h"

#include <QDialog>
#include <memory>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace kx {

class TAnaFormF;
namespace Ui {
class TK_YedekGirF;
}

class TK_YedekGirF : public QDialog
{
    Q_OBJECT
public:
    explicit TK_YedekGirF(TAnaFormF &main, QWidget *parent = nullptr);
    ~TK_YedekGirF() override;

    QTabWidget *PageControl1;  // "Dosya Geri Yukleme", "Firebird Geri Yukleme"
    QTabWidget *PageControl2;  // "Klasor Geri Yukleme", "ZIP Geri Yukleme"
    // Folder restore.
    QLineEdit *EditMASK;
    QLineEdit *DirEditKAYNAK;
    QLineEdit *DirEditHEDEF;
    QCheckBox *CheckUZYAZDG;
    QCheckBox *CheckALTDIZIN;
    QPushButton *sSpeedButton2;
    // ZIP restore.
    QLineEdit *FileEditKAYNAK;
    QLineEdit *DirEditZHEDEF;
    QLineEdit *EditZIPPWD;
    QCheckBox *CheckZUZYAZZIP;
    QPushButton *sSpeedButton3;
    // Firebird restore.
    QLineEdit *FilenameEdit1;
    QLineEdit *DirectoryEdit1;
    QLineEdit *EditUSER;
    QLineEdit *EditPAS;
    QLineEdit *EditHDDOSYA;
    QComboBox *ComboEXT;
    QCheckBox *CheckUZYAZ;
    QPushButton *sSpeedButton1;

    // The three "Geri Yukleme" commands.
    void KlasorGeriYukle();
    void ZipGeriYukle();
    void FirebirdGeriYukle();
    // The target file computation of the Firebird page.
    void FilenameEdit1Change();
    // The file and folder choosers of the boxes; a file chooser with its filter.
    void choose(QLineEdit *box, bool file, const QString &filter = QString());

protected:
    void showEvent(QShowEvent *event) override;

private:
    // A refusal shown and its input focused (`target`: the page's target box); true when
    // nothing is in the way or the user goes on past the overwrite question.
    bool passes(const RestoreCheck &check, QWidget *target = nullptr);
    // A restore of the kind is under way: the user is told so, and true comes back.
    bool refusedWhileRunning(RunKind kind);

    const std::unique_ptr<Ui::TK_YedekGirF> m_ui;
    TAnaFormF &m_main;
    bool m_widened = false;
};

} // namespace kx
