#pragma once
// The tools of the "&Araclar" menu as data: the tool entries, their 380-byte records in
// "AraclarSabit.Ini" and "AraclarTanim.Ini", the three fixed tools of the program, and the
// Turkish letter folding the tool windows apply to their texts before they are translated.

#include <QByteArray>
#include <QList>
#include <QString>

namespace kx {

struct TAraclarItem {
    QString Caption;
    QString Hint;
    qint32 ImageIndex = -1;
    QString ShortCut; // the key combination in text form, e.g. "F10" or "Ctrl+F2"
    QString FileName;

    bool operator==(const TAraclarItem &) const = default;
};
using TAraclarItems = QList<TAraclarItem>;

// One tool record: Caption (length byte + 100), Hint (length byte + 100), 2 unused bytes,
// ImageIndex (int32 little-endian), ShortCut (length byte + 20), FileName (length byte + 150).
// Texts are in the program's code page; longer texts are cut to their field, unused bytes are 0.
constexpr qsizetype kAracRecordSize = 380;
constexpr qsizetype kAracFileNameMax = 150;
QByteArray encodeToolRecord(const TAraclarItem &item);
// `record` holds at least kAracRecordSize bytes. A length byte larger than its field is taken
// as the whole field.
TAraclarItem decodeToolRecord(const char *record);

// A tool file read as far as it could be: the records it holds (size / 380, a partial tail
// ignored). A missing file is no tools and no failure. When the file cannot be opened or a read
// fails part way, `failed` is set with the system's text and the records read before stay.
struct ToolFile {
    TAraclarItems items;
    bool failed = false;
    QString error;
};
ToolFile readToolFile(const QString &path);
// The whole file anew, one record per tool; atomic, throws kx::Error on failure.
void writeToolFile(const QString &path, const TAraclarItems &items);

// The program's three fixed tools, with their programs under `toolsFolder` ("ARACLAR" in the
// program's home folder). Captions and hints are the program's own texts (translated when shown).
TAraclarItems declaredFixedTools(const QString &toolsFolder);
// The folder the fixed tools live in: the user's home folder + "/KORVANEX/ARACLAR/".
QString fixedToolsFolder();

// Turkish letters to plain Latin ones (Ç Ğ Ö Ü İ Ş ç ğ ö ü ı ş to C G O U I S c g o u i s);
// everything else stays.
QString foldTurkish(const QString &text);

} // namespace kx
