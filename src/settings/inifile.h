#pragma once
// Ini files the way the program has always read and written them: "[Section]" headers and
// key=value lines; section and key names compared without regard to letter case; values read
// with surrounding blanks removed; a written key replaces its line in place or is appended to
// its section, and a missing section is appended to the file. The code page and CR LF line ends
// are those of every other text file of the program.

#include <QString>
#include <QStringList>

namespace kx {

class IniFile
{
public:
    // Loads the file; a missing file is an empty one. Throws kx::Error when it exists but cannot
    // be read.
    explicit IniFile(const QString &path);

    QString path() const { return m_path; }

    bool hasKey(const QString &section, const QString &key) const;
    QString readString(const QString &section, const QString &key, const QString &defaultValue) const;
    // An integer that cannot be read gives the default.
    int readInteger(const QString &section, const QString &key, int defaultValue) const;
    // Read as an integer: non-zero is true.
    bool readBool(const QString &section, const QString &key, bool defaultValue) const;

    // Change the lines in memory; save() writes the whole file at once (atomically).
    void writeString(const QString &section, const QString &key, const QString &value);
    void writeInteger(const QString &section, const QString &key, int value);
    void writeBool(const QString &section, const QString &key, bool value); // "1" or "0"
    void deleteKey(const QString &section, const QString &key);
    void save() const;

    const QStringList &lines() const { return m_lines; }

private:
    // [first, end) line range of the section's body; first == -1 when the section is missing.
    std::pair<qsizetype, qsizetype> sectionRange(const QString &section) const;
    qsizetype keyLine(const QString &section, const QString &key) const;

    QString m_path;
    QStringList m_lines;
};

} // namespace kx
