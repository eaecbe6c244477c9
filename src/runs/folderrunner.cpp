#include "runs/folderrunner.h"
#include "runs/naming.h"
#include "runs/progressbar.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>

namespace kx {

void TFolderRunnerF::pump()
{
    // After every file, but asking the system for pending events costs a call of its own: on a
    // folder of small files, every few milliseconds keeps the windows just as alive.
    static QElapsedTimer last;
    if (last.isValid() && last.elapsed() < 5)
        return;
    QCoreApplication::processEvents();
    last.start();
}

void TFolderRunnerF::addCountRowsAndBar()
{
    LabelKlasor = addRow(QStringLiteral("Klasor Sayisi :"), true);
    LabelDosya = addRow(QStringLiteral("Dosya Sayisi :"), true);
    LabelKapasite = addRow(QStringLiteral("Kapasite :"), true);
    addSureRow();
    m_bar = new KxProgressBar;
    addWide(m_bar);
}

void TFolderRunnerF::showCounts()
{
    if (LabelKlasor) {
        LabelKlasor->setText(QString::number(m_files.folders));
        LabelDosya->setText(QString::number(m_files.files));
        LabelKapasite->setText(capacityText(double(m_files.bytes)));
    }
    if (sureValue())
        sureValue()->setText(QStringLiteral(" "));
}

int TFolderRunnerF::copyWithProgress(const FileCollection &files, bool overwrite)
{
    m_bar->setPosition(0);
    m_bar->setMaximum(int(files.sources.size() - 1));
    repaint();
    return copyCollected(files, overwrite, [this] {
        m_bar->setPosition(m_bar->position() + 1);
        pump();
    }, pump);
}

} // namespace kx
