#pragma once
// What the four runner windows share. A runner window shows one run (a widget-free object that
// does its work on a thread of its own): the detailed or compact layout, the slide-in from the
// bottom right corner of the work area with the run started once the window has grown, the
// elapsed-time display, the close delay after the run has ended, the slide-out, and hiding by
// double click. Borderless, always on top, never taking the focus. The window holds no flag and
// no rule of the run: it may outlive the run, and the run never waits for it.

#include "core/runningstate.h"

#include <QPointer>
#include <QWidget>

class QGridLayout;
class QLabel;
class QTimer;

namespace kx {

class Run;

// Whether a runner window shows its detail lines ("SIMGE" in the program settings).
enum class RunnerDetail { Detailed, Compact };

class TRunnerF : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kWidth = 242;
    static constexpr int kDetailedHeight = 186;
    static constexpr int kCompactHeight = 111;

    // `run` may be null (a window tried on its own); the window then finishes when told.
    TRunnerF(Run *run, RunKind kind, bool hideOnDoubleClick, RunnerDetail detail, QWidget *parent = nullptr);
    ~TRunnerF() override;

    RunKind kind() const { return m_kind; }
    Run *run() const { return m_run; }
    bool detailed() const { return m_detailed; }
    int clientHeight() const { return m_clientHeight; }
    qint64 elapsedSeconds() const { return m_elapsed; }
    bool runStarted() const { return m_runStarted; }
    bool runFinished() const { return m_finished; }

    // Places the window at height 0 below the work area's bottom right corner and starts growing
    // it; the run starts from the slide timer once it has grown.
    void startSlideIn();
    // The run has ended: the window closes by itself after the close delay.
    void finishRun();

    void startElapsedTimer();
    void stopElapsedTimer();

    // Test seam: slide step interval (10 ms), close delay (5000 ms) and elapsed tick (1000 ms).
    static void setTimings(int slideStepMs, int closeDelayMs, int elapsedMs);

    // The value label of the "Sure :" row (null in the compact layout).
    QLabel *sureValue() const { return m_sure; }

signals:
    // The window has slid in and starts its run now.
    void runStarting();
    void closed();

protected:
    // What the window shows of its run; called whenever the run's display changes.
    virtual void showDisplay() {}
    // Called once when the run has ended, before the close delay starts.
    virtual void showEnd() {}

    // A window laid out in a Designer form: `content` is the form's widget the window's height
    // uncovers. Detail rows (widgets marked "kxDetail") exist only in the detailed layout: in the
    // compact one they go, so the subclass takes them through detailRow (null there). `sure` is
    // the value label of the "Sure :" row. Call at the end of the subclass constructor: window
    // translation and the fixed size.
    void finishForm(QWidget *content, QLabel *sure);
    QLabel *detailRow(QLabel *value) const { return m_detailed ? value : nullptr; }

    // A window laid out in code. Builds a "caption value" row; detail rows exist only in the
    // detailed layout (null else).
    QLabel *addRow(const QString &caption, bool detailOnly);
    // Adds a full-width widget under the rows.
    void addWide(QWidget *widget);
    void addSureRow();
    // Call at the end of the subclass constructor: window translation and the fixed size.
    void finishLayout();

    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

    QPointer<Run> m_run;

private:
    void slideTick();
    void hideTick();
    void elapsedTick();
    void runEnded();
    void setHeightKeepingBottom(int height);
    // The content of a window laid out in code, made with its first row.
    QGridLayout *grid();
    void finish();

    RunKind m_kind;
    bool m_hideOnDoubleClick;
    bool m_detailed;
    int m_clientHeight;
    qint64 m_elapsed = 0;
    bool m_growing = true;
    bool m_hidden = false;
    bool m_runStarted = false;
    bool m_finished = false;
    int m_bottom = 0;

    QWidget *m_content = nullptr;
    QGridLayout *m_grid = nullptr;
    int m_rows = 0;
    QLabel *m_sure = nullptr;
    QTimer *m_slideTimer;
    QTimer *m_closeTimer;
    QTimer *m_elapsedTimer;
    QTimer *m_hideTimer;
};

// The window of a run, of the run's kind, prepared from what the run shows and sliding in.
// The controller's window hook.
TRunnerF *showRunWindow(Run *run, bool detailed);

} // namespace kx
