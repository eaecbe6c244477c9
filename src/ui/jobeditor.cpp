#include "ui/jobeditor.h"
#include "ui/accessiblenames.h"
#include "platform/files.h"
#include "core/service.h"
#include "ui/formheader.h"
#include "ui/timebox.h"
#include "platform/kxerror.h"
#include "runs/runcontroller.h"
#include "ui/anaform.h"
#include "ui/dialogs.h"
#include "app/joblistmodel.h"
#include "app/manualrun.h"
#include "ui_filetypepicker.h"
#include "ui_firebirdjobeditor.h"
#include "ui_folderjobeditor.h"
#include "ui_retentionbox.h"
#include "ui_schedulebox.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace kx {

TJobEditorF::TJobEditorF(JobKind kind, TAnaFormF &main, QWidget *parent)
    : QDialog(parent), m_kind(kind), m_main(main), m_record(kind)
{
    // Only the decorations asked for: a window manager's resize strip along the bottom is not one.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    m_model = new JobListModel(kind, JobListModel::Owner::Editor, main.ProgramFolder(),
                               [&main, kind] { return kind == JobKind::Folder ? main.MemoDOSYAYD : main.MemoFBYEDEK; },
                               [&main] { main.DosyaYukle(); }, this);
    m_record.saver = [this] { Kaydet(); };
}

template <class Form> void TJobEditorF::takeControls(Form &form)
{
    Header = form.Header;
    DBComboBox1 = form.DBComboBox1;
    EditYEDEKNAME = form.EditYEDEKNAME;
    BitBtnYDADIDEG = form.BitBtnYDADIDEG;
    EditACIKLAMA = form.EditACIKLAMA;
    EditKAYNAK = form.EditKAYNAK;
    ButtonKAYNAK = form.ButtonKAYNAK;
    EditHEDEF = form.EditHEDEF;
    ButtonHEDEF = form.ButtonHEDEF;
    EditHEDEF2 = form.EditHEDEF2;
    ButtonHEDEF2 = form.ButtonHEDEF2;
    CheckAKTIF = form.CheckAKTIF;
    CheckUZERINE = form.CheckUZERINE;
    CheckMessenger = form.CheckMessenger;
    PanelMessenger = form.PanelMessenger;
    EditMSNIP = form.EditMSNIP;
    EditYETKI = form.EditYETKI;
    CheckMSNSIL = form.CheckMSNSIL;
    GroupZamanlama = form.GroupZamanlama;
    const Ui::ScheduleBox &schedule = form.GroupZamanlama->form();
    EditPERYOT = schedule.EditPERYOT;
    ComboZAMAN = schedule.ComboZAMAN;
    LabelZAMAN = schedule.LabelZAMAN;
    EditSAAT = schedule.EditSAAT;
    LabelDeYedekle = schedule.LabelDeYedekle;
    GroupSilme = form.GroupSilme;
    const Ui::RetentionBox &retention = form.GroupSilme->form();
    ComboSIL = retention.ComboSIL;
    LabelX = retention.LabelX;
    EditSILGUN = retention.EditSILGUN;
    ButtonYeni = form.ButtonYeni;
    ButtonSil = form.ButtonSil;
    ButtonKaydet = form.ButtonKaydet;
    ButtonIptal = form.ButtonIptal;
    ButtonSimdiYedekle = form.ButtonSimdiYedekle;
}

TK_DosyaYedeklemeF::TK_DosyaYedeklemeF(TAnaFormF &main, const QStringList &groupEntries, QWidget *parent)
    : TJobEditorF(JobKind::Folder, main, parent), m_ui(std::make_unique<Ui::TK_DosyaYedeklemeF>())
{
    m_ui->setupUi(this);
    takeControls(*m_ui);
    ButtonDosyaTuru = m_ui->ButtonDosyaTuru;
    CheckZIP = m_ui->CheckZIP;
    GroupParola = m_ui->GroupParola;
    EditPWD1 = m_ui->EditPWD1;
    EditPWD2 = m_ui->EditPWD2;
    CheckALTDIZIN = m_ui->CheckALTDIZIN;
    bindControls(groupEntries);
}

