// Ini files: any file loads; every section and key it offers reads without failing; a value
// written under a plain section and key reads back as written (trimmed, line breaks as blanks);
// a saved file loads again line for line.
#include "core/codepage.h"
#include "fuzzcheck.h"
#include "settings/inifile.h"

using namespace kx;

namespace {

QString headerOf(const QString &line)
{
    const QString t = line.trimmed();
    if (!t.startsWith(u'[') || !t.contains(u']'))
        return QString();
    return t.mid(1, t.indexOf(u']') - 1).trimmed();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QString path = fuzz::scratchFile(QStringLiteral("fuzz.ini"));
    fuzz::writeScratch(path, fuzz::bytes(data, size));

    IniFile ini(path);
    KX_FUZZ_CHECK(ini.lines() == codepage::splitLines(fuzz::bytes(data, size)));

    QString section;
    QString lastSection = QStringLiteral("Ayarlar");
    QString lastKey = QStringLiteral("Dil");
    int asked = 0;
    for (const QString &line : ini.lines()) {
        if (++asked > 256)
            break;
        const QString header = headerOf(line);
        if (!header.isNull()) {
            section = header;
            if (fuzz::plainName(section))
                lastSection = section;
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            continue;
        const QString key = line.left(eq).trimmed();
        const QString value = ini.readString(section, key, QStringLiteral(" "));
        // No value read back is a lone blank, so the default tells a missing key.
        const bool found = ini.hasKey(section, key);
        KX_FUZZ_CHECK(found == (value != QStringLiteral(" ")));
        KX_FUZZ_CHECK(!found || value == value.trimmed());
        ini.readInteger(section, key, -1);
        ini.readBool(section, key, true);
        if (fuzz::plainName(key) && key.compare(QLatin1String("Sayi"), Qt::CaseInsensitive) != 0
            && key.compare(QLatin1String("Acik"), Qt::CaseInsensitive) != 0)
            lastKey = key;
    }

    // The last plain section and key of the file, or ones it may not hold at all.
    const QString lines = ini.lines().join(QStringLiteral("\r\n"));
    const QString written = QStringLiteral(" ") + lines.right(40) + QStringLiteral("\n ");
    QString expected = written;
    expected.replace(u'\r', u' ').replace(u'\n', u' ');
    expected = expected.trimmed();
    const qsizetype before = ini.lines().size();
    ini.writeString(lastSection, lastKey, written);
    KX_FUZZ_CHECK(ini.readString(lastSection, lastKey, QString()) == expected);
    KX_FUZZ_CHECK(ini.lines().size() >= before && ini.lines().size() <= before + 2);
    ini.writeInteger(lastSection, QStringLiteral("Sayi"), -12345);
    KX_FUZZ_CHECK(ini.readInteger(lastSection, QStringLiteral("Sayi"), 0) == -12345);
    ini.writeBool(lastSection, QStringLiteral("Acik"), true);
    KX_FUZZ_CHECK(ini.readBool(lastSection, QStringLiteral("Acik"), false));
    // The key written last is still there: writing others never moves a key into another section.
    KX_FUZZ_CHECK(ini.readString(lastSection, lastKey, QString()) == expected);

    ini.save();
    const IniFile again(path);
    QStringList saved = ini.lines();
    // What cannot be stored in the code page is stored as '?'.
    for (QString &l : saved)
        l = codepage::decode(codepage::encode(l));
    KX_FUZZ_CHECK(again.lines() == saved);
    return 0;
}
