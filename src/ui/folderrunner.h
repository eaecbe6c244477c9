#pragma once
// What the folder backup and folder restore windows share: the count rows (folders, files,
// size) and the progress bar, which follows the run's requests one by one. Both lie in the
// subclass's form.

#include "ui/runnerwindow.h"

class QLabel;

namespace kx {

class KxProgressBar;

class TFolderRunnerF : public TRunnerF
{
    Q_OBJECT
public:
    KxProgressBar *progressBar() const { return m_bar; }

    QLabel *LabelKlasor = nullptr; // detail rows: null in the compact layout
    QLabel *LabelDosya = nullptr;
    QLabel *LabelKapasite = nullptr;

protected:
    using TRunnerF::TRunnerF;

    // The counts, or that the run is still counting, and a blank duration.
    void showCounts();
    void showDisplay() override;

    KxProgressBar *m_bar = nullptr; // the subclass's form's

private:
    void showCountRows();

    bool m_countsShown = false;
    // What the bar was last asked for: each new request is passed on once, in the order the
    // run made it, so the bar's own rules (a position above the maximum is ignored) hold.
    int m_askedMaximum = 100;
    int m_askedPosition = 0;
    QString m_askedStatement;
};

} // namespace kx
