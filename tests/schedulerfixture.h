#pragma once
// What the scheduler's tests share: a scheduler over a folder of its own whose runs are stood in
// for by a small fake that holds the flag of its kind for a few turns of the event loop. The
// fixture has no meta-object of its own; the test classes deriving from it hold the slots.

#include "core/clock.h"
#include "core/service.h"
#include "platform/files.h"
#include "scheduling/scheduler.h"

#include <QLocale>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace kxtest {

class SchedulerFixture : public QObject
{
protected:
    QTemporaryDir m_dir;
    QString m_folder;
    kx::ServiceContext m_context;
    kx::RunningState m_running;
    std::unique_ptr<kx::Scheduler> m_scheduler;
    QStringList m_started;
    quint64 m_lastRun = 0;
    // How a fake run ends: after this many milliseconds, or never (-1; the test ends it).
    int m_runMs = 30;
    std::function<void(const QString &)> m_duringRun;

    void writeJob(const QString &name, const QByteArray &text) { kx::writeWholeFile(m_folder + name, text); }

    static kx::RunKind kindOf(kx::JobKind kind)
    {
        return kind == kx::JobKind::Folder ? kx::RunKind::FolderBackup : kx::RunKind::FirebirdBackup;
    }

    // Ends a fake run as the run controller does: the flag first, then the news.
    void endRun(kx::RunKind kind, quint64 id)
    {
        m_running.set(kind, false);
        m_scheduler->runEnded(id);
    }

    quint64 startFake(kx::JobKind kind, const QString &name, const kx::JobFile &, bool retention)
    {
        const kx::RunKind k = kindOf(kind);
        if (m_running.isRunning(k)) {
            QTest::qFail("a run started while another of its kind was running", __FILE__, __LINE__);
            return 0;
        }
        m_started.append(name + (retention ? "+R" : ""));
        m_running.set(k, true);
        const quint64 id = ++m_lastRun;
        if (m_duringRun)
            m_duringRun(name);
        if (m_runMs >= 0)
            QTimer::singleShot(m_runMs, this, [this, k, id] { endRun(k, id); });
        return id;
    }

    void makeScheduler()
    {
        m_scheduler = std::make_unique<kx::Scheduler>(
            m_context, m_running, [this](kx::JobKind kind, const QString &name, const kx::JobFile &job, bool retention) {
                return startFake(kind, name, job, retention);
            });
    }

    // One tick, then events until its walk has ended.
    void tickAt(const QDateTime &now, const QStringList &folderJobs, const QStringList &fbJobs = {})
    {
        kx::clock::setNow(now);
        m_scheduler->tick(m_folder, folderJobs, fbJobs);
        QTRY_VERIFY(!m_scheduler->busy());
    }

    // The test classes' init() and cleanup().
    void setUp()
    {
        m_context = kx::ServiceContext();
        QLocale::setDefault(QLocale(QLocale::Turkish, QLocale::Turkey));
        m_folder = m_dir.path() + "/";
        m_started.clear();
        m_runMs = 30;
        m_duringRun = nullptr;
        for (kx::RunKind k : {kx::RunKind::FolderBackup, kx::RunKind::FirebirdBackup})
            m_running.set(k, false);
        makeScheduler();
    }
    void tearDown()
    {
        kx::clock::setNow(QDateTime());
        QLocale::setDefault(QLocale::c());
    }
};

} // namespace kxtest
