#pragma once
// One exception type for platform failures (a file that cannot be opened, written or renamed,
// a service that refuses). It carries the text the user is shown by the general error display.
// The text is translated when the error is made, on whichever thread that is, by the translator
// the program installs once its language file is loaded; %1, %2 … in it are filled in after.

#include <QString>
#include <QStringList>
#include <stdexcept>

namespace kx {

// Looks an error text up in the language file. Called from any thread at once: it must only
// read what stays unchanged while it is installed.
class ErrorTextTranslator
{
public:
    virtual ~ErrorTextTranslator() = default;
    // The translation, or the text itself.
    virtual QString translate(const QString &text) const = 0;
};

// Installs (or, with nullptr, removes) the translator every new error goes through. The
// translator must outlive every thread that may still make an error with it.
void setErrorTextTranslator(const ErrorTextTranslator *translator);

class Error : public std::runtime_error
{
public:
    explicit Error(const QString &text, const QStringList &args = {}) : Error(Composed{compose(text, args)}) {}
    QString text() const { return m_text; }

    // The text translated, with %1 … %9 replaced by args in one pass (an argument that itself
    // holds "%2" is left as it is).
    static QString compose(const QString &text, const QStringList &args);

private:
    struct Composed {
        QString text;
    };
    explicit Error(Composed c) : std::runtime_error(c.text.toStdString()), m_text(std::move(c.text)) {}

    QString m_text;
};

} // namespace kx
