// Tool record files: any file reads as its whole records, each decoding without reading past
// its 380 bytes; a decoded tool encodes to a record that decodes to the same tool.
#include "core/codepage.h"
#include "fuzzcheck.h"
#include "tools/toolrecords.h"

#include <cstring>
#include <memory>

using namespace kx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QString path = fuzz::scratchFile(QStringLiteral("AraclarTanim.Ini"));
    fuzz::writeScratch(path, fuzz::bytes(data, size));

    const ToolFile file = readToolFile(path);
    KX_FUZZ_CHECK(!file.failed);
    KX_FUZZ_CHECK(file.items.size() == qsizetype(size) / kAracRecordSize);

    // A short input is tried as one record too, in a buffer of exactly one record so the
    // address sanitizer sees any read past it.
    TAraclarItems items = file.items;
    if (size < size_t(kAracRecordSize)) {
        auto record = std::make_unique<char[]>(size_t(kAracRecordSize));
        std::memset(record.get(), 0, size_t(kAracRecordSize));
        std::memcpy(record.get(), data, size);
        items.append(decodeToolRecord(record.get()));
    }
    for (qsizetype i = 0; i < items.size(); ++i) {
        const TAraclarItem &item = items.at(i);
        KX_FUZZ_CHECK(item.Caption.size() <= 100 && item.Hint.size() <= 100 && item.ShortCut.size() <= 20
                      && item.FileName.size() <= kAracFileNameMax);
        const QByteArray record = encodeToolRecord(item);
        KX_FUZZ_CHECK(record.size() == kAracRecordSize);
        KX_FUZZ_CHECK(decodeToolRecord(record.constData()) == item);
    }

    // A tool made of the input's text: longer texts are cut to their fields, nothing else changes.
    const QString text = codepage::decode(fuzz::bytes(data, size));
    TAraclarItem made{text, text.mid(7), qint32(size) - 1, text.left(25), text.mid(3)};
    const TAraclarItem back = decodeToolRecord(encodeToolRecord(made).constData());
    KX_FUZZ_CHECK(back.Caption == made.Caption.left(100) && back.Hint == made.Hint.left(100)
                  && back.ImageIndex == made.ImageIndex && back.ShortCut == made.ShortCut.left(20)
                  && back.FileName == made.FileName.left(kAracFileNameMax));
    return 0;
}
