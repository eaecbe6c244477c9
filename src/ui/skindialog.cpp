#include "ui/skindialog.h"
#include "ui/accessiblenames.h"
#include "ui/dialogs.h"
#include "core/service.h"
#include "platform/kxerror.h"
#include "settings/theme.h"
#include "ui_skindialog.h"
#include "ui/thememanager.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

namespace kx {

TKxSkinSettingF::TKxSkinSettingF(ThemeManager &manager, QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::TKxSkinSettingF>()), m_manager(manager)
{
    m_ui->setupUi(this);
    setWindowTitle(trMsg(QStringLiteral("Tema Ayarlari")));
    ComboTEMA = m_ui->ComboTEMA;
    CheckTema = m_ui->CheckTema;
    sTrackBar1 = m_ui->sTrackBar1;
    sTrackBar2 = m_ui->sTrackBar2;
    sLabel1 = m_ui->sLabel1;
    sLabel2 = m_ui->sLabel2;
    sBitBtn1 = m_ui->sBitBtn1;
    sBitBtn2 = m_ui->sBitBtn2;

    // Translated while the theme list, which holds names, is still empty.
    trWindow(this);
    nameControlsByLabels(this);

    // What the dialog shows on opening.
    ComboTEMA->addItems(ThemeManager::themeNames());
    CheckTema->setChecked(m_manager.active());
    ComboTEMA->setCurrentIndex(ComboTEMA->findText(m_manager.name(), Qt::MatchFixedString));
    sTrackBar1->setValue(m_manager.hue());
    sTrackBar2->setValue(m_manager.saturation());
    sLabel1->setText(QString::number(sTrackBar1->value()));
    sLabel2->setText(QString::number(sTrackBar2->value()));

    connect(CheckTema, &QCheckBox::toggled, this, [this](bool on) { m_manager.setActive(on); });
    connect(ComboTEMA, &QComboBox::activated, this, [this](int) {
        m_manager.setName(ComboTEMA->currentText());
        m_manager.setActive(CheckTema->isChecked());
    });
    connect(sTrackBar1, &QSlider::sliderReleased, this, &TKxSkinSettingF::sTrackBar1Released);
    connect(sTrackBar2, &QSlider::sliderReleased, this, &TKxSkinSettingF::sTrackBar2Released);
    // Keyboard steps on a slider count as a release at the new place.
    connect(sTrackBar1, &QSlider::valueChanged, this, [this] {
        if (!sTrackBar1->isSliderDown())
            sTrackBar1Released();
    });
    connect(sTrackBar2, &QSlider::valueChanged, this, [this] {
        if (!sTrackBar2->isSliderDown())
            sTrackBar2Released();
    });
    connect(sBitBtn1, &QPushButton::clicked, this, &TKxSkinSettingF::sBitBtn1Click);
    connect(sBitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

TKxSkinSettingF::~TKxSkinSettingF() = default;

void TKxSkinSettingF::sTrackBar1Released()
{
    if (sTrackBar1->value() == m_manager.hue())
        return;
    sLabel1->setText(QString::number(sTrackBar1->value()));
    m_manager.setHue(sTrackBar1->value());
}

void TKxSkinSettingF::sTrackBar2Released()
{
    if (sTrackBar2->value() == m_manager.saturation())
        return;
    sLabel2->setText(QString::number(sTrackBar2->value()));
    m_manager.setSaturation(sTrackBar2->value());
}

void TKxSkinSettingF::sBitBtn1Click()
{
    try {
        m_manager.save(CheckTema->isChecked(), ComboTEMA->currentText(), sTrackBar1->value(), sTrackBar2->value());
    } catch (const Error &e) {
        Dialogs::error(e.text());
    }
    accept();
}

void TKxSkinSettingF::keyPressEvent(QKeyEvent *event)
{
    // "Tamam" is both the default and the cancel button: Escape saves too.
    if (event->key() == Qt::Key_Escape) {
        sBitBtn1->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace kx