TK_DosyaYedeklemeF::~TK_DosyaYedeklemeF() = default;

TK_FBYedeklemeF::TK_FBYedeklemeF(TAnaFormF &main, const QStringList &groupEntries, QWidget *parent)
    : TJobEditorF(JobKind::Firebird, main, parent), m_ui(std::make_unique<Ui::TK_FBYedeklemeF>())
{
    m_ui->setupUi(this);
    takeControls(*m_ui);
    EditUSER = m_ui->EditUSER;
    EditPAS = m_ui->EditPAS;
    bindControls(groupEntries);
}

TK_FBYedeklemeF::~TK_FBYedeklemeF() = default;

void TJobEditorF::bindControls(const QStringList &groupEntries)
{
    const bool folder = m_kind == JobKind::Folder;
    EditYEDEKNAME->installEventFilter(this);

    // The record bound to the controls: what the user changes goes into it at once.
    bindText(EditACIKLAMA, QStringLiteral("ACIKLAMA"), 200);
    bindText(EditKAYNAK, folder ? QStringLiteral("KAYNAK_DIZIN") : QStringLiteral("KAYNAK_DOSYA"), 150);
    bindText(EditHEDEF, QStringLiteral("HEDEF_DIZIN"), 150);
    bindText(EditHEDEF2, QStringLiteral("HEDEFDIZIN2"), 500);
    bindText(EditMSNIP, QStringLiteral("MSN_IP"), 30);
    bindText(EditYETKI, QStringLiteral("UNETSIFRE"), 50);
    bindText(EditPERYOT, QStringLiteral("PERYOT"), 9);
    bindText(EditSILGUN, QStringLiteral("SILGUN"), 9);
    if (folder) {
        bindText(EditPWD1, QStringLiteral("ZIP_PAROLA1"), 20);
        bindText(EditPWD2, QStringLiteral("ZIP_PAROLA2"), 20);
    } else {
        bindText(EditUSER, QStringLiteral("USERNAME"), 30);
        bindText(EditPAS, QStringLiteral("USERPWD"), 30);
    }
    auto bindCheck = [this](QCheckBox *c, const QString &key) {
        m_controls.insert(key, c);
        // The box's state, however it changed (a click, the keyboard, a screen reader's toggle).
        connect(c, &QCheckBox::toggled, this, [this, key](bool on) {
            if (!m_refreshing)
                m_record.setFlag(key, on);
        });
    };
    bindCheck(CheckAKTIF, QStringLiteral("AKTIF"));
    bindCheck(CheckUZERINE, QStringLiteral("UZERINE_YAZ"));
    bindCheck(CheckMessenger, QStringLiteral("UNETYEDEK"));
    bindCheck(CheckMSNSIL, QStringLiteral("MSN_FILEDELETE")); // a text field: "True" / "False"
    if (folder) {
        bindCheck(CheckZIP, QStringLiteral("ZIP_YEDEKLE"));
        bindCheck(CheckALTDIZIN, QStringLiteral("ALT_DIZIN"));
    }
    m_controls.insert(QStringLiteral("GRUBU"), DBComboBox1);
    connect(DBComboBox1, &QComboBox::editTextChanged, this, [this](const QString &text) {
        if (!m_refreshing)
            m_record.set(QStringLiteral("GRUBU"), text);
    });
    m_controls.insert(QStringLiteral("YEDEK_ZAMANI"), ComboZAMAN);
    connect(ComboZAMAN, &QComboBox::activated, this, [this](int index) {
        if (!m_refreshing)
            m_record.set(QStringLiteral("YEDEK_ZAMANI"), QString::number(index + 1));
    });
    m_controls.insert(QStringLiteral("YEDEKSIL"), ComboSIL);
    connect(ComboSIL, &QComboBox::activated, this, [this](int index) {
        if (!m_refreshing)
            m_record.set(QStringLiteral("YEDEKSIL"), QString::number(index));
    });
    m_controls.insert(QStringLiteral("GHA_YEDEK_SAATI"), EditSAAT);
    connect(EditSAAT, &TimeBox::timeChanged, this, [this](const QTime &t) {
        if (!m_refreshing)
            m_record.setTime(t);
    });
    connect(EditSAAT, &TimeBox::timeTyped, this, [this](const QString &text) {
        if (!m_refreshing)
            m_record.setTypedTime(text);
    });
    m_controls.insert(QStringLiteral("YEDEK_ADI"), EditYEDEKNAME);
    connect(&m_record, &JobRecord::reloaded, this, [this] { showRecord(); });
    connect(&m_record, &JobRecord::edited, this, [this] {
        setDependents();
        setButtons();
    });

    connect(ButtonYeni, &QPushButton::clicked, this, guardedCommand([this] { YeniKayit(); }));
    connect(ButtonSil, &QPushButton::clicked, this, guardedCommand([this] { Sil(); }));
    connect(ButtonKaydet, &QPushButton::clicked, this, guardedCommand([this] { Kaydet(); }));
    connect(ButtonIptal, &QPushButton::clicked, this, guardedCommand([this] { IptalEt(); }));
    connect(ButtonSimdiYedekle, &QPushButton::clicked, this, guardedCommand([this] { YedeklemeBaslat(); }));
    connect(BitBtnYDADIDEG, &QPushButton::clicked, this, guardedCommand([this] { AdDegistir(); }));
    const QString sourceKey = folder ? QStringLiteral("KAYNAK_DIZIN") : QStringLiteral("KAYNAK_DOSYA");
    connect(ButtonKAYNAK, &QPushButton::clicked, this, guardedCommand([this, folder, sourceKey] {
                folder ? chooseFolder(sourceKey) : chooseDatabaseFile();
            }));
    connect(ButtonHEDEF, &QPushButton::clicked, this, guardedCommand([this] { chooseFolder(QStringLiteral("HEDEF_DIZIN")); }));
    connect(ButtonHEDEF2, &QPushButton::clicked, this, guardedCommand([this] { chooseFolder(QStringLiteral("HEDEFDIZIN2")); }));
    if (ButtonDosyaTuru)
        connect(ButtonDosyaTuru, &QPushButton::clicked, this, guardedCommand([this] { YedeklenecekDosyalar(); }));

    // 1. The window's own texts, once; 3. the group entries are the user's data and come after.
    trWindow(this);
    nameControlsByLabels(this);
    {
        const QSignalBlocker block(DBComboBox1);
        DBComboBox1->addItems(groupEntries);
        DBComboBox1->setCurrentIndex(-1);
        DBComboBox1->setEditText(QString());
    }
    // Captions of the controls, for messages that name a field.
    m_captions = {{QStringLiteral("GRUBU"), trMsg(QStringLiteral("Yedekleme Grubu"))},
                  {QStringLiteral("ACIKLAMA"), trMsg(QStringLiteral("Aciklama"))},
                  {QStringLiteral("KAYNAK_DIZIN"), trMsg(QStringLiteral("Kaynak Dizin"))},
                  {QStringLiteral("KAYNAK_DOSYA"), trMsg(QStringLiteral("Kaynak Dosya"))},
                  {QStringLiteral("HEDEF_DIZIN"), trMsg(QStringLiteral("Hedef Dizin"))},
                  {QStringLiteral("HEDEFDIZIN2"), trMsg(QStringLiteral("Hedef Dizin 2"))},
                  {QStringLiteral("USERNAME"), trMsg(QStringLiteral("Kullanici Adi"))},
                  {QStringLiteral("USERPWD"), trMsg(QStringLiteral("Kullanici Parolasi"))},
                  {QStringLiteral("ZIP_PAROLA1"), trMsg(QStringLiteral("Parola"))},
                  {QStringLiteral("ZIP_PAROLA2"), trMsg(QStringLiteral("Parola Tekrar"))},
                  {QStringLiteral("MSN_IP"), trMsg(QStringLiteral("Messenger IP"))},
                  {QStringLiteral("UNETSIFRE"), trMsg(QStringLiteral("Yetki Sifresi"))},
                  {QStringLiteral("YEDEK_ADI"), trMsg(QStringLiteral("Yedekleme Adi"))},
                  {QStringLiteral("GHA_YEDEK_SAATI"), trMsg(QStringLiteral("Yedekleme Saati"))}};
    showRecord();
}

