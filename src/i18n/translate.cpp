#include "i18n/translate.h"
#include "i18n/filesearch.h"
#include "platform/listing.h"

#include <algorithm>

namespace kx {

namespace {

QString lineBreaksToM(QString t)
{
    // Most texts hold no line break: they go through untouched.
    if (!t.contains(u'\r') && !t.contains(u'\n'))
        return t;
    t.replace(QLatin1String("\r\n"), QLatin1String("^M"));
    t.replace(u'\r', QLatin1String("^M"));
    t.replace(u'\n', QLatin1String("^M"));
    return t;
}

QString dropFirstAmpersand(QString t)
{
    const qsizetype i = t.indexOf(u'&');
    if (i >= 0)
        t.remove(i, 1);
    return t;
}

} // namespace

QString messageKeyForm(const QString &text)
{
    return dropFirstAmpersand(lineBreaksToM(text));
}

QString windowKeyForm(const QString &text)
{
    QString t = lineBreaksToM(text);
    t.replace(u'\'', QLatin1String("^T"));
    t.replace(u'=', QLatin1String("^E"));
    return dropFirstAmpersand(t);
}

QString messageValueForm(const QString &value)
{
    if (!value.contains(QLatin1String("^M")))
        return value;
    QString t = value;
    t.replace(QLatin1String("^M"), QLatin1String("\r\n"));
    return t;
}

QString windowValueForm(const QString &value)
{
    QString t = messageValueForm(value);
    t.replace(QLatin1String("^T"), QLatin1String("'"));
    t.replace(QLatin1String("^E"), QLatin1String("="));
    return t;
}

QString CompDilCevirMsg(TFileSearch &translator, const QString &text)
{
    const QString found = translator.lookup(messageKeyForm(text), true);
    return messageValueForm(found.isEmpty() ? text : found);
}

QString SharedErrorTranslation::translate(const QString &text) const
{
    const QString found = m_translator.lookupShared(messageKeyForm(text));
    return found.isEmpty() ? text : messageValueForm(found);
}

QString languageFilePath(const QString &programFolder, const QString &language)
{
    QString f = programFolder;
    if (!f.endsWith(u'/'))
        f += u'/';
    return f + QStringLiteral("Language/") + language + QStringLiteral(".lng");
}

QStringList languageList(const QString &programFolder)
{
    QString f = programFolder;
    if (!f.endsWith(u'/'))
        f += u'/';
    QStringList names;
    for (const DirEntry &e : listDirectory(f + QStringLiteral("Language"), QStringLiteral("*.lng"))) {
        if (!e.isFile)
            continue;
        const QString name = e.name.section(u'.', 0, 0);
        if (name.toLower() == QLatin1String("empty"))
            continue;
        names.append(name);
    }
    // The directory itself has no order on this platform; keep the one a user expects.
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    return names;
}

QStringList languageChoices(const QString &programFolder)
{
    QStringList names = languageList(programFolder);
    const QString own = QStringLiteral("turkish");
    if (!names.contains(own, Qt::CaseInsensitive)) {
        const auto at = std::lower_bound(names.begin(), names.end(), own, [](const QString &a, const QString &b) {
            return a.compare(b, Qt::CaseInsensitive) < 0;
        });
        names.insert(at, own);
    }
    return names;
}

} // namespace kx
