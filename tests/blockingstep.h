#pragma once
// A file-system step that blocks until released, put into the collection: a share whose server
// stopped answering. It blocks only for the one folder it was given, and never on the test's own
// thread (the service's): a step reached there is noted and let through, so a run that lists on
// the wrong thread fails its test instead of hanging it.

#include "runs/collect.h"

#include <QCoreApplication>
#include <QThread>
#include <atomic>
#include <condition_variable>
#include <mutex>

namespace kxtest {

class BlockingStep
{
public:
    explicit BlockingStep(const QString &folder)
    {
        kx::setCollectionStep([this, folder](const QString &listed) {
            if (listed != folder)
                return;
            if (QThread::currentThread() == QCoreApplication::instance()->thread()) {
                m_onServiceThread = true;
                return;
            }
            std::unique_lock lock(m_mutex);
            m_reached = true;
            m_wake.wait(lock, [this] { return m_released; });
        });
    }
    ~BlockingStep()
    {
        release();
        kx::setCollectionStep({});
    }

    bool reached()
    {
        std::lock_guard lock(m_mutex);
        return m_reached;
    }
    bool reachedOnServiceThread() const { return m_onServiceThread; }
    void release()
    {
        {
            std::lock_guard lock(m_mutex);
            m_released = true;
        }
        m_wake.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_reached = false;
    bool m_released = false;
    std::atomic<bool> m_onServiceThread{false};
};

} // namespace kxtest
