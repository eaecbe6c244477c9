// Replies of the version service: any body, read as UTF-8 or in the code page, gives two
// single-line values; the comparison of versions is a strict order.
#include "core/codepage.h"
#include "fuzzcheck.h"
#include "tools/versioncheck.h"

using namespace kx;

namespace {

void checkReply(const QString &body)
{
    const VersionReply reply = parseVersionReply(body);
    for (const QString *v : {&reply.surum, &reply.downloadLink})
        KX_FUZZ_CHECK(!v->contains(u'\r') && !v->contains(u'\n') && !v->contains(QLatin1String("<br>")));
    // The offered version against itself and the empty one.
    KX_FUZZ_CHECK(!isNewerVersion(reply.surum, reply.surum));
    KX_FUZZ_CHECK(!isNewerVersion(QString(), reply.surum));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray raw = fuzz::bytes(data, size);
    checkReply(QString::fromUtf8(raw));
    checkReply(codepage::decode(raw));

    // Two versions cut from the input: never each later than the other.
    const QString text = codepage::decode(raw);
    const qsizetype cut = text.indexOf(u'\n');
    const QString a = cut < 0 ? text : text.left(cut);
    const QString b = cut < 0 ? QString() : text.mid(cut + 1);
    KX_FUZZ_CHECK(!(isNewerVersion(a, b) && isNewerVersion(b, a)));
    KX_FUZZ_CHECK(isNewerVersion(a, b) || isNewerVersion(b, a) || codepage::encode(a) == codepage::encode(b));
    return 0;
}