TJobEditorF::~TJobEditorF() = default;

void TJobEditorF::bindText(QLineEdit *e, const QString &key, int width)
{
    e->setMaxLength(width);
    e->setProperty("kxWidth", width);
    m_controls.insert(key, e);
    // What the user types; texts the program puts there do not count.
    connect(e, &QLineEdit::textEdited, this, [this, key](const QString &text) {
        if (!m_refreshing)
            m_record.set(key, text);
    });
}

QWidget *TJobEditorF::controlOf(const QString &key) const
{
    return m_controls.value(key);
}

QString TJobEditorF::captionOf(const QString &key) const
{
    return m_captions.value(key, key);
}

QString TJobEditorF::jobFile(const QString &name) const
{
    return jobFilePath(m_main.ProgramFolder(), name, m_kind);
}

void TJobEditorF::showRecord()
{
    m_refreshing = true;
    for (auto it = m_controls.cbegin(); it != m_controls.cend(); ++it) {
        const QString &key = it.key();
        const QString value = m_record.value(key);
        if (auto *e = qobject_cast<QLineEdit *>(it.value())) {
            if (e == EditYEDEKNAME)
                continue;
            // A stored value longer than the field's width is shown whole, never cut.
            const int width = e->property("kxWidth").toInt();
            e->setMaxLength(std::max<int>(width, int(value.size())));
            e->setText(value);
        } else if (auto *c = qobject_cast<QCheckBox *>(it.value())) {
            c->setChecked(value == QLatin1String("True"));
        }
    }
    DBComboBox1->setEditText(m_record.value(QStringLiteral("GRUBU")));
    const int interval = m_record.value(QStringLiteral("YEDEK_ZAMANI")).toInt();
    ComboZAMAN->setCurrentIndex(interval >= 1 && interval <= 4 ? interval - 1 : -1);
    const QString mode = m_record.value(QStringLiteral("YEDEKSIL"));
    ComboSIL->setCurrentIndex(mode.size() == 1 && mode >= QLatin1String("0") && mode <= QLatin1String("3")
                                  ? mode.toInt()
                                  : -1);
    EditSAAT->setTime(m_record.time().isValid() ? m_record.time() : QTime(0, 0));
    m_refreshing = false;
    setDependents();
    setButtons();
}

