#include "runs/run.h"
#include "core/clock.h"
#include "core/service.h"
#include "platform/kxerror.h"
#include "runs/oplog.h"

#include <QMetaObject>
#include <exception>

namespace kx {

Run::Run(RunKind kind, QObject *parent) : QObject(parent), m_kind(kind) {}

Run::~Run()
{
    // Only for runs whose work reads nothing of their own; every other one has stopped already.
    stopWork();
}

void Run::stopWork()
{
    m_cancel = true;
    m_worker.join();
}

bool Run::abandon()
{
    m_cancel = true;
    const bool left = m_worker.abandon([this] {
        // The work returned after all, on its own thread: this object goes from the thread it
        // lives in, after whatever the work posted (dropped, as it arrives).
        QMetaObject::invokeMethod(this, &QObject::deleteLater, Qt::QueuedConnection);
    });
    if (left) {
        m_abandoned = true;
        setParent(nullptr);
    }
    return left;
}

bool Run::endStalled(const QString &failure)
{
    if (!m_started || m_finished || m_abandoned || !abandon())
        return false;
    // The run is ended here, as its own end would have done it: the line first, then the end.
    const QString logFailure = writeStallLine(trMsg(QStringLiteral("Basarisiz.")) + failure);
    if (!logFailure.isEmpty())
        m_errors.append(logFailure);
    showEnd(true, failure);
    return true;
}

void Run::showEnd(bool failed, const QString &failure)
{
    m_display.ended = true;
    m_display.failed = failed;
    m_display.failure = failure;
    m_finished = true;
    emit displayChanged();
    emit finished();
}

void Run::start()
{
    if (m_started)
        return;
    m_started = true;
    m_worker.start([this] {
        const HeadwayScope scope(&m_headway);
        QString unexpected;
        try {
            if (m_gate && !m_cancel)
                m_gate(m_jobName, &m_cancel);
            // A run given up while it waited at the gate never begins its work.
            if (!m_cancel)
                work();
        } catch (const Error &e) {
            unexpected = e.text();
        } catch (const std::bad_alloc &) {
            unexpected = QStringLiteral("Bellek yetersiz.");
        } catch (const std::exception &e) {
            unexpected = QString::fromLocal8Bit(e.what());
        } catch (...) {
            unexpected = QStringLiteral("Beklenmeyen bir hata olustu.");
        }
        // A work that ended without saying how (an exception) still ends the run.
        if (!m_endPosted) {
            if (!unexpected.isEmpty())
                onUi([this, unexpected] { m_errors.append(unexpected); });
            end(true, unexpected);
        }
    });
}

QStringList Run::takeErrors()
{
    QStringList out;
    out.swap(m_errors);
    return out;
}

void Run::onUi(std::function<void()> f)
{
    QMetaObject::invokeMethod(this, [this, f = std::move(f)] {
        if (!m_abandoned)
            f();
    }, Qt::QueuedConnection);
}

void Run::setBarMaximum(int maximum)
{
    flushPosition();
    m_workMaximum = maximum;
    onUi([this, maximum] {
        m_display.barMaximum = maximum;
        emit displayChanged();
    });
}

void Run::setBarPosition(int position)
{
    // A bar that moves is work that moves, also where no call is marked (inside an archive).
    if (position != m_pendingPosition)
        m_headway.step();
    m_pendingPosition = position;
    m_positionPending = true;
    // Thousands of small files a second need no more than a hundred updates. The position that
    // reaches the maximum always goes: the bar ignores a position above its maximum, so a full
    // bar needs that one.
    if (!m_lastPosition.isValid() || m_lastPosition.elapsed() >= 10 || position == m_workMaximum)
        flushPosition();
}

void Run::flushPosition()
{
    // Every position passed on carries its own value, so the bar sees them in the order the
    // work set them; the last one always arrives before whatever the work does next.
    if (!m_positionPending)
        return;
    m_positionPending = false;
    m_lastPosition.start();
    const int position = m_pendingPosition;
    onUi([this, position] {
        m_display.barPosition = position;
        emit displayChanged();
    });
}

void Run::setBarStatement(std::function<QString()> text)
{
    flushPosition();
    onUi([this, text = std::move(text)] {
        m_display.barStatement = text();
        emit displayChanged();
    });
}

void Run::startElapsed()
{
    onUi([this] { emit elapsedStarted(); });
}

void Run::postCounts(qint64 folders, qint64 files, qint64 bytes)
{
    onUi([this, folders, files, bytes] {
        m_display.counted = true;
        m_display.folders = folders;
        m_display.files = files;
        m_display.sized = true;
        m_display.bytes = double(bytes);
        emit displayChanged();
    });
}

void Run::postSize(double bytes)
{
    onUi([this, bytes] {
        m_display.sized = true;
        m_display.bytes = bytes;
        emit displayChanged();
    });
}

void Run::postLog(OperationLog &(*log)(), std::function<LogEntry(const QTime &now)> make)
{
    const QTime now = clock::timeOfDay();
    onUi([this, log, now, make = std::move(make)] {
        OperationLog &target = log();
        target.write(make(now));
        const QString failure = target.takeFailure();
        if (!failure.isEmpty())
            m_errors.append(failure);
    });
}

bool Run::stopped()
{
    if (!cancelled())
        return false;
    end(true, QStringLiteral("Iptal edildi."));
    return true;
}

void Run::end(bool failed, const QString &failure)
{
    if (m_endPosted)
        return;
    m_endPosted = true;
    flushPosition();
    onUi([this, failed, failure] { showEnd(failed, failure); });
}

} // namespace kx
