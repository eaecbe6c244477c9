// Archive entry names before unpacking: a name that is accepted stays below the target folder
// and is already in its final form; anything else is refused.
#include "fuzzcheck.h"
#include "archive/zipengine.h"

#include <cstring>

using namespace kx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The archive library hands names over as C strings: they end at the first zero byte.
    const size_t length = strnlen(reinterpret_cast<const char *>(data), size);
    const QString name = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(length));
    const QString rel = safeRelative(name);
    if (rel.isEmpty())
        return 0;
    KX_FUZZ_CHECK(!rel.startsWith(u'/'));
    KX_FUZZ_CHECK(!rel.contains(u'\\'));
    KX_FUZZ_CHECK(!(rel.size() > 1 && rel.at(1) == u':'));
    const bool folder = rel.endsWith(u'/');
    const QStringList parts = (folder ? rel.chopped(1) : rel).split(u'/');
    for (const QString &part : parts)
        KX_FUZZ_CHECK(!part.isEmpty() && part != QLatin1String(".") && part != QLatin1String(".."));
    // Refusing or keeping a name does not depend on how often it was cleaned.
    KX_FUZZ_CHECK(safeRelative(rel) == rel);
    // A name that was accepted names a folder exactly when it was stored as one.
    QString stored = name;
    stored.replace(u'\\', u'/');
    KX_FUZZ_CHECK(folder == stored.endsWith(u'/'));
    return 0;
}
