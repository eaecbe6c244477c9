#pragma once
// What the four runner windows share: the in-progress flag held while the window exists, the
// detailed or compact layout, the slide-in from the bottom right corner of the work area with
// the run starting inside the slide timer, the elapsed-time display, the close delay, the
// slide-out, and hiding by double click. Borderless, always on top, never taking the focus.

#include <QWidget>

class QGridLayout;
class QLabel;
class QTimer;

namespace kx {

class TRunnerF : public QWidget
{
    Q_OBJECT
public:
    enum class Kind { FolderBackup, FirebirdBackup, FolderRestore, FirebirdRestore };

    static constexpr int kWidth = 242;
    static constexpr int kDetailedHeight = 186;
    static constexpr int kCompactHeight = 111;

    TRunnerF(Kind kind, bool hideOnDoubleClick, QWidget *parent = nullptr);
    ~TRunnerF() override;

    Kind kind() const { return m_kind; }
    bool detailed() const { return m_detailed; }
    int clientHeight() const { return m_clientHeight; }
    qint64 elapsedSeconds() const { return m_elapsed; }
    bool runStarted() const { return m_runStarted; }
    bool runFinished() const { return m_finished; }

    // Places the window at height 0 below the work area's bottom right corner and starts growing
    // it; the run starts from the slide timer once it has grown.
    void startSlideIn();
    // Every way a run ends comes here: the window closes by itself after the close delay.
    void finishRun();

    void startElapsedTimer();
    void stopElapsedTimer();

    // Test seam: slide step interval (10 ms), close delay (5000 ms) and elapsed tick (1000 ms).
    static void setTimings(int slideStepMs, int closeDelayMs, int elapsedMs);

    // The value label of the "Sure :" row (null in the compact layout).
    QLabel *sureValue() const { return m_sure; }

signals:
    void closed();

protected:
    // The kind's work; called once, inside the slide timer's event.
    virtual void runWork() = 0;

    // Builds a "caption value" row; detail rows exist only in the detailed layout (null else).
    QLabel *addRow(const QString &caption, bool detailOnly);
    // Adds a full-width widget under the rows (progress bar, activity strip, completion label).
    void addWide(QWidget *widget);
    void addSureRow();
    // Call at the end of the subclass constructor: window translation and the fixed size.
    void finishLayout();

    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void slideTick();
    void hideTick();
    void elapsedTick();
    void setHeightKeepingBottom(int height);
    bool *flag() const;

    Kind m_kind;
    bool m_hideOnDoubleClick;
    bool m_detailed;
    int m_clientHeight;
    qint64 m_elapsed = 0;
    bool m_growing = true;
    bool m_hidden = false;
    bool m_runStarted = false;
    bool m_finished = false;
    int m_bottom = 0;

    QWidget *m_content;
    QGridLayout *m_grid;
    int m_rows = 0;
    QLabel *m_sure = nullptr;
    QTimer *m_slideTimer;
    QTimer *m_closeTimer;
    QTimer *m_elapsedTimer;
    QTimer *m_hideTimer;
};

} // namespace kx
