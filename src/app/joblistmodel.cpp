#include "app/joblistmodel.h"
#include "platform/files.h"
#include "core/codepage.h"
#include "core/jobcipher.h"
#include "core/service.h"
#include "platform/kxerror.h"

#include <QFileInfo>
#include <algorithm>

namespace kx {

namespace {

bool lessIgnoringCase(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) < 0;
}

// AKTIF as the list reads it: "True" or "False" in any letter case, or a number; anything else
// (a missing key included) is no boolean.
bool activeOf(const JobFile &job, const QString &file)
{
    const QString text = job.value(QStringLiteral("AKTIF"));
    const std::optional<bool> b = parseBool(text);
    if (!b)
        throw Error(QStringLiteral("\"%1\": AKTIF degeri \"%2\" gecerli bir mantiksal deger degil."), {file, text});
    return *b;
}

// Keys whose record fields are integers or booleans: a text that does not suit them cannot be
// loaded.
const char *const kIntegerKeys[] = {"YEDEK_ZAMANI", "PERYOT", "SILGUN", "SAAT_SURE", "GUN_SURE", "HAFTA_SURE", "AY_SURE"};
const char *const kFolderBooleans[] = {"AKTIF", "UZERINE_YAZ", "ALT_DIZIN", "ZIP_YEDEKLE", "UNETYEDEK"};
const char *const kFirebirdBooleans[] = {"AKTIF", "UZERINE_YAZ", "UNETYEDEK"};

// A boolean field takes "True", "False" or a leading part of either, letter case ignored.
bool suitsBoolean(const QString &text)
{
    return !text.isEmpty()
           && (QStringLiteral("true").startsWith(text, Qt::CaseInsensitive)
               || QStringLiteral("false").startsWith(text, Qt::CaseInsensitive));
}

void checkFields(const JobFile &job, JobKind kind, const QString &file)
{
    auto refuse = [&](const char *key, const QString &text) {
        throw Error(QStringLiteral("\"%1\": %2 degeri \"%3\" bu alana uymuyor."), {file, QLatin1String(key), text});
    };
    for (const char *key : kIntegerKeys) {
        const QString text = job.value(QLatin1String(key));
        if (!text.isEmpty() && !parseInt(text))
            refuse(key, text);
    }
    auto checkBooleans = [&](const auto &keys) {
        for (const char *key : keys) {
            const QString text = job.value(QLatin1String(key));
            if (!text.isEmpty() && !suitsBoolean(text))
                refuse(key, text);
        }
    };
    if (kind == JobKind::Folder)
        checkBooleans(kFolderBooleans);
    else
        checkBooleans(kFirebirdBooleans);
}

} // namespace

QString lastRunText(const QDateTime &at)
{
    return at.isValid() ? at.toString(QStringLiteral("dd.MM.yyyy HH:mm")) : QString();
}

JobTable::JobTable(QObject *parent)
    : QAbstractTableModel(parent),
      m_headers({QStringLiteral("Yedek Adi"), QStringLiteral("Grup"), QStringLiteral("Kaynak Dizin"),
                 QStringLiteral("Hedef Dizin"), QStringLiteral("Otomatik Yedekleme"), QStringLiteral("Aciklama"),
                 QStringLiteral("Son Yedekleme"), QStringLiteral("Sonuc")})
{
}

void JobTable::setRows(QList<JobListRow> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

void JobTable::setRuns(const LastRuns &runs)
{
    for (JobListRow &r : m_rows)
        r.run = runs.of(r.name, r.recordedRun);
    if (!m_rows.isEmpty())
        emit dataChanged(index(0, LastRun), index(int(m_rows.size()) - 1, Result));
}

int JobTable::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int JobTable::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant JobTable::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const JobListRow &r = m_rows.at(index.row());
    if (role == Qt::DecorationRole && index.column() == Name && m_icon.isValid())
        return m_icon;
    const bool stale = index.column() == Result && m_stale && m_stale(r.name);
    if (role == Qt::ToolTipRole && index.column() == Result) {
        // The failure as logged, and since when the job has not succeeded.
        QString tip = r.run.lastStatus;
        if (r.run.lastResult == RunResult::Failed && r.run.lastSuccess.isValid())
            tip += u'\n' + trMsg(QStringLiteral("Son basarili yedekleme: %1")).arg(lastRunText(r.run.lastSuccess));
        if (stale)
            tip += (tip.isEmpty() ? QString() : QStringLiteral("\n")) + trMsg(QStringLiteral("Uzun suredir basarili yedek alinamadi."));
        return tip.isEmpty() ? QVariant() : QVariant(tip);
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    switch (index.column()) {
    case Name:
        return r.name;
    case Group:
        return r.group;
    case Source:
        return r.source;
    case Target:
        return r.target;
    case Active:
        return trMsg(r.active ? QStringLiteral("Aktif") : QStringLiteral("Pasif"));
    case Description:
        return r.description;
    case LastRun:
        return lastRunText(r.run.lastRun);
    case Result: {
        QString text;
        if (r.run.lastResult == RunResult::Succeeded)
            text = trMsg(QStringLiteral("Basarili"));
        else if (r.run.lastResult == RunResult::Failed)
            text = trMsg(QStringLiteral("Basarisiz"));
        if (stale)
            text += (text.isEmpty() ? QString() : QStringLiteral(" - ")) + trMsg(QStringLiteral("Gecikmis"));
        return text;
    }
    }
    return {};
}

QVariant JobTable::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= m_headers.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    return m_headers.at(section);
}