void TJobEditorF::setDependents()
{
    const ScheduleUnit unit = scheduleUnit(m_record.value(QStringLiteral("YEDEK_ZAMANI")));
    const bool hourly = unit == ScheduleUnit::Hour;
    const bool calendar = unit == ScheduleUnit::Day || unit == ScheduleUnit::Week || unit == ScheduleUnit::Month;
    LabelZAMAN->setText(trMsg(hourly ? QStringLiteral("bir yedekle") : QStringLiteral("bir; saat")));
    EditSAAT->setVisible(calendar);
    LabelDeYedekle->setVisible(calendar);
    GroupSilme->setVisible(hourly);
    const QString mode = m_record.value(QStringLiteral("YEDEKSIL"));
    const bool counted = mode == QLatin1String("1") || mode == QLatin1String("2") || mode == QLatin1String("3");
    LabelX->setVisible(counted);
    EditSILGUN->setVisible(counted);
    const bool messenger = m_record.flag(QStringLiteral("UNETYEDEK"));
    if (m_kind == JobKind::Folder) {
        const bool zip = m_record.flag(QStringLiteral("ZIP_YEDEKLE"));
        GroupParola->setVisible(zip);
        GroupParola->setEnabled(zip);
        CheckMessenger->setVisible(zip);
        PanelMessenger->setVisible(zip && messenger);
    } else {
        PanelMessenger->setVisible(messenger);
    }
}

