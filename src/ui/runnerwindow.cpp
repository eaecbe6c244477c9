#include "ui/runnerwindow.h"
#include "core/service.h"
#include "runs/firebirdbackuprun.h"
#include "runs/firebirdrestorerun.h"
#include "runs/folderbackuprun.h"
#include "runs/folderrestorerun.h"
#include "runs/naming.h"
#include "runs/run.h"
#include "ui/firebirdbackupwindow.h"
#include "ui/firebirdrestorewindow.h"
#include "ui/folderbackupwindow.h"
#include "ui/folderrestorewindow.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>
#include <QTimer>

namespace kx {

namespace {
int g_slideMs = 10;
int g_closeMs = 5000;
int g_elapsedMs = 1000;
} // namespace

void TRunnerF::setTimings(int slideStepMs, int closeDelayMs, int elapsedMs)
{
    g_slideMs = slideStepMs;
    g_closeMs = closeDelayMs;
    g_elapsedMs = elapsedMs;
}

TRunnerF::TRunnerF(Run *run, RunKind kind, bool hideOnDoubleClick, RunnerDetail detail, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus),
      m_run(run), m_kind(kind), m_hideOnDoubleClick(hideOnDoubleClick), m_detailed(detail == RunnerDetail::Detailed),
      m_clientHeight(m_detailed ? kDetailedHeight : kCompactHeight)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);

    m_slideTimer = new QTimer(this);
    m_closeTimer = new QTimer(this);
    m_closeTimer->setSingleShot(true);
    m_elapsedTimer = new QTimer(this);
    m_hideTimer = new QTimer(this);
    connect(m_slideTimer, &QTimer::timeout, this, &TRunnerF::slideTick);
    connect(m_closeTimer, &QTimer::timeout, this, [this] {
        m_growing = false;
        m_slideTimer->start(g_slideMs);
    });
    connect(m_elapsedTimer, &QTimer::timeout, this, &TRunnerF::elapsedTick);
    connect(m_hideTimer, &QTimer::timeout, this, &TRunnerF::hideTick);

    if (run) {
        connect(run, &Run::displayChanged, this, [this] { showDisplay(); });
        connect(run, &Run::elapsedStarted, this, &TRunnerF::startElapsedTimer);
        connect(run, &Run::finished, this, &TRunnerF::runEnded);
    }
}

TRunnerF::~TRunnerF()
{
    // Should the window go before it has started its run (the program ends), the run must not
    // wait for it.
    if (m_run && !m_runStarted)
        m_run->start();
}

void TRunnerF::runEnded()
{
    stopElapsedTimer();
    showDisplay();
    showEnd();
    finishRun();
}

QGridLayout *TRunnerF::grid()
{
    if (!m_grid) {
        // The margins and spacing of the program's runner forms.
        m_content = new QWidget(this);
        m_content->setObjectName(QStringLiteral("Icerik"));
        m_grid = new QGridLayout(m_content);
        m_grid->setContentsMargins(8, 6, 8, 6);
        m_grid->setHorizontalSpacing(6);
        m_grid->setVerticalSpacing(2);
    }
    return m_grid;
}

QLabel *TRunnerF::addRow(const QString &caption, bool detailOnly)
{
    if (detailOnly && !m_detailed)
        return nullptr;
    QGridLayout *rows = grid();
    auto *label = new QLabel(caption, m_content);
    auto *value = new QLabel(m_content);
    value->setTextFormat(Qt::PlainText);
    rows->addWidget(label, m_rows, 0, Qt::AlignLeft | Qt::AlignTop);
    rows->addWidget(value, m_rows, 1, Qt::AlignLeft | Qt::AlignTop);
    ++m_rows;
    return value;
}

void TRunnerF::addSureRow()
{
    m_sure = addRow(QStringLiteral("Sure :"), true);
}

void TRunnerF::addWide(QWidget *widget)
{
    QGridLayout *rows = grid();
    widget->setParent(m_content);
    rows->addWidget(widget, m_rows++, 0, 1, 2);
}

void TRunnerF::finishLayout()
{
    grid()->setRowStretch(m_rows, 1);
    m_grid->setColumnStretch(1, 1);
    finish();
}

void TRunnerF::finishForm(QWidget *content, QLabel *sure)
{
    m_content = content;
    if (!m_detailed) {
        const QList<QWidget *> all = content->findChildren<QWidget *>();
        QList<QPointer<QWidget>> alive(all.begin(), all.end());
        for (const QPointer<QWidget> &w : alive)
            if (w && w->property("kxDetail").toBool())
                delete w.data();
    }
    m_sure = detailRow(sure);
    finish();
}

