#include "tools/toolrecords.h"
#include "core/codepage.h"
#include "platform/files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <cstring>

namespace kx {

namespace {

struct Field {
    qsizetype offset;
    qsizetype length; // text bytes after the length byte
};
constexpr Field kCaption{0, 100};
constexpr Field kHint{101, 100};
constexpr qsizetype kImageIndexOffset = 204;
constexpr Field kShortCut{208, 20};
constexpr Field kFileName{229, kAracFileNameMax};

void putText(QByteArray &record, Field field, const QString &text)
{
    const QByteArray bytes = codepage::encode(text).left(field.length);
    record[field.offset] = char(bytes.size());
    std::memcpy(record.data() + field.offset + 1, bytes.constData(), size_t(bytes.size()));
}

QString takeText(const char *record, Field field)
{
    const qsizetype length = std::min<qsizetype>(static_cast<unsigned char>(record[field.offset]), field.length);
    return codepage::decode(record + field.offset + 1, length);
}

} // namespace

QByteArray encodeToolRecord(const TAraclarItem &item)
{
    QByteArray record(kAracRecordSize, '\0');
    putText(record, kCaption, item.Caption);
    putText(record, kHint, item.Hint);
    qToLittleEndian<qint32>(item.ImageIndex, record.data() + kImageIndexOffset);
    putText(record, kShortCut, item.ShortCut);
    putText(record, kFileName, item.FileName);
    return record;
}

TAraclarItem decodeToolRecord(const char *record)
{
    TAraclarItem item;
    item.Caption = takeText(record, kCaption);
    item.Hint = takeText(record, kHint);
    item.ImageIndex = qFromLittleEndian<qint32>(record + kImageIndexOffset);
    item.ShortCut = takeText(record, kShortCut);
    item.FileName = takeText(record, kFileName);
    return item;
}

ToolFile readToolFile(const QString &path)
{
    ToolFile result;
    if (!QFileInfo::exists(path))
        return result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.failed = true;
        result.error = file.errorString();
        return result;
    }
    const qint64 count = file.size() / kAracRecordSize;
    char record[kAracRecordSize];
    for (qint64 i = 0; i < count; ++i) {
        if (file.read(record, kAracRecordSize) != kAracRecordSize) {
            // Cut short or failed: what was read stays, the file too.
            result.failed = true;
            result.error = file.errorString();
            break;
        }
        result.items.append(decodeToolRecord(record));
    }
    return result;
}

void writeToolFile(const QString &path, const TAraclarItems &items)
{
    QByteArray data;
    data.reserve(items.size() * kAracRecordSize);
    for (const TAraclarItem &item : items)
        data += encodeToolRecord(item);
    writeWholeFile(path, data);
}

QString fixedToolsFolder()
{
    return QDir::homePath() + QStringLiteral("/KORVANEX/ARACLAR/");
}

TAraclarItems declaredFixedTools(const QString &toolsFolder)
{
    // The maker's own tool programs, in this order; the third has no program of its own.
    return {
        {QStringLiteral("Veritabani Bakim Araci"), QStringLiteral("Firebird veritabanlarini denetler ve onarir"), 32,
         QStringLiteral("F10"), toolsFolder + QStringLiteral("kxvtbakim")},
        {QStringLiteral("Uzak Destek Araci"), QStringLiteral("Destek ekibimizin bilgisayariniza baglanmasini saglar"), 15,
         QStringLiteral("F11"), toolsFolder + QStringLiteral("kxdestek")},
        {QStringLiteral("Mesajlasma Araci"), QStringLiteral("Yedekleme bildirimlerini alan mesajlasma programi"), 11,
         QStringLiteral("F12"), QString()},
    };
}

QString foldTurkish(const QString &text)
{
    static constexpr std::pair<char16_t, char16_t> kFolds[] = {
        {u'Ç', u'C'}, {u'Ğ', u'G'}, {u'Ö', u'O'}, {u'Ü', u'U'}, {u'İ', u'I'}, {u'Ş', u'S'},
        {u'ç', u'c'}, {u'ğ', u'g'}, {u'ö', u'o'}, {u'ü', u'u'}, {u'ı', u'i'}, {u'ş', u's'},
    };
    QString folded = text;
    for (QChar &c : folded)
        for (const auto &[from, to] : kFolds)
            if (c.unicode() == from) {
                c = QChar(to);
                break;
            }
    return folded;
}

} // namespace kx