bool JobTable::setHeaderData(int section, Qt::Orientation orientation, const QVariant &value, int role)
{
    if (orientation != Qt::Horizontal || (role != Qt::EditRole && role != Qt::DisplayRole) || section < 0
        || section >= m_headers.size())
        return false;
    m_headers[section] = value.toString();
    emit headerDataChanged(orientation, section, section);
    return true;
}

void JobFilter::setFilter(bool showAll, const QString &group)
{
    m_showAll = showAll;
    m_group = group;
    invalidateFilter();
}

bool JobFilter::filterAcceptsRow(int sourceRow, const QModelIndex &) const
{
    if (m_showAll)
        return true;
    const auto *table = static_cast<const JobTable *>(sourceModel());
    return table->rows().at(sourceRow).group == m_group;
}

JobListModel::JobListModel(JobKind kind, Owner owner, const QString &programFolder, std::function<QStringList()> jobList,
                           std::function<void()> rescan, QObject *parent)
    : QObject(parent), m_kind(kind), m_owner(owner), m_programFolder(programFolder), m_jobList(std::move(jobList)),
      m_rescan(std::move(rescan)), m_filter(this)
{
    if (!m_programFolder.endsWith(u'/'))
        m_programFolder += u'/';
    m_filter.setSourceModel(&m_table);
    m_filter.setDynamicSortFilter(false);
}

QString JobListModel::filteredName(int row) const
{
    if (row < 0 || row >= m_filter.rowCount())
        return QString();
    return m_filter.index(row, JobTable::Name).data().toString();
}

QString JobListModel::currentName() const
{
    return filteredName(m_currentRow);
}

void JobListModel::rebuild(bool rescan, const QString &name)
{
    if (rescan && m_rescan)
        m_rescan();
    // The guard is down again however this ends, so the group filter keeps working after a
    // failure.
    struct Guard {
        bool &on;
        explicit Guard(bool &g) : on(g) { on = true; }
        ~Guard() { on = false; }
    };
    const bool management = m_owner == Owner::ManagementWindow;
    const QString none = trMsg(QStringLiteral("<Yok>"));
    QList<JobListRow> rows;
    QStringList groups;
    {
        Guard guard(m_guard);
        m_groups.clear();
        m_currentGroup = -1;
        if (management) {
            m_groupBox = {trMsg(QStringLiteral("Hepsi")), none};
            emit groupBoxRebuilt();
        }
        const QString sourceKey = m_kind == JobKind::Folder ? QStringLiteral("KAYNAK_DIZIN") : QStringLiteral("KAYNAK_DOSYA");
        for (const QString &entry : m_jobList()) {
            JobListRow row;
            row.name = entry;
            const QString path = m_programFolder + entry;
            // A job whose file has gone since the last scan shows as an empty, inactive row,
            // never with the values of the file read before it.
            if (isPlainFile(path)) {
                const JobFile job = JobFile::load(path);
                row.group = job.value(QStringLiteral("GRUBU"));
                if (management) {
                    row.description = job.value(QStringLiteral("ACIKLAMA"));
                    row.source = job.value(sourceKey);
                    row.target = job.value(QStringLiteral("HEDEF_DIZIN"));
                    row.active = activeOf(job, entry);
                    row.recordedRun = recordedLastRun(job);
                }
            }
            if (row.group.isEmpty())
                row.group = none;
            rows.append(row);
            if (!groups.contains(row.group))
                groups.append(row.group);
        }
        std::stable_sort(groups.begin(), groups.end(), lessIgnoringCase);
        if (management) {
            for (const QString &g : std::as_const(groups))
                if (!m_groupBox.contains(g, Qt::CaseInsensitive))
                    m_groupBox.append(g);
        }
        std::stable_sort(rows.begin(), rows.end(),
                         [](const JobListRow &a, const JobListRow &b) { return lessIgnoringCase(a.name, b.name); });
        if (management && m_runSource) {
            const LastRuns runs = m_runSource();
            for (JobListRow &r : rows)
                r.run = runs.of(r.name, r.recordedRun);
        }
        m_groups = groups;
        m_table.setRows(rows);
        m_currentGroup = m_groups.isEmpty() ? -1 : 0;
        if (!name.isEmpty()) {
            const QString ext = jobExtension(m_kind);
            const QString wanted = name.endsWith(ext, Qt::CaseInsensitive) ? name : name + ext;
            for (const JobListRow &r : std::as_const(rows))
                if (r.name == wanted)
                    m_currentGroup = int(m_groups.indexOf(r.group));
        }
    }
    if (management)
        emit groupBoxRebuilt();
    groupFilter();
    if (!name.isEmpty()) {
        const QString ext = jobExtension(m_kind);
        selectName(name.endsWith(ext, Qt::CaseInsensitive) ? name : name + ext);
    }
}

