#pragma once
// The message-translation hooks the whole process shares: the translator installs itself at
// start-up, every text shown at run time passes through it.

#include <QString>
#include <functional>

class QObject;

namespace kx {

// Message translation: every text shown at run time passes through it just before it is shown.
// The translator installs itself at start-up; until then a text comes back in its display form.
// User-interface thread only: the translator keeps state between lookups.
using MessageTranslator = std::function<QString(const QString &)>;
using WindowTranslator = std::function<void(QObject *)>;
void setTranslators(MessageTranslator msg, WindowTranslator window);
QString trMsg(const QString &text);
// Marks a text that is kept for a while and translated where it is shown (with trMsg), so the
// language files' completeness test finds it as it finds every text handed to trMsg directly.
#define KX_TEXT(text) QStringLiteral(text)
void trWindow(QObject *window);

} // namespace kx
