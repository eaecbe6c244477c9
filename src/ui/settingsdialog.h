#pragma once
// The program settings dialog: interface language, detailed runner windows, and the way to the
// theme dialog. "Uygula" stores DIL and SIMGE at once; the language takes effect at the next
// start, the runner windows flag with the next runner window. Escape closes without saving. The
// controls are laid out in settingsdialog.ui.

#include <QDialog>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace kx {

class ServiceContext;
class TKxStorage;
class ThemeManager;
namespace Ui {
class ProgramAyarlariDialog;
}

class ProgramAyarlariDialog : public QDialog
{
    Q_OBJECT
public:
    ProgramAyarlariDialog(const QString &programFolder, const QString &settingsFolder, TKxStorage &settings,
                          ServiceContext &context, ThemeManager &theme, const QString &caption,
                          QWidget *parent = nullptr);
    ~ProgramAyarlariDialog() override;

    QLabel *Label9;
    QComboBox *ComboDIL;
    QLabel *Label8;
    QCheckBox *CheckBox1;
    QPushButton *sSpeedButton9;  // Tema Ayarlari
    QPushButton *sSpeedButton10; // Uygula

    void sSpeedButton9Click();
    void sSpeedButton10Click();

private:
    const std::unique_ptr<Ui::ProgramAyarlariDialog> m_ui;
    QString m_settingsFolder;
    TKxStorage &m_settings;
    ServiceContext &m_context;
    ThemeManager &m_theme;
};

} // namespace kx
