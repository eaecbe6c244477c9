#pragma once
// One exception type for platform failures (a file that cannot be opened, written or renamed,
// a service that refuses). It carries the text the user is shown by the general error display.

#include <QString>
#include <stdexcept>

namespace kx {

class Error : public std::runtime_error
{
public:
    explicit Error(const QString &text) : std::runtime_error(text.toStdString()), m_text(text) {}
    QString text() const { return m_text; }

private:
    QString m_text;
};

} // namespace kx
