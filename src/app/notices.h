#pragma once
// Failures the user has not seen yet: backups and restores that ended "Basarisiz." and jobs that
// have gone stale. Each batch is told once as one notice (several failures of one scheduler walk
// never make a storm of them); the jobs stay listed, for the tray's warning state and tooltip,
// until the user has looked at them.

#include <QDate>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QStringList>

namespace kx {

class NoticeBoard : public QObject
{
    Q_OBJECT
public:
    explicit NoticeBoard(QObject *parent = nullptr);

    // A backup of `job` (or a restore of `job`, its source) ended as failed, for `reason`.
    void failed(const QString &job, const QString &reason);
    // `job` is stale on `day`: told once per job and day, listed while it stays stale.
    void stale(const QString &job, const QDate &day);
    // `job` is no longer stale (a run succeeded, the job was switched off or deleted).
    void fresh(const QString &job);

    // While on (the scheduler walks its jobs), news waits; switching it off tells what waited.
    // Off, news is told from the next turn of the event loop, together with whatever else
    // comes in the same turn.
    void setHolding(bool holding);

    // What the user has not seen yet, one line per job, oldest first.
    QStringList unseen() const { return m_unseen; }
    // The user opened the list of notices ("Bildirimler"): nothing is unseen any more.
    void acknowledge();

signals:
    // One notice for a batch: its title and text (translated).
    void notice(const QString &title, const QString &text);
    // Whether anything is unseen (the tray's warning state).
    void unseenChanged(bool any);

private:
    void add(const QString &line);
    void flush();

    QStringList m_unseen;
    QStringList m_pending;
    QHash<QString, QDate> m_staleTold;
    bool m_holding = false;
    bool m_flushQueued = false;
};

} // namespace kx
