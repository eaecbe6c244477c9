#pragma once
// Message translation on top of the translator, and the key forms the window translation
// (ui/windowtexts) uses. A Turkish source text is its own key: messages are keyed in message key
// form (line breaks as "^M", first "&" dropped); captions, hints and memo texts in window key form
// (also "^T" for an apostrophe and "^E" for "=").

#include "platform/kxerror.h"

#include <QString>
#include <QStringList>

namespace kx {

class TFileSearch;

QString messageKeyForm(const QString &text);
QString windowKeyForm(const QString &text);
QString messageValueForm(const QString &value);
QString windowValueForm(const QString &value);

// Message translation (CompDilCevirMsg).
QString CompDilCevirMsg(TFileSearch &translator, const QString &text);

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
// What the program settings offer: the language files and the program's own Turkish, "turkish",
// which needs no file, in the order of languageList().
QStringList languageChoices(const QString &programFolder);
QString languageFilePath(const QString &programFolder, const QString &language);

} // namespace kx