void JobListModel::refreshRuns()
{
    if (m_runSource)
        m_table.setRuns(m_runSource());
}

void JobListModel::groupFilter()
{
    {
        struct Guard {
            bool &on;
            explicit Guard(bool &g) : on(g) { on = true; }
            ~Guard() { on = false; }
        } guard(m_guard);
        const bool all = m_owner == Owner::ManagementWindow && m_showAll;
        m_filter.setFilter(all, m_currentGroup >= 0 && m_currentGroup < m_groups.size() ? m_groups.at(m_currentGroup)
                                                                                        : QString());
        m_currentRow = m_filter.rowCount() > 0 ? 0 : -1;
        emit filterApplied();
    }
    if (m_currentRow < 0) {
        m_hasRecord = false;
        m_record.clear();
        m_recordPassword.clear();
        return;
    }
    loadRecord();
}

void JobListModel::loadRecord()
{
    if (m_guard || m_currentRow < 0)
        return;
    const QString name = currentName();
    const QString path = jobFilePath(m_programFolder, name, m_kind);
    // Read and checked before anything changes: a failure leaves the record as it was.
    const JobFile job = JobFile::load(path);
    checkFields(job, m_kind, name);
    m_record = job;
    m_recordPassword =
        codepage::decode(DecryptJobField(codepage::encode(job.value(QStringLiteral("UNETSIFRE")))));
    m_hasRecord = true;
}

void JobListModel::setCurrentRow(int row)
{
    m_currentRow = row;
}

bool JobListModel::selectName(const QString &name)
{
    for (int row = 0; row < m_filter.rowCount(); ++row) {
        if (filteredName(row) == name) {
            setCurrentRow(row);
            loadRecord();
            return true;
        }
    }
    return false;
}

bool JobListModel::applyGroupBox(const QString &text)
{
    const QString t = text.trimmed();
    if (t == trMsg(QStringLiteral("Hepsi")).trimmed()) {
        m_showAll = true;
        groupFilter();
        return true;
    }
    const qsizetype row = m_groups.indexOf(t);
    if (row < 0)
        return false;
    m_currentGroup = int(row);
    m_showAll = false;
    groupFilter();
    return true;
}

int typeAheadRow(const QStringList &captions, const QString &text)
{
    auto upperAscii = [](QChar c) { return c >= u'a' && c <= u'z' ? QChar(c.unicode() - 32) : c; };
    const qsizetype k = text.size();
    for (qsizetype row = 0; row < captions.size(); ++row) {
        const QString &caption = captions.at(row);
        const QStringView head = QStringView(caption).left(k);
        // A caption shorter than the text is compared whole, and so cannot match it.
        if (head.size() != k)
            continue;
        bool same = true;
        for (qsizetype i = 0; i < k && same; ++i)
            same = upperAscii(head.at(i)) == upperAscii(text.at(i));
        if (same)
            return int(row);
    }
    return -1;
}

} // namespace kx
