#include "ui/settingsdialog.h"
#include "core/service.h"
#include "i18n/translate.h"
#include "ui/dialogs.h"
#include "platform/kxerror.h"
#include "settings/kxstorage.h"
#include "ui/skindialog.h"
#include "ui/thememanager.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kx {

ProgramAyarlariDialog::ProgramAyarlariDialog(const QString &programFolder, const QString &settingsFolder,
                                             TKxStorage &settings, ThemeManager &theme, const QString &caption,
                                             QWidget *parent)
    : QDialog(parent), m_settingsFolder(settingsFolder), m_settings(settings), m_theme(theme)
{
    setObjectName(QStringLiteral("PanelDIL"));
    setWindowTitle(caption);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    auto *layout = new QVBoxLayout(this);

    Label9 = new QLabel(QStringLiteral("Program Arayuz Dili"), this);
    Label9->setObjectName(QStringLiteral("Label9"));
    ComboDIL = new QComboBox(this);
    ComboDIL->setObjectName(QStringLiteral("ComboDIL"));
    ComboDIL->setEditable(false);
    Label8 = new QLabel(QStringLiteral("Sectiginiz dilin aktif olmasi icin programi yeniden baslatmalisiniz."), this);
    Label8->setObjectName(QStringLiteral("Label8"));
    Label8->setWordWrap(true);
    CheckBox1 = new QCheckBox(QStringLiteral("Yedekleme/Geri yukleme bilgi formlarini ayrintili goster."), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    sSpeedButton9 = new QPushButton(QStringLiteral("Tema Ayarlari"), this);
    sSpeedButton9->setObjectName(QStringLiteral("sSpeedButton9"));
    sSpeedButton10 = new QPushButton(QStringLiteral("Uygula"), this);
    sSpeedButton10->setObjectName(QStringLiteral("sSpeedButton10"));
    sSpeedButton10->setAutoDefault(false);
    sSpeedButton9->setAutoDefault(false);

    layout->addWidget(Label9);
    layout->addWidget(ComboDIL);
    layout->addWidget(Label8);
    layout->addWidget(CheckBox1);
    layout->addWidget(sSpeedButton9);
    layout->addStretch(1);
    layout->addWidget(sSpeedButton10);

    trWindow(this);

    // What the dialog shows on opening.
    ComboDIL->addItems(languageList(programFolder));
    ComboDIL->setCurrentIndex(ComboDIL->findText(m_settings.value(QStringLiteral("DIL")), Qt::MatchFixedString));
    CheckBox1->setChecked(readSettingBool(m_settings.value(QStringLiteral("SIMGE")), true));

    connect(sSpeedButton9, &QPushButton::clicked, this, &ProgramAyarlariDialog::sSpeedButton9Click);
    connect(sSpeedButton10, &QPushButton::clicked, this, &ProgramAyarlariDialog::sSpeedButton10Click);
}

void ProgramAyarlariDialog::sSpeedButton9Click()
{
    m_theme.IniDizini = m_settingsFolder;
    TKxSkinSettingF dialog(m_theme, this);
    dialog.exec();
}

void ProgramAyarlariDialog::sSpeedButton10Click()
{
    m_settings.setValue(QStringLiteral("DIL"), ComboDIL->currentIndex() >= 0 ? ComboDIL->currentText() : QString());
    m_settings.setValue(QStringLiteral("SIMGE"), CheckBox1->isChecked() ? QStringLiteral("True") : QStringLiteral("False"));
    service().detailedRunners = CheckBox1->isChecked();
    try {
        m_settings.SaveValues();
    } catch (const Error &e) {
        Dialogs::error(e.text());
    }
    accept();
}

} // namespace kx
