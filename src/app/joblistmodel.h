#pragma once
// The in-memory job lists of one kind that the management window and the job editors keep: the
// full job list (a table model every list view shows), the group table, the filtered job list
// (a filter over the table: all jobs, or those of one group), and the current job record, the
// one job read from its file. Rebuilt from the job list the service keeps of the job files of
// the kind; no widget here.

#include "core/jobfile.h"
#include "core/joblist.h"
#include "runs/lastruns.h"

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <QStringList>
#include <functional>

namespace kx {

// One row of the full job list.
struct JobListRow {
    QString name;        // YEDEK_ADI: the job file name with its extension
    QString group;       // GRUBU, or the translation of "<Yok>"
    QString description; // ACIKLAMA
    QString source;      // KAYNAK_DIZIN (folder jobs) or KAYNAK_DOSYA (Firebird jobs)
    QString target;      // HEDEF_DIZIN
    bool active = false; // AKTIF
    QDateTime recordedRun; // the last run the job file records (SON_YEDEK_GUNU, SON_YEDEK_SAATI)
    JobRunRecord run;      // how the job has been doing, from the backup log
};

// The full job list as the list views show it: the name as the caption (with the job icon),
// then group, source, target, "Aktif" or "Pasif", description, and how the job has been doing:
// its last run's date and time and that run's result ("Basarili" or "Basarisiz").
class JobTable : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Name, Group, Source, Target, Active, Description, LastRun, Result, ColumnCount };

    explicit JobTable(QObject *parent = nullptr);

    const QList<JobListRow> &rows() const { return m_rows; }
    void setRows(QList<JobListRow> rows);
    // The last runs of every row taken again from the record; the rows stay as they are.
    void setRuns(const LastRuns &runs);
    // The job icon beside each name, as the windows make it (an icon is no business of the model).
    void setIcon(const QVariant &icon) { m_icon = icon; }
    // Whether a job is stale (no successful run for twice its interval): its result says so.
    void setStaleCheck(std::function<bool(const QString &)> check) { m_stale = std::move(check); }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    // The captions are the program's Turkish texts until the window translation sets them.
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant &value, int role = Qt::EditRole) override;

private:
    QList<JobListRow> m_rows;
    QStringList m_headers;
    QVariant m_icon;
    std::function<bool(const QString &)> m_stale;
};

// The filtered job list: every row of the table while `showAll` is on, otherwise the rows whose
// group is spelled exactly like the chosen one. Keeps the table's order.
class JobFilter : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void setFilter(bool showAll, const QString &group);
    bool showAll() const { return m_showAll; }
    QString group() const { return m_group; }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    bool m_showAll = true;
    QString m_group;
};

class JobListModel : public QObject
{
    Q_OBJECT
public:
    // The management window's model lists every field and a group box; an editor's model knows
    // names and groups only and always filters by the current group.
    enum class Owner { ManagementWindow, Editor };

    // jobList: the service's job list of the kind (read when rebuilding); rescan: rebuilds the
    // service's job lists from the program folder (DosyaYukle).
    JobListModel(JobKind kind, Owner owner, const QString &programFolder,
                 std::function<QStringList()> jobList, std::function<void()> rescan, QObject *parent = nullptr);

    JobKind kind() const { return m_kind; }
    JobTable &table() { return m_table; }
    JobFilter &filtered() { return m_filter; }
    const QStringList &groups() const { return m_groups; } // the group table
    int currentGroup() const { return m_currentGroup; }
    // The group box of the management window: "Hepsi", "<Yok>" (translated), then each group
    // the box does not hold yet, letter case ignored.
    const QStringList &groupBoxItems() const { return m_groupBox; }

    // Where the last runs of the jobs come from (the management window's model; the backup log).
    // A rebuild takes them once; refreshRuns() takes them again without reading a job file.
    void setRunSource(std::function<LastRuns()> source) { m_runSource = std::move(source); }
    void refreshRuns();

    bool guard() const { return m_guard; }
    bool showAll() const { return m_showAll; }
    void setShowAll(bool on) { m_showAll = on; }

    // The filtered job list's current row (-1 when it is empty) and its job name.
    int currentRow() const { return m_currentRow; }
    QString currentName() const;
    int filteredCount() const { return m_filter.rowCount(); }
    QString filteredName(int row) const;

    // The current job record: the job file of the current row as read, UNETSIFRE deciphered.
    bool hasRecord() const { return m_hasRecord; }
    const JobFile &record() const { return m_record; }
    QString recordPassword() const { return m_recordPassword; }

    // Rebuild (dosyaListeAktar, FBListeAktar, ListeAktar): optionally rescans, reads every job
    // file of the kind once, refills the tables, filters and loads the current job record. A
    // name (editors) selects that job. A failure (an unreadable AKTIF of the management window)
    // throws kx::Error: the table keeps what it showed, the group box its first two entries.
    void rebuild(bool rescan, const QString &name = QString());
    // The group filter: all rows (show-all) or those of the current group; the first row
    // becomes current and is loaded.
    void groupFilter();
    // Reads the job file of the current row into the record (FBDByeAktar, dosyaDByeAktar,
    // DByeAktar). Throws kx::Error when the file cannot be read or a value does not suit its
    // field; the record keeps what it held.
    void loadRecord();
    // Makes the filtered list's row with this job name current and loads it; false when there is
    // no such row.
    bool selectName(const QString &name);
    // The user picked an entry of the group box (management window); false when it changed
    // nothing.
    bool applyGroupBox(const QString &text);

signals:
    // The group box items are new (after a rebuild).
    void groupBoxRebuilt();
    // The filtered list was refilled (no row is selected in the list view afterwards).
    void filterApplied();

private:
    void setCurrentRow(int row);

    JobKind m_kind;
    Owner m_owner;
    QString m_programFolder;
    std::function<QStringList()> m_jobList;
    std::function<void()> m_rescan;
    std::function<LastRuns()> m_runSource;

    JobTable m_table;
    JobFilter m_filter;
    QStringList m_groups;
    int m_currentGroup = -1;
    QStringList m_groupBox;
    int m_currentRow = -1;
    bool m_guard = false;
    bool m_showAll = true;

    bool m_hasRecord = false;
    JobFile m_record;
    QString m_recordPassword;
};

// The first of the captions that begins with the text, the ASCII letters a to z compared without
// regard to case and every other letter as it is; -1 when none does. An empty text matches the
// first caption.
int typeAheadRow(const QStringList &captions, const QString &text);

// A last run as the job lists show it ("05.01.2024 22:00"); empty when there is none.
QString lastRunText(const QDateTime &at);

} // namespace kx
