#include "ui/settingsdialog.h"
#include "ui/accessiblenames.h"
#include "core/service.h"
#include "i18n/translate.h"
#include "ui/dialogs.h"
#include "platform/kxerror.h"
#include "settings/kxstorage.h"
#include "core/servicecontext.h"
#include "ui/skindialog.h"
#include "settings/theme.h"
#include "ui_settingsdialog.h"
#include "ui/thememanager.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>

namespace kx {

ProgramAyarlariDialog::ProgramAyarlariDialog(const QString &programFolder, const QString &settingsFolder,
                                             TKxStorage &settings, ServiceContext &context, ThemeManager &theme,
                                             const QString &caption, QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::ProgramAyarlariDialog>()), m_settingsFolder(settingsFolder),
      m_settings(settings), m_context(context), m_theme(theme)
{
    m_ui->setupUi(this);
    setWindowTitle(caption);
    // Only the decorations asked for: a window manager's resize strip along the bottom is not one.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    Label9 = m_ui->Label9;
    ComboDIL = m_ui->ComboDIL;
    Label8 = m_ui->Label8;
    CheckBox1 = m_ui->CheckBox1;
    sSpeedButton9 = m_ui->sSpeedButton9;
    sSpeedButton10 = m_ui->sSpeedButton10;

    trWindow(this);
    nameControlsByLabels(this);

    // What the dialog shows on opening.
    ComboDIL->addItems(languageChoices(programFolder));
    ComboDIL->setCurrentIndex(ComboDIL->findText(m_settings.value(QStringLiteral("DIL")), Qt::MatchFixedString));
    CheckBox1->setChecked(readSettingBool(m_settings.value(QStringLiteral("SIMGE")), true));

    connect(sSpeedButton9, &QPushButton::clicked, this, &ProgramAyarlariDialog::sSpeedButton9Click);
    connect(sSpeedButton10, &QPushButton::clicked, this, &ProgramAyarlariDialog::sSpeedButton10Click);
}

ProgramAyarlariDialog::~ProgramAyarlariDialog() = default;

void ProgramAyarlariDialog::sSpeedButton9Click()
{
    m_theme.IniDizini = m_settingsFolder;
    TKxSkinSettingF dialog(m_theme, this);
    Dialogs::showModal(&dialog);
}

void ProgramAyarlariDialog::sSpeedButton10Click()
{
    m_settings.setValue(QStringLiteral("DIL"), ComboDIL->currentIndex() >= 0 ? ComboDIL->currentText() : QString());
    m_settings.setValue(QStringLiteral("SIMGE"), CheckBox1->isChecked() ? QStringLiteral("True") : QStringLiteral("False"));
    m_context.detailedRunners = CheckBox1->isChecked();
    try {
        m_settings.SaveValues();
    } catch (const Error &e) {
        Dialogs::error(e.text());
    }
    accept();
}

} // namespace kx
