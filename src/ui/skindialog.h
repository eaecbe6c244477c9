#pragma once
// The theme dialog: theme name, on/off, hue and saturation, each taking effect at once.
// "Tamam" (also Enter and Escape) writes them to "Skin.ini"; "Kapat" closes without writing, so
// the changes last only until the program ends. Its texts are not translated. The controls are
// laid out in skindialog.ui.

#include <QDialog>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSlider;

namespace kx {

class ThemeManager;
namespace Ui {
class TKxSkinSettingF;
}

class TKxSkinSettingF : public QDialog
{
    Q_OBJECT
public:
    explicit TKxSkinSettingF(ThemeManager &manager, QWidget *parent = nullptr);
    ~TKxSkinSettingF() override;

    QComboBox *ComboTEMA;
    QCheckBox *CheckTema;
    QSlider *sTrackBar1;
    QSlider *sTrackBar2;
    QLabel *sLabel1;
    QLabel *sLabel2;
    QPushButton *sBitBtn1; // Tamam
    QPushButton *sBitBtn2; // Kapat

    void sBitBtn1Click();
    void sTrackBar1Released();
    void sTrackBar2Released();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    const std::unique_ptr<Ui::TKxSkinSettingF> m_ui;
    ThemeManager &m_manager;
};

} // namespace kx