void TJobEditorF::setButtons()
{
    const bool editing = m_record.isEditing();
    ButtonYeni->setEnabled(!editing);
    ButtonSil->setEnabled(!m_record.isEmpty());
    ButtonKaydet->setEnabled(editing);
    ButtonIptal->setEnabled(editing);
    // The name box is typed into only for a new job; the rename button works only on a stored
    // job that is shown.
    const bool naming = m_record.isNew();
    EditYEDEKNAME->setReadOnly(!naming);
    EditYEDEKNAME->setEnabled(naming);
    BitBtnYDADIDEG->setEnabled(!naming && !m_record.isEmpty());
}

void TJobEditorF::showStoredName()
{
    EditYEDEKNAME->setText(m_model->hasRecord() ? m_model->currentName() : QString());
    setButtons();
}

void TJobEditorF::loadCurrent()
{
    if (m_model->hasRecord())
        m_record.load(m_model->record(), m_model->recordPassword());
    else
        m_record.clear();
    showStoredName();
}

void TJobEditorF::ListeAktar(bool rescan, const QString &name)
{
    struct After {
        TJobEditorF *e;
        ~After() { e->loadCurrent(); }
    } after{this};
    m_model->rebuild(rescan, name);
}

void TJobEditorF::DByeAktar()
{
    m_model->loadRecord();
    loadCurrent();
}

void TJobEditorF::setJobToOpen(const QString &name, const QString &group, bool newJob)
{
    m_openNew = newJob;
    m_openName = name;
    m_openGroup = group;
}

void TJobEditorF::FormShow()
{
    setWindowTitle(m_main.windowTitle());
    ListeAktar(false);
    if (m_openNew) {
        YeniKayit();
    } else {
        // Each move loads the job of the filtered list's current row; what does not match leaves
        // the job loaded before.
        struct After {
            TJobEditorF *e;
            ~After() { e->loadCurrent(); }
        } after{this};
        if (!m_openGroup.isEmpty())
            m_model->applyGroupBox(m_openGroup);
        if (!m_openName.isEmpty())
            m_model->selectName(m_openName);
    }
    if (EditUSER)
        EditUSER->setFocus();
    setDependents();
}

void TJobEditorF::YeniKayit()
{
    if (m_record.isEditing())
        return;
    m_record.startNew();
    EditYEDEKNAME->setText(trMsg(QStringLiteral("OtoYedek1")));
    setButtons();
}

void TJobEditorF::DBdenAktar(const QString &name, bool newJob)
{
    // A new job's file starts from nothing: the keys of the job shown before (its last run,
    // anything else) are not its own. A stored job starts from its own file, whose keys outside
    // the record survive.
    const QString path = jobFile(name);
    JobFile base;
    if (!newJob && isPlainFile(path))
        base = JobFile::load(path);
    m_record.toJobFile(base).save(path);
}

void TJobEditorF::Kaydet()
{
    if (!m_record.isEditing())
        return;
    const bool wasNew = m_record.isNew();
    const bool groupChanged = wasNew || m_record.rememberedGroup() != m_record.value(QStringLiteral("GRUBU"));
    if (m_model->guard()) {
        m_record.store();
        return;
    }
    const auto caption = [this](const QString &key) { return captionOf(key); };
    if (const auto failure = saveCheck(m_record, EditYEDEKNAME->text(), m_main.ProgramFolder(), caption)) {
        Dialogs::info(failure->message);
        if (QWidget *w = controlOf(failure->focus); w && w->isEnabled())
            w->setFocus();
        throw SilentStop();
    }
    QString name = EditYEDEKNAME->text();
    if (!name.contains(u'.'))
        name += jobExtension(m_kind);
    // The file is written before the record counts as stored: a write that fails leaves the job
    // being edited under the name as typed, never shown as saved (nor run as the job the list
    // still points at).
    DBdenAktar(name, wasNew);
    m_record.store();
    EditYEDEKNAME->setText(name);
    // Told, not refused: the job works, only its backups lie inside the folder it backs up.
    if (const QString warning = targetInsideSourceWarning(m_record, caption); !warning.isEmpty())
        Dialogs::info(warning);
    if (groupChanged)
        ListeAktar(true, name);
    setButtons();
}

