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

    // "True"/"False" in any letter case; anything else gives the default.
    bool boolValue(const QString &key, bool defaultValue) const;
    // A decimal integer with optional "-"; anything else gives the default.
    int intValue(const QString &key, int defaultValue) const;

    const QStringList &lines() const { return m_lines; }
    void setLines(const QStringList &lines) { m_lines = lines; }
    void clear() { m_lines.clear(); }
    bool isEmpty() const { return m_lines.isEmpty(); }

private:
    qsizetype indexOf(const QString &key) const;

    QStringList m_lines;
};

// Reading helpers shared by everything that interprets job values.
std::optional<bool> parseBool(const QString &text);
std::optional<int> parseInt(const QString &text);

} // namespace kx
