#include "ui/versioncheckwindow.h"
#include "ui/accessiblenames.h"
#include "tools/toolrecords.h"
#include "ui/dialogs.h"
#include "ui/windowtexts.h"
#include "version.h"
#include "ui_versioncheckwindow.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

namespace kx {

namespace {

QString g_webServicePage;

} // namespace

TSurumKontrol::TSurumKontrol(const QString &programFolder, QObject *parent)
    : QObject(parent), ProgVers(QLatin1String(kCheckVersion)), WebServicePage(webServicePage()),
      m_programFolder(programFolder)
{
}

QString TSurumKontrol::webServicePage()
{
    return g_webServicePage.isEmpty() ? defaultWebServicePage() : g_webServicePage;
}

void TSurumKontrol::setWebServicePage(const QString &page)
{
    g_webServicePage = page;
}

void TSurumKontrol::Execute(QWidget *parent)
{
    TSurumKontrolF window(*this, parent);
    Dialogs::showModal(&window);
}

TSurumKontrolF::TSurumKontrolF(const TSurumKontrol &component, QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::TSurumKontrolF>()), m_component(component),
      m_current(component.ProgVers.mid(1)), m_download(component.DwnlAdres), m_request(new VersionRequest(this))
{
    m_ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    Image1 = m_ui->Image1;
    RxLabel1 = m_ui->RxLabel1;
    PageControl1 = m_ui->PageControl1;
    TabSheet1 = m_ui->TabSheet1;
    TabSheet2 = m_ui->TabSheet2;
    LabelFirma = m_ui->LabelFirma;
    LabelPAdi = m_ui->LabelPAdi;
    LabelPKodu = m_ui->LabelPKodu;
    LabelPSurum = m_ui->LabelPSurum;
    LabelKSurum = m_ui->LabelKSurum;
    LabelDurum = m_ui->LabelDurum;
    CheckBoxOtoKontrol = m_ui->CheckBoxOtoKontrol;
    GroupBoxOtoKontrol = m_ui->GroupBoxOtoKontrol;
    TrackBarOtoKontrol = m_ui->TrackBarOtoKontrol;
    LabelOtoKontrol = m_ui->LabelOtoKontrol;
    PanelBekleme = m_ui->PanelBekleme;
    PanelGuncel = m_ui->PanelGuncel;
    SpeedButton1 = m_ui->SpeedButton1;
    SpeedButton2 = m_ui->SpeedButton2;
    PanelTamam = m_ui->PanelTamam;
    Button1 = m_ui->Button1;

    Image1->setPixmap(component.Picture);
    // The title is drawn larger than the desktop's font, whatever size that is.
    QFont big = RxLabel1->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.6);
    RxLabel1->setFont(big);
    TrackBarOtoKontrol->setRange(kAralikMin, kAralikMax);
    TrackBarOtoKontrol->setValue(kAralikMin);

    connect(CheckBoxOtoKontrol, &QCheckBox::toggled, GroupBoxOtoKontrol, &QWidget::setVisible);
    connect(TrackBarOtoKontrol, &QSlider::valueChanged, LabelOtoKontrol,
            [this](int v) { LabelOtoKontrol->setText(QString::number(v)); });
    connect(SpeedButton1, &QPushButton::clicked, this, guardedCommand([this] { Guncelle(); }));
    connect(SpeedButton2, &QPushButton::clicked, this, &QDialog::reject);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);

    // Showing: the first tab, the automatic check settings, then the window's own texts.
    PageControl1->setCurrentIndex(0);
    PageControl1->setTabVisible(1, component.OtoKontrol);
    bool found = false;
    const UpdateSettings settings = readUpdateSettings(updateSettingsPath(component.ProgramFolder()), &found);
    if (found) {
        CheckBoxOtoKontrol->setChecked(settings.otoKontrol);
        TrackBarOtoKontrol->setValue(settings.aralik);
    }
    GroupBoxOtoKontrol->setVisible(CheckBoxOtoKontrol->isChecked());
    LabelOtoKontrol->setText(QString::number(TrackBarOtoKontrol->value()));
    foldWindowTexts(this);
    if (component.windowTranslate)
        component.windowTranslate(this);
    nameControlsByLabels(this);
    setWindowTitle(component.Caption);
    PanelBekleme->setGeometry(rect());
    PanelBekleme->raise();
    PanelBekleme->show();

    connect(m_request, &VersionRequest::finished, this, [this](bool ok, const QString &body) {
        guarded([&] { answered(ok, body); });
    });
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    connect(Timer1, &QTimer::timeout, this, guardedCommand([this] { check(); }));
    Timer1->start(100);
}

void TSurumKontrolF::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    PanelBekleme->setGeometry(rect());
}

QString TSurumKontrolF::resultText(const QString &text) const
{
    const QString folded = foldTurkish(text);
    return m_component.messageTranslate ? m_component.messageTranslate(folded) : folded;
}

void TSurumKontrolF::check()
{
    Timer1->stop();
    // The request runs on while the window keeps painting its waiting panel.
    m_request->start(VersionRequest::requestUrl(m_component.WebServicePage, m_component.ProgKod));
}

void TSurumKontrolF::answered(bool ok, const QString &body)
{
    if (!ok) {
        // Titled "Bilgi" as it stands: only the two lines are translated.
        Dialogs::information(this, QStringLiteral("Bilgi"),
                             resultText(QStringLiteral("İstek zaman aşımına uğradı.")) + QStringLiteral("\r\n")
                                 + resultText(QStringLiteral("Lütfen internet bağlantınızı kontrol ediniz.")));
        reject();
        return;
    }
    const VersionReply reply = parseVersionReply(body);
    m_download = reply.downloadLink;
    LabelFirma->setText(m_component.LCompany);
    LabelPAdi->setText(m_component.ProgName);
    LabelPKodu->setText(m_component.ProgKod);
    LabelPSurum->setText(reply.surum);
    LabelKSurum->setText(m_current);
    if (isNewerVersion(reply.surum, m_current)) {
        LabelDurum->setText(resultText(QStringLiteral("Güncelleme Yapılmalı.")));
        PanelGuncel->show();
    } else {
        LabelDurum->setText(resultText(QStringLiteral("Şu anda programın son sürümünü kullanmaktasınız.")));
        PanelTamam->show();
    }
    PanelBekleme->hide();
}

void TSurumKontrolF::Guncelle()
{
    if (m_download.isEmpty()) {
        Dialogs::openAddress(newsPageAddress(m_current));
        return;
    }
    // The address comes from the network: only a web page is ever opened from it.
    if (!Dialogs::openAddress(m_download))
        Dialogs::information(this, resultText(QStringLiteral("Bilgi")),
                             resultText(QStringLiteral("Bu güncelleme adresi açılamaz:")) + QStringLiteral("\r\n") + m_download);
}

void TSurumKontrolF::done(int r)
{
    if (!m_closed) {
        m_closed = true;
        m_request->abort();
        guarded([this] {
            writeUpdateSettings(updateSettingsPath(m_component.ProgramFolder()),
                                {CheckBoxOtoKontrol->isChecked(), TrackBarOtoKontrol->value()});
        });
    }
    QDialog::done(r);
}

TSurumKontrolF::~TSurumKontrolF() = default;

} // namespace kx