void TJobEditorF::IptalEt()
{
    m_record.cancel();
    showStoredName();
}

void TJobEditorF::Sil()
{
    if (m_record.isNew()) {
        IptalEt();
        return;
    }
    if (m_record.isEmpty())
        return;
    if (!Dialogs::question(this, trMsg(QStringLiteral("Soru")),
                           trMsg(QStringLiteral("Bu yedekleme kaydini silmek istediginizden emin misiniz?")), true))
        throw SilentStop();
    // The job shown is the one deleted; whether the file went is not asked (the rescan finds it
    // again if not).
    removeFile(jobFile(m_model->currentName()));
    m_record.clear();
    ListeAktar(true);
    setDependents();
}

void TJobEditorF::AdDegistir()
{
    if (m_record.isEmpty() || m_record.isNew())
        return;
    // A rename moves the file: changes not saved yet are saved or dropped first, never written
    // under the old name afterwards.
    if (m_record.isEditing() && !Dialogs::saveOrDiscard(m_record))
        return;
    const QString ext = jobExtension(m_kind);
    const QString current = EditYEDEKNAME->text();
    QString n = current;
    n.remove(ext);
    bool ok = false;
    n = Dialogs::input(this, trMsg(QStringLiteral("Yeni yedekleme adini giriniz.")),
                       trMsg(QStringLiteral("Yedekleme Adi")) + QStringLiteral(" : "), n, &ok);
    if (!ok)
        return;
    Dialogs::stopWithMessage(n.trimmed().isEmpty(), QStringLiteral("Lutfen yedekleme adini giriniz."));
    Dialogs::stopWithMessage(n.contains(u'.'), QStringLiteral("Dosya ismine uzanti vermeyiniz."));
    if (const QString problem = jobNameProblem(n, m_kind); !problem.isEmpty()) {
        Dialogs::info(problem);
        throw SilentStop();
    }
    if (n + ext == current)
        return;
    const QString target = jobFile(n + ext);
    if (pathExists(target)) {
        Dialogs::info(trMsg(QStringLiteral("Bu isimle kayitli yedekleme mevcut. Lutfen kontrol ediniz.")));
        return;
    }
    if (!renameFile(jobFile(current), target)) {
        // Told by both editors: a rename that did not happen is no silent matter.
        Dialogs::info(trMsg(QStringLiteral("Yedekleme adi degistirilemedi. Dosya kullanimda olabilir!.")));
        return;
    }
    ListeAktar(true, n + ext);
}

void TJobEditorF::YedeklemeBaslat()
{
    Dialogs::stopWithMessage(m_model->filteredCount() == 0 || m_record.isEmpty(),
                             QStringLiteral("Oncelikle yedek kaydi olusturunuz."));
    Dialogs::stopWithMessage(m_record.isEditing(), QStringLiteral("Oncelikle kaydi tamamlayiniz."));
    // The job run is the one the name box names, never another one the list happens to point at.
    const QString name = m_model->currentName();
    Dialogs::stopWithMessage(name.isEmpty() || name != EditYEDEKNAME->text(),
                             QStringLiteral("Oncelikle yedek kaydi olusturunuz."));
    const ManualRunResult started =
        manualRun(m_main.context(), m_main.runs(), m_main.ProgramFolder(), m_kind, m_record.toJobFile(JobFile()),
                  m_record.value(QStringLiteral("UNETSIFRE")), name, jobFile(name));
    if (!started.refusal.isEmpty())
        Dialogs::info(started.refusal);
}

void TJobEditorF::YedeklenecekDosyalar()
{
    TK_DosyaTuruF picker(m_record, m_main.windowTitle(), this);
    Dialogs::showModal(&picker);
    picker.closing();
}

