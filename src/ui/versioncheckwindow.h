#pragma once
// The version check: the component the help menu creates for each check (TSurumKontrol) and its
// window (TSurumKontrolF), which asks the maker's service once, shows the answer and can open the
// download address. The window is laid out in versioncheckwindow.ui.

#include "tools/versioncheck.h"

#include <QDialog>
#include <QPixmap>
#include <functional>
#include <memory>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QSlider;
class QTabWidget;
class QTimer;
class QWidget;

namespace kx {

namespace Ui {
class TSurumKontrolF;
}

class TSurumKontrol : public QObject
{
    Q_OBJECT
public:
    explicit TSurumKontrol(const QString &programFolder, QObject *parent = nullptr);

    QString Caption;
    QPixmap Picture;
    QString ProgName = QStringLiteral("Yedekleme");
    QString ProgKod = QStringLiteral("PXRT");
    QString ProgVers;
    QString LCompany = QStringLiteral("KORVANEX Yazılım");
    QString DwnlAdres;
    QString WebServicePage;
    bool OtoKontrol = false;
    std::function<void(QObject *)> windowTranslate;
    std::function<QString(const QString &)> messageTranslate;

    QString ProgramFolder() const { return m_programFolder; }
    // The window, shown modally and gone once it has closed.
    void Execute(QWidget *parent);

    // Where every new component sends its request (tests point it at a server of their own).
    static QString webServicePage();
    static void setWebServicePage(const QString &page);

private:
    QString m_programFolder;
};

class TSurumKontrolF : public QDialog
{
    Q_OBJECT
public:
    TSurumKontrolF(const TSurumKontrol &component, QWidget *parent = nullptr);
    ~TSurumKontrolF() override;

    QLabel *Image1;
    QLabel *RxLabel1;
    QTabWidget *PageControl1;
    QWidget *TabSheet1;
    QWidget *TabSheet2;
    QLabel *LabelFirma, *LabelPAdi, *LabelPKodu, *LabelPSurum, *LabelKSurum, *LabelDurum;
    QCheckBox *CheckBoxOtoKontrol;
    QGroupBox *GroupBoxOtoKontrol;
    QSlider *TrackBarOtoKontrol;
    QLabel *LabelOtoKontrol;
    QLabel *PanelBekleme;
    QWidget *PanelGuncel;
    QPushButton *SpeedButton1; // "Güncelle"
    QPushButton *SpeedButton2; // "Kapat"
    QWidget *PanelTamam;
    QPushButton *Button1; // "Tamam"
    QTimer *Timer1;

    QString downloadAddress() const { return m_download; }
    void Guncelle();

    void done(int r) override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void check();
    void answered(bool ok, const QString &body);
    QString resultText(const QString &text) const;

    const std::unique_ptr<Ui::TSurumKontrolF> m_ui;
    const TSurumKontrol &m_component;
    QString m_current;
    QString m_download;
    VersionRequest *m_request;
    bool m_closed = false;
};

} // namespace kx
