#include "ui/skindialog.h"
#include "ui/dialogs.h"
#include "core/service.h"
#include "platform/kxerror.h"
#include "ui/thememanager.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

namespace kx {

TKxSkinSettingF::TKxSkinSettingF(ThemeManager &manager, QWidget *parent) : QDialog(parent), m_manager(manager)
{
    setObjectName(QStringLiteral("KxSkinSettingF"));
    setWindowTitle(trMsg(QStringLiteral("Tema Ayarlari")));
    auto *grid = new QGridLayout(this);
    auto *title = new QLabel(QStringLiteral("Tema Ayarlari"), this);
    title->setObjectName(QStringLiteral("Label1"));
    QFont f = title->font();
    f.setBold(true);
    title->setFont(f);
    grid->addWidget(title, 0, 0, 1, 3);

    auto *label2 = new QLabel(QStringLiteral("Tema"), this);
    label2->setObjectName(QStringLiteral("Label2"));
    ComboTEMA = new QComboBox(this);
    ComboTEMA->setObjectName(QStringLiteral("ComboTEMA"));
    grid->addWidget(label2, 1, 0);
    grid->addWidget(ComboTEMA, 1, 1, 1, 2);

    CheckTema = new QCheckBox(QStringLiteral("Tema Kullan"), this);
    CheckTema->setObjectName(QStringLiteral("CheckTema"));
    grid->addWidget(CheckTema, 2, 1, 1, 2);

    auto *label3 = new QLabel(QStringLiteral("Renk"), this);
    label3->setObjectName(QStringLiteral("Label3"));
    sTrackBar1 = new QSlider(Qt::Horizontal, this);
    sTrackBar1->setObjectName(QStringLiteral("sTrackBar1"));
    sTrackBar1->setRange(0, 360);
    sLabel1 = new QLabel(this);
    sLabel1->setObjectName(QStringLiteral("sLabel1"));
    grid->addWidget(label3, 3, 0);
    grid->addWidget(sTrackBar1, 3, 1);
    grid->addWidget(sLabel1, 3, 2);

    auto *label4 = new QLabel(QStringLiteral("Renk Doygunlugu"), this);
    label4->setObjectName(QStringLiteral("Label4"));
    sTrackBar2 = new QSlider(Qt::Horizontal, this);
    sTrackBar2->setObjectName(QStringLiteral("sTrackBar2"));
    sTrackBar2->setRange(-100, 100);
    sLabel2 = new QLabel(this);
    sLabel2->setObjectName(QStringLiteral("sLabel2"));
    grid->addWidget(label4, 4, 0);
    grid->addWidget(sTrackBar2, 4, 1);
    grid->addWidget(sLabel2, 4, 2);

    sBitBtn1 = new QPushButton(QStringLiteral("Tamam"), this);
    sBitBtn1->setObjectName(QStringLiteral("sBitBtn1"));
    sBitBtn1->setDefault(true);
    sBitBtn2 = new QPushButton(QStringLiteral("Kapat"), this);
    sBitBtn2->setObjectName(QStringLiteral("sBitBtn2"));
    grid->addWidget(sBitBtn1, 5, 1);
    grid->addWidget(sBitBtn2, 5, 2);

    // Translated while the theme list, which holds names, is still empty.
    trWindow(this);

    // What the dialog shows on opening.
    ComboTEMA->addItems(ThemeManager::themeNames());
    CheckTema->setChecked(m_manager.active());
    ComboTEMA->setCurrentIndex(ComboTEMA->findText(m_manager.name(), Qt::MatchFixedString));
    sTrackBar1->setValue(m_manager.hue());
    sTrackBar2->setValue(m_manager.saturation());
    sLabel1->setText(QString::number(sTrackBar1->value()));
    sLabel2->setText(QString::number(sTrackBar2->value()));

    connect(CheckTema, &QCheckBox::clicked, this, [this](bool on) { m_manager.setActive(on); });
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
