#pragma once
// The job editors (TK_DosyaYedeklemeF for folder jobs, TK_FBYedeklemeF for Firebird jobs): one
// window for both kinds with their differences. The job record is bound to the controls; the
// editor creates, saves, cancels, deletes and renames jobs, keeps the job lists in step, starts a
// manual run, and (folder editor) opens the file-type picker. Each kind lays out its window in a
// Designer form of its own (folderjobeditor.ui, firebirdjobeditor.ui); both insert the shared
// schedule and retention boxes, and keep their command buttons below the part that scrolls.

#include "core/joblist.h"
#include "app/jobrecord.h"
#include "ui/timebox.h"

#include <QDialog>
#include <memory>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kx {

namespace Ui {
class TK_DosyaYedeklemeF;
class TK_FBYedeklemeF;
class TK_DosyaTuruF;
}

class JobListModel;
class KxFormHeader;
class TAnaFormF;

class TJobEditorF : public QDialog
{
    Q_OBJECT
public:
    ~TJobEditorF() override;

    JobKind kind() const { return m_kind; }
    JobRecord &record() { return m_record; }
    JobListModel &model() { return *m_model; }

    // The job the management window hands over (its selected row's name and group), and whether
    // the editor opens on a new job ("Yeni Kayit") rather than on that one.
    void setJobToOpen(const QString &name, const QString &group, bool newJob);
    // What happens when the editor is shown: the list rebuilt, the job to open loaded (or a new
    // job started in the open mode -1), the dependent controls set.
    void FormShow();

    // The operations behind the controls.
    void YeniKayit();
    void Kaydet();
    void IptalEt();
    void Sil();
    void AdDegistir();         // BitBtnYDADIDEG
    void YedeklemeBaslat();    // "Simdi Yedekle"
    void YedeklenecekDosyalar(); // the file-type picker (folder editor)
    void chooseFolder(const QString &key);
    void chooseDatabaseFile();
    // ListeAktar (rescan, name), DByeAktar.
    void ListeAktar(bool rescan, const QString &name = QString());
    void DByeAktar();
    // Writes the record to the job file of that name.
    void DBdenAktar(const QString &name, bool newJob);

    // The controls.
    KxFormHeader *Header;
    QComboBox *DBComboBox1;
    QLineEdit *EditYEDEKNAME;
    QPushButton *BitBtnYDADIDEG;
    QLineEdit *EditACIKLAMA;
    QLineEdit *EditKAYNAK; // source folder (folder editor) or database file (Firebird editor)
    QPushButton *ButtonKAYNAK;
    QLineEdit *EditHEDEF;
    QPushButton *ButtonHEDEF;
    QLineEdit *EditHEDEF2;
    QPushButton *ButtonHEDEF2;
    QLineEdit *EditUSER = nullptr; // Firebird editor
    QLineEdit *EditPAS = nullptr;
    QPushButton *ButtonDosyaTuru = nullptr; // folder editor
    QCheckBox *CheckZIP = nullptr;
    QGroupBox *GroupParola = nullptr;
    QLineEdit *EditPWD1 = nullptr;
    QLineEdit *EditPWD2 = nullptr;
    QCheckBox *CheckALTDIZIN = nullptr;
    QCheckBox *CheckAKTIF;
    QCheckBox *CheckUZERINE;
    QCheckBox *CheckMessenger;
    QWidget *PanelMessenger;
    QLineEdit *EditMSNIP;
    QLineEdit *EditYETKI;
    QCheckBox *CheckMSNSIL;
    QGroupBox *GroupZamanlama;
    QLineEdit *EditPERYOT;
    QComboBox *ComboZAMAN;
    QLabel *LabelZAMAN;
    TimeBox *EditSAAT;
    QLabel *LabelDeYedekle;
    QGroupBox *GroupSilme;
    QComboBox *ComboSIL;
    QLabel *LabelX;
    QLineEdit *EditSILGUN;
    QPushButton *ButtonYeni;
    QPushButton *ButtonSil;
    QPushButton *ButtonKaydet;
    QPushButton *ButtonIptal;
    QPushButton *ButtonSimdiYedekle;

    // The control that shows a field (the job name box for "YEDEK_ADI").
    QWidget *controlOf(const QString &key) const;
    // The caption of a field's control, translated.
    QString captionOf(const QString &key) const;

protected:
    TJobEditorF(JobKind kind, TAnaFormF &main, QWidget *parent);
    // After the kind's form is set up: the controls both forms hold, taken from it.
    template <class Form> void takeControls(Form &form);
    // The record bound to the controls, the commands connected, the window translated.
    // groupEntries: the management window's group box entries of the kind, without its first two.
    void bindControls(const QStringList &groupEntries);

    void closeEvent(QCloseEvent *event) override;
    void reject() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void bindText(QLineEdit *edit, const QString &key, int width);
    void showRecord();
    void setDependents();
    void setButtons();
    // The job name box names the job the record shows: the current job of the list, or nothing.
    void showStoredName();
    void loadCurrent();
    QString jobFile(const QString &name) const;

    JobKind m_kind;
    TAnaFormF &m_main;
    JobRecord m_record;
    JobListModel *m_model;
    QString m_openName;
    QString m_openGroup;
    bool m_openNew = false;
    bool m_refreshing = false;
    QHash<QString, QWidget *> m_controls;
    QHash<QString, QString> m_captions;
};

class TK_DosyaYedeklemeF : public TJobEditorF
{
    Q_OBJECT
public:
    TK_DosyaYedeklemeF(TAnaFormF &main, const QStringList &groupEntries, QWidget *parent = nullptr);
    ~TK_DosyaYedeklemeF() override;

private:
    const std::unique_ptr<Ui::TK_DosyaYedeklemeF> m_ui;
};

class TK_FBYedeklemeF : public TJobEditorF
{
    Q_OBJECT
public:
    TK_FBYedeklemeF(TAnaFormF &main, const QStringList &groupEntries, QWidget *parent = nullptr);
    ~TK_FBYedeklemeF() override;

private:
    const std::unique_ptr<Ui::TK_FBYedeklemeF> m_ui;
};

// The file-type picker: the ten masks DOSYA_TURU1 … DOSYA_TURU10 of the folder editor's record.
// Closing it with all ten empty puts "*.*" into the first.
class TK_DosyaTuruF : public QDialog
{
    Q_OBJECT
public:
    TK_DosyaTuruF(JobRecord &record, const QString &title, QWidget *parent = nullptr);
    ~TK_DosyaTuruF() override;

    QLineEdit *box(int i) const { return m_boxes.at(i); } // 0 … 9
    QPushButton *ButtonKapat;

    // What closing does, by any of the three ways.
    void closing();

protected:
    void done(int result) override;

private:
    const std::unique_ptr<Ui::TK_DosyaTuruF> m_ui;
    JobRecord &m_record;
    QList<QLineEdit *> m_boxes;
    bool m_closed = false;
};

} // namespace kx
