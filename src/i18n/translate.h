#pragma once
// Message and window translation on top of the translator. A Turkish source text is its own key:
// messages are keyed in message key form (line breaks as "^M", first "&" dropped); captions,
// hints and memo texts in window key form (also "^T" for an apostrophe and "^E" for "=").
// Combo box items, form header titles, list column captions and status bar texts go raw.

#include "platform/kxerror.h"

#include <QString>
#include <QStringList>

class QObject;

namespace kx {

class TFileSearch;

QString messageKeyForm(const QString &text);
QString windowKeyForm(const QString &text);
QString messageValueForm(const QString &value);
QString windowValueForm(const QString &value);

// Message translation (CompDilCevirMsg).
QString CompDilCevirMsg(TFileSearch &translator, const QString &text);

// Window translation (CompFormDilCevir): every object the window holds, in creation order.
void CompFormDilCevir(TFileSearch &translator, QObject *window);

// Error texts translated on any thread, as message translation would, through a translator
// that nothing changes any more (its shared lookups prepared).
class SharedErrorTranslation : public ErrorTextTranslator
{
public:
    explicit SharedErrorTranslation(const TFileSearch &translator) : m_translator(translator) {}
    QString translate(const QString &text) const override;

private:
    const TFileSearch &m_translator;
};

// Names of the language files ("*.lng", cut before the first dot) in the program folder's
// "Language" folder, "empty" left out.
QStringList languageList(const QString &programFolder);
QString languageFilePath(const QString &programFolder, const QString &language);

} // namespace kx
