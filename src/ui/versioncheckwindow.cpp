#include "ui/versioncheckwindow.h"
#include "tools/toolrecords.h"
#include "ui/dialogs.h"
#include "ui/windowtexts.h"
#include "version.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

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
    : QDialog(parent), m_component(component), m_current(component.ProgVers.mid(1)), m_download(component.DwnlAdres),
      m_request(new VersionRequest(this))
{
    setObjectName(QStringLiteral("SurumKontrolF"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    auto *layout = new QVBoxLayout(this);

    auto *top = new QWidget(this);
    auto *topLayout = new QHBoxLayout(top);
    Image1 = new QLabel(top);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(component.Picture);
    topLayout->addWidget(Image1);
    RxLabel1 = new QLabel(QStringLiteral("Sürüm Kontrol"), top);
    RxLabel1->setObjectName(QStringLiteral("RxLabel1"));
    QFont big = RxLabel1->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.6);
    RxLabel1->setFont(big);
    topLayout->addWidget(RxLabel1, 1);
    layout->addWidget(top);

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    TabSheet1 = new QWidget;
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    TabSheet2 = new QWidget;
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    PageControl1->addTab(TabSheet1, QStringLiteral("Sürüm Kontrol"));
    PageControl1->addTab(TabSheet2, QStringLiteral("Otomatik Kontrol Ayarları"));
    layout->addWidget(PageControl1, 1);

    auto *grid = new QGridLayout(TabSheet1);
    const auto row = [this, grid](int r, const QString &caption, const char *captionName, const char *valueName) {
        auto *c = new QLabel(caption, TabSheet1);
        c->setObjectName(QLatin1String(captionName));
        grid->addWidget(c, r, 0);
        auto *v = new QLabel(TabSheet1);
        v->setObjectName(QLatin1String(valueName));
        v->setTextFormat(Qt::PlainText);
        grid->addWidget(v, r, 1);
        return v;
    };
    LabelFirma = row(0, QStringLiteral("Üretici Firma "), "StaticText1", "LabelFirma");
    LabelPAdi = row(1, QStringLiteral("Programın Adı "), "StaticText2", "LabelPAdi");
    LabelPKodu = row(2, QStringLiteral("Programın Kodu "), "StaticText3", "LabelPKodu");
    LabelPSurum = row(3, QStringLiteral("Programın Sürümü "), "StaticText4", "LabelPSurum");
    LabelKSurum = row(4, QStringLiteral("Kullanılan Sürüm "), "StaticText5", "LabelKSurum");
    LabelDurum = row(5, QStringLiteral("Durum "), "StaticText6", "LabelDurum");
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(6, 1);

    auto *autoLayout = new QVBoxLayout(TabSheet2);
    CheckBoxOtoKontrol = new QCheckBox(QStringLiteral("Güncel Sürümü Otomatik Kontrol Et"), TabSheet2);
    CheckBoxOtoKontrol->setObjectName(QStringLiteral("CheckBoxOtoKontrol"));
    autoLayout->addWidget(CheckBoxOtoKontrol);
    GroupBoxOtoKontrol = new QGroupBox(QStringLiteral("Kontrol Aralığı (Gün)"), TabSheet2);
    GroupBoxOtoKontrol->setObjectName(QStringLiteral("GroupBoxOtoKontrol"));
    auto *groupLayout = new QHBoxLayout(GroupBoxOtoKontrol);
    TrackBarOtoKontrol = new QSlider(Qt::Horizontal, GroupBoxOtoKontrol);
    TrackBarOtoKontrol->setObjectName(QStringLiteral("TrackBarOtoKontrol"));
    TrackBarOtoKontrol->setRange(kAralikMin, kAralikMax);
    TrackBarOtoKontrol->setValue(kAralikMin);
    groupLayout->addWidget(TrackBarOtoKontrol, 1);
    LabelOtoKontrol = new QLabel(GroupBoxOtoKontrol);
    LabelOtoKontrol->setObjectName(QStringLiteral("LabelOtoKontrol"));
    groupLayout->addWidget(LabelOtoKontrol);
    autoLayout->addWidget(GroupBoxOtoKontrol);
    autoLayout->addStretch(1);
    connect(CheckBoxOtoKontrol, &QCheckBox::toggled, GroupBoxOtoKontrol, &QWidget::setVisible);
    connect(TrackBarOtoKontrol, &QSlider::valueChanged, LabelOtoKontrol,
            [this](int v) { LabelOtoKontrol->setText(QString::number(v)); });

    PanelGuncel = new QWidget(this);
    PanelGuncel->setObjectName(QStringLiteral("PanelGuncel"));
    auto *guncelLayout = new QHBoxLayout(PanelGuncel);
    guncelLayout->addStretch(1);
    SpeedButton1 = new QPushButton(QStringLiteral("Güncelle"), PanelGuncel);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setToolTip(QStringLiteral("Güncelleme için siteye bağlan"));
    guncelLayout->addWidget(SpeedButton1);
    SpeedButton2 = new QPushButton(QStringLiteral("Kapat"), PanelGuncel);
    SpeedButton2->setObjectName(QStringLiteral("SpeedButton2"));
    SpeedButton2->setToolTip(QStringLiteral("Pencereyi kapat"));
    guncelLayout->addWidget(SpeedButton2);
    PanelGuncel->hide();
    layout->addWidget(PanelGuncel);
    PanelTamam = new QWidget(this);
    PanelTamam->setObjectName(QStringLiteral("PanelTamam"));
    auto *tamamLayout = new QHBoxLayout(PanelTamam);
    tamamLayout->addStretch(1);
    Button1 = new QPushButton(QStringLiteral("Tamam"), PanelTamam);
    Button1->setObjectName(QStringLiteral("Button1"));
    tamamLayout->addWidget(Button1);
    PanelTamam->hide();
    layout->addWidget(PanelTamam);
    connect(SpeedButton1, &QPushButton::clicked, this, guardedCommand([this] { Guncelle(); }));
    connect(SpeedButton2, &QPushButton::clicked, this, &QDialog::reject);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);

    // The waiting panel lies over the whole window while the service is asked.
    PanelBekleme = new QLabel(QStringLiteral("Lütfen Bekleyiniz..."), this);
    PanelBekleme->setObjectName(QStringLiteral("PanelBekleme"));
    PanelBekleme->setAlignment(Qt::AlignCenter);
    PanelBekleme->setAutoFillBackground(true);
    QFont waitFont = PanelBekleme->font();
    waitFont.setBold(true);
    PanelBekleme->setFont(waitFont);

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
    setWindowTitle(component.Caption);
    PanelBekleme->setGeometry(rect());
    PanelBekleme->raise();
    PanelBekleme->show();
    resize(460, 320);

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

} // namespace kx
