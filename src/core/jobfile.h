#pragma once
// A job file: KEY=value lines in the program's code page. Lookup takes the first line whose text
// before its first "=" equals the key, letter case ignored; the value is the rest of the line,
// untrimmed. Setting a key replaces its line in place or appends one; setting it empty removes
// the line, so a present key always has a non-empty value. Lines the caller does not touch,
// including lines without "=", stay as they were.

#include <QString>
#include <QStringList>
#include <optional>

namespace kx {

class JobFile
{
public:
    JobFile() = default;
    explicit JobFile(QStringList lines) : m_lines(std::move(lines)) {}

    // Throws kx::Error when the file cannot be read.
    static JobFile load(const QString &path);
    // Written whole and atomically, owner-only (job files hold passwords).
    void save(const QString &path) const;

    QString value(const QString &key) const;
    bool contains(const QString &key) const { return !value(key).isEmpty(); }
    void setValue(const QString &key, const QString &value);

    // The one boolean rule of job files: "True"/"False" in any letter case or a number (0 is
    // false); anything else, a missing key included, gives the default.
    bool flag(const QString &key, bool defaultValue) const;
    // Exactly "True", letter case counting: where a job must be switched on on purpose.
    bool isTrue(const QString &key) const;
    // A decimal integer with optional sign and blanks around; anything else gives the default.
    qint64 intValue(const QString &key, qint64 defaultValue) const;

    const QStringList &lines() const { return m_lines; }
    void setLines(const QStringList &lines) { m_lines = lines; }
    void clear() { m_lines.clear(); }
    bool isEmpty() const { return m_lines.isEmpty(); }

private:
    qsizetype indexOf(const QString &key) const;

    QStringList m_lines;
};

// Reading helpers shared by everything that interprets job values (and the settings file,
// whose booleans follow the same rule).
std::optional<bool> parseBool(const QString &text);
std::optional<qint64> parseInt(const QString &text);

// YEDEK_ZAMANI: "1" hourly, "2" daily, "3" weekly, "4" monthly, compared as text; anything else
// is no schedule at all.
enum class ScheduleUnit { None, Hour, Day, Week, Month };
ScheduleUnit scheduleUnit(const QString &value);
ScheduleUnit scheduleUnit(const JobFile &job);
// PERYOT as a count of units: at least 1 (a missing, unreadable, zero or negative period is one
// unit, so no period can make a job due at every tick).
qint64 schedulePeriod(const JobFile &job);

} // namespace kx
