// Language files: the translator's index must answer every key exactly as a plain scan of the
// file for LF + key + separator does, whatever the file holds, with either letter-case rule
// and any separator; the message and window key forms must stay single-line keys.
#include "core/codepage.h"
#include "fuzzcheck.h"
#include "i18n/filesearch.h"
#include "i18n/translate.h"

#include <fuzzer/FuzzedDataProvider.h>

using namespace kx;

namespace {

// The value a scan finds: the bytes after the first match up to the next CR.
QString scanned(TFileSearch &tr, const QByteArray &image, const QString &key)
{
    const QByteArray pattern = '\n' + codepage::encode(key) + tr.Ayirac;
    const qsizetype at = tr.find(pattern);
    if (at < 0)
        return QString();
    const qsizetype from = at + pattern.size();
    qsizetype to = image.indexOf('\r', from);
    if (to < 0)
        to = image.size();
    return codepage::decode(image.mid(from, to - from));
}

void checkKey(TFileSearch &tr, const QByteArray &image, const QString &key)
{
    const QString expected = scanned(tr, image, key);
    KX_FUZZ_CHECK(tr.lookup(key, false) == expected);
    KX_FUZZ_CHECK(tr.DonusDegeri == expected);
    KX_FUZZ_CHECK(tr.lookup(key, true) == (expected.isEmpty() ? key : expected));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QString path = fuzz::scratchFile(QStringLiteral("fuzz.lng"));

    FuzzedDataProvider in(data, size);
    const bool caseSensitive = in.ConsumeBool();
    const char separator = in.ConsumeBool() ? '=' : char(in.ConsumeIntegral<unsigned char>());
    const QString ownKey = codepage::decode(QByteArray::fromStdString(in.ConsumeRandomLengthString(64)));
    const QByteArray image = QByteArray::fromStdString(in.ConsumeRemainingBytesAsString());
    fuzz::writeScratch(path, image);

    TFileSearch tr;
    tr.setFilename(path);
    KX_FUZZ_CHECK(tr.hasImage() == !image.isEmpty());
    tr.CaseSensitive = caseSensitive;
    tr.Ayirac = separator;

    // The keys the file offers (each line's text before every separator, and a few cut shorter
    // or longer), then one of the input's own.
    const QStringList lines = codepage::decode(image).split(u'\n');
    int asked = 0;
    for (qsizetype l = 1; l < lines.size() && asked < 64; ++l) {
        const QString &line = lines.at(l);
        for (qsizetype sep = line.indexOf(QChar::fromLatin1(separator)); sep >= 0 && asked < 64;
             sep = line.indexOf(QChar::fromLatin1(separator), sep + 1), ++asked) {
            checkKey(tr, image, line.left(sep));
            checkKey(tr, image, line.left(sep).toUpper());
            if (sep > 0)
                checkKey(tr, image, line.left(sep - 1));
        }
    }
    checkKey(tr, image, ownKey);
    // Switching the rules afterwards must not leave an index built for the others.
    tr.CaseSensitive = !caseSensitive;
    checkKey(tr, image, ownKey);
    tr.Ayirac = '=';
    checkKey(tr, image, ownKey);

    const QString messageKey = messageKeyForm(ownKey);
    KX_FUZZ_CHECK(!messageKey.contains(u'\r') && !messageKey.contains(u'\n'));
    const QString windowKey = windowKeyForm(ownKey);
    KX_FUZZ_CHECK(!windowKey.contains(u'\r') && !windowKey.contains(u'\n') && !windowKey.contains(u'=')
                  && !windowKey.contains(u'\''));
    const QString translated = CompDilCevirMsg(tr, ownKey);
    KX_FUZZ_CHECK(!translated.contains(QLatin1String("^M")));
    windowValueForm(tr.lookup(windowKey, true));
    return 0;
}
