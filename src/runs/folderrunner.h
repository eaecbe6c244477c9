#pragma once
// What the folder backup and folder restore runners share: the collected files, the count rows
// (folders, files, size), the progress bar, and copying the collected pairs with the bar moving.

#include "runs/collect.h"
#include "runs/runnerwindow.h"

class QLabel;

namespace kx {

class KxProgressBar;

class TFolderRunnerF : public TRunnerF
{
    Q_OBJECT
public:
    const FileCollection &collection() const { return m_files; }
    KxProgressBar *progressBar() const { return m_bar; }

    QLabel *LabelKlasor = nullptr; // detail rows: null in the compact layout
    QLabel *LabelDosya = nullptr;
    QLabel *LabelKapasite = nullptr;

protected:
    using TRunnerF::TRunnerF;

    // The three count rows, then "Sure :" and the progress bar; call where they belong.
    void addCountRowsAndBar();
    // Shows the counters of m_files and a blank duration.
    void showCounts();
    // Copies the pairs, the bar moving from 0 over every file; returns the failed copies.
    int copyWithProgress(const FileCollection &files, bool overwrite);
    // Lets events run (after each file, between chunks of a large one).
    static void pump();

    FileCollection m_files;
    KxProgressBar *m_bar = nullptr;
};

} // namespace kx