void TRunnerF::finish()
{
    // The content keeps its full size; the window's height only uncovers it.
    m_content->setFixedSize(kWidth, m_clientHeight);
    trWindow(this);
    setFixedWidth(kWidth);
    setMinimumHeight(0);
    resize(kWidth, 0);
}

void TRunnerF::setHeightKeepingBottom(int height)
{
    height = std::max(height, 0);
    setGeometry(x(), m_bottom - height, kWidth, height);
}

void TRunnerF::startSlideIn()
{
    QScreen *screen = QGuiApplication::primaryScreen();
    const QRect work = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    m_bottom = work.top() + work.height();
    setGeometry(work.left() + work.width() - kWidth - 2, m_bottom, kWidth, 0);
    show();
    m_growing = true;
    m_slideTimer->start(g_slideMs);
}

void TRunnerF::slideTick()
{
    if (m_growing) {
        // Hidden by a double click: the window stays out of sight, the run still starts.
        if (!m_hidden && height() < m_clientHeight) {
            setHeightKeepingBottom(std::min(height() + 2, m_clientHeight));
            if (height() < m_clientHeight)
                return;
        }
        m_slideTimer->stop();
        if (!m_runStarted) {
            m_runStarted = true;
            m_elapsed = 0;
            // Everything but the labels is switched off while the run works.
            for (QWidget *w : m_content->findChildren<QWidget *>())
                if (!qobject_cast<QLabel *>(w))
                    w->setEnabled(false);
            emit runStarting();
            if (m_run)
                m_run->start();
        }
        return;
    }
    if (height() > 0)
        setHeightKeepingBottom(height() - 2);
    if (height() <= 0) {
        m_slideTimer->stop();
        close();
    }
}

void TRunnerF::hideTick()
{
    if (height() > 0)
        setHeightKeepingBottom(height() - 5);
    if (height() <= 0)
        m_hideTimer->stop();
}

void TRunnerF::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (m_hideOnDoubleClick) {
        m_hidden = true;
        m_hideTimer->start(1);
    }
    QWidget::mouseDoubleClickEvent(event);
}

void TRunnerF::finishRun()
{
    m_finished = true;
    m_closeTimer->start(g_closeMs);
}

void TRunnerF::startElapsedTimer()
{
    m_elapsedTimer->start(g_elapsedMs);
}

void TRunnerF::stopElapsedTimer()
{
    m_elapsedTimer->stop();
}

void TRunnerF::elapsedTick()
{
    ++m_elapsed;
    if (m_sure)
        m_sure->setText(SureHesapla(m_elapsed));
}

void TRunnerF::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    QLinearGradient g(0, 0, 0, m_clientHeight);
    g.setColorAt(0, palette().window().color().lighter(108));
    g.setColorAt(1, palette().window().color().darker(110));
    p.fillRect(rect(), g);
    p.setPen(palette().mid().color());
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void TRunnerF::closeEvent(QCloseEvent *event)
{
    // A runner closes only by its own close sequence.
    if (!m_finished) {
        event->ignore();
        return;
    }
    emit closed();
    QWidget::closeEvent(event);
}

} // namespace kx

namespace kx {

TRunnerF *showRunWindow(Run *run, bool detailed)
{
    const RunnerDetail detail = detailed ? RunnerDetail::Detailed : RunnerDetail::Compact;
    switch (run->kind()) {
    case RunKind::FolderBackup: {
        auto *w = new TOtoYedekDosyaF(static_cast<FolderBackupRun *>(run), detail);
        w->YedekAyarla();
        return w;
    }
    case RunKind::FirebirdBackup: {
        auto *w = new TOtoYedekFBF(static_cast<FirebirdBackupRun *>(run), detail);
        w->YedekAyarla();
        return w;
    }
    case RunKind::FolderRestore: {
        auto *w = new TRestoreDosyaF(static_cast<FolderRestoreRun *>(run), detail);
        w->RestoreAyarla();
        return w;
    }
    case RunKind::FirebirdRestore:
        break;
    }
    auto *w = new TRestoreFBF(static_cast<FirebirdRestoreRun *>(run), detail);
    w->RestoreAyarla();
    return w;
}

} // namespace kx