void TJobEditorF::chooseFolder(const QString &key)
{
    auto *box = qobject_cast<QLineEdit *>(controlOf(key));
    QString start = box ? box->text() : QString();
    if (start.isEmpty())
        start = m_record.value(key);
    if (start.isEmpty())
        start = defaultFolder(key == QLatin1String("KAYNAK_DIZIN") ? QStringLiteral("KORVANEX") : QStringLiteral("KX_YEDEK"));
    const QString prompt = key == QLatin1String("KAYNAK_DIZIN") ? trMsg(QStringLiteral("Kaynak dizini seciniz."))
                                                                 : trMsg(QStringLiteral("Hedef dizini belirtiniz."));
    const QString chosen = Dialogs::chooseFolder(this, prompt, start);
    if (chosen.isEmpty())
        return;
    m_record.set(key, chosen);
    if (box) {
        m_refreshing = true;
        box->setMaxLength(std::max<int>(box->property("kxWidth").toInt(), int(chosen.size())));
        box->setText(chosen);
        m_refreshing = false;
    }
}

void TJobEditorF::chooseDatabaseFile()
{
    QString start = EditKAYNAK->text();
    if (start.isEmpty())
        start = defaultFolder(QStringLiteral("KORVANEX"));
    const QString chosen = Dialogs::chooseFile(this, trMsg(QStringLiteral("Dosya Seç")), start);
    if (chosen.isEmpty())
        return;
    const QString full = QFileInfo(chosen).absoluteFilePath();
    m_record.set(QStringLiteral("KAYNAK_DOSYA"), full);
    m_refreshing = true;
    EditKAYNAK->setMaxLength(std::max<int>(150, int(full.size())));
    EditKAYNAK->setText(full);
    m_refreshing = false;
}

void TJobEditorF::closeEvent(QCloseEvent *event)
{
    bool close = false;
    guarded([&] { close = Dialogs::saveOrDiscard(m_record); });
    if (close)
        event->accept();
    else
        event->ignore();
}

void TJobEditorF::reject()
{
    // Esc asks like the close box.
    bool close = false;
    guarded([&] { close = Dialogs::saveOrDiscard(m_record); });
    if (close)
        QDialog::reject();
}

bool TJobEditorF::eventFilter(QObject *watched, QEvent *event)
{
    // The name box drops the characters a job file name cannot take as they are typed.
    if (watched == EditYEDEKNAME && event->type() == QEvent::KeyPress) {
        const QString text = static_cast<QKeyEvent *>(event)->text();
        if (text.size() == 1 && isRefusedNameCharacter(text.at(0)))
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

TK_DosyaTuruF::TK_DosyaTuruF(JobRecord &record, const QString &title, QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::TK_DosyaTuruF>()), m_record(record)
{
    m_ui->setupUi(this);
    ButtonKapat = m_ui->ButtonKapat;
    m_boxes = {m_ui->EditTUR1, m_ui->EditTUR2, m_ui->EditTUR3, m_ui->EditTUR4, m_ui->EditTUR5,
               m_ui->EditTUR6, m_ui->EditTUR7, m_ui->EditTUR8, m_ui->EditTUR9, m_ui->EditTUR10};
    setWindowTitle(title);
    for (int i = 0; i < m_boxes.size(); ++i) {
        QLineEdit *box = m_boxes.at(i);
        const QString key = QStringLiteral("DOSYA_TURU%1").arg(i + 1);
        const QString value = record.value(key);
        box->setMaxLength(std::max<int>(30, int(value.size())));
        box->setText(value);
        connect(box, &QLineEdit::textEdited, this, [this, key](const QString &text) { m_record.set(key, text); });
    }
    connect(ButtonKapat, &QPushButton::clicked, this, &QDialog::accept);
    trWindow(this);
    nameControlsByLabels(this);
}

TK_DosyaTuruF::~TK_DosyaTuruF() = default;

void TK_DosyaTuruF::closing()
{
    if (m_closed)
        return;
    m_closed = true;
    for (int i = 1; i <= 10; ++i)
        if (!m_record.value(QStringLiteral("DOSYA_TURU%1").arg(i)).isEmpty())
            return;
    // A job never leaves the picker without a mask: all files.
    m_record.set(QStringLiteral("DOSYA_TURU1"), QStringLiteral("*.*"));
    m_boxes.first()->setText(QStringLiteral("*.*"));
}

void TK_DosyaTuruF::done(int result)
{
    closing();
    QDialog::done(result);
}

} // namespace kx
