// Archives from anywhere: whatever the bytes, unpacking ends (with the files or with a failure
// naming why) and never writes outside its target folder.
#include "fuzzcheck.h"
#include "platform/folderdelete.h"
#include "platform/kxerror.h"
#include "platform/listing.h"
#include "archive/zipengine.h"

#include <QDir>

using namespace kx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString archive = fuzz::scratchFile(QStringLiteral("a.zip"));
    const QString target = fuzz::scratchFile(QStringLiteral("out"));
    fuzz::writeScratch(archive, fuzz::bytes(data, size));
    deleteFolderTree(target);
    KX_FUZZ_CHECK(QDir().mkpath(target));
    try {
        inspectZip(archive);
    } catch (const Error &) {
    }
    try {
        unpackZip(archive, target, QList<QByteArray>{QByteArrayLiteral("p"), QByteArray()}, true);
    } catch (const Error &) {
    }
    const QList<DirEntry> beside = listDirectory(QFileInfo(archive).path());
    KX_FUZZ_CHECK(beside.size() == 2);
    return 0;
}
