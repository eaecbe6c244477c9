#pragma once
// The program's settings store: a collection of named values kept in section "KxStored" of an
// ini file. Pointing it at a file restores the values from there (a missing key keeps the
// item's current value); SaveValues writes them all back at once.

#include <QList>
#include <QString>

namespace kx {

class TKxStorage
{
public:
    struct TStoredValue {
        QString Name;
        QString Value;
    };

    TKxStorage() = default;
    explicit TKxStorage(QList<TStoredValue> declared) : m_items(std::move(declared)) {}

    // The settings store of the main window with its two declared values.
    static TKxStorage programSettings();

    QString fileName() const { return m_fileName; }
    // Restores from the new file when the path changes (and the store is active).
    void setFileName(const QString &path);
    bool active() const { return m_active; }
    void setActive(bool active);

    void RestoreValues();
    // Throws kx::Error when the file cannot be written.
    void SaveValues() const;

    // By name, letter case ignored; an unknown name reads empty.
    QString value(const QString &name) const;
    // An unknown name is appended as a new item (saved, but not restored at the next start).
    void setValue(const QString &name, const QString &value);

    const QList<TStoredValue> &items() const { return m_items; }

private:
    QList<TStoredValue> m_items;
    QString m_fileName;
    bool m_active = true;
};

// "true"/"false" in any letter case, or a number (non-zero is true); anything else gives the
// default.
bool readSettingBool(const QString &text, bool defaultValue);

inline const char *const kSection = "KxStored";

} // namespace kx
