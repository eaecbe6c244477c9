#include "runs/run.h"
#include "core/clock.h"
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
    if (m_thread.joinable())
        m_thread.join();
}

void Run::start()
{
    if (m_started)
        return;
    m_started = true;
    m_thread = std::thread([this] {
        QString unexpected;
        try {
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
    QMetaObject::invokeMethod(this, std::move(f), Qt::QueuedConnection);
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

void Run::end(bool failed, const QString &failure)
{
    if (m_endPosted)
        return;
    m_endPosted = true;
    flushPosition();
    onUi([this, failed, failure] {
        m_display.ended = true;
        m_display.failed = failed;
        m_display.failure = failure;
        m_finished = true;
        emit displayChanged();
        emit finished();
    });
}

} // namespace kx
