// Language files: the byte-level lookup, message translation and the key forms, the language list.
#include "testfiles.h"
#include "core/codepage.h"
#include "i18n/filesearch.h"
#include "i18n/translate.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace kx;
using kxtest::contents;
using kxtest::put;

namespace {

// The reference the scanner must agree with: first offset where every byte matches after folding.
qsizetype naiveFind(const QByteArray &hay, const QByteArray &needle, bool caseSensitive)
{
    auto fold = [&](char c) {
        return caseSensitive ? (unsigned char)c : codepage::toLowerByte((unsigned char)c);
    };
    if (needle.isEmpty())
        return -1;
    for (qsizetype i = 0; i + needle.size() <= hay.size(); ++i) {
        qsizetype j = 0;
        while (j < needle.size() && fold(hay[i + j]) == fold(needle[j]))
            ++j;
        if (j == needle.size())
            return i;
    }
    return -1;
}

// What a lookup must answer, by brute force: the bytes after the first LF + key + separator up to
// the next CR or the end; a null array when the pattern is nowhere.
QByteArray referenceValue(const QByteArray &file, const QByteArray &key, char separator, bool caseSensitive)
{
    const QByteArray pattern = '\n' + key + separator;
    const qsizetype at = naiveFind(file, pattern, caseSensitive);
    if (at < 0)
        return QByteArray();
    const qsizetype from = at + pattern.size();
    const qsizetype cr = file.indexOf('\r', from);
    const QByteArray value = file.mid(from, cr < 0 ? -1 : cr - from);
    return value.isNull() ? QByteArray("") : value;
}

} // namespace

class TestTranslate : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_files = 0;

    // A fresh file each time, so a translator never sees a file rewritten under its mapping.
    QString languageFile(const QByteArray &bytes)
    {
        const QString p = m_dir.filePath(QStringLiteral("lang%1.lng").arg(++m_files));
        put(p, bytes);
        return p;
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void lookupRules_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected"); // with fallback to the key
        QTest::addColumn<QString>("raw");      // without fallback

        QTest::newRow("first line never matched") << QByteArray("Dosya=File\r\n") << "Dosya" << "Dosya" << "";
        QTest::newRow("second line matched") << QByteArray("Dosya=Header\r\nDosya=File\r\n") << "Dosya" << "File"
                                             << "File";
        QTest::newRow("earlier duplicate wins") << QByteArray("h\r\nA=one\r\nA=two\r\n") << "A" << "one" << "one";
        QTest::newRow("capitals match mixed case")
            << QByteArray("h\r\nDOSYA BULUNAMADI=Not found\r\n") << "Dosya Bulunamadi" << "Not found" << "Not found";
        QTest::newRow("capital Turkish letter in file") << QByteArray("h\r\n\xDE" "UBE=Branch\r\n") << "şube"
                                                        << "Branch" << "Branch";
        QTest::newRow("small Turkish letter in file") << QByteArray("h\r\n\xFE" "ube=Branch\r\n") << "ŞUBE"
                                                      << "Branch" << "Branch";
        QTest::newRow("value decoded from the code page")
            << QByteArray("h\r\nAraclar=Ara\xE7lar \xDD\xFE\r\n") << "Araclar" << "Araçlar İş" << "Araçlar İş";
        // The first match decides; an empty value there is not skipped for a later one.
        QTest::newRow("empty value") << QByteArray("h\r\nA=\r\nA=later\r\n") << "A" << "A" << "";
        QTest::newRow("value holding equals") << QByteArray("h\r\nA=b=c\r\n") << "A" << "b=c" << "b=c";
        QTest::newRow("key holding equals") << QByteArray("h\r\nA=b=c\r\n") << "a=B" << "c" << "c";
        QTest::newRow("key holding a CR") << QByteArray("h\r\nA\rB=c\r\n") << "a\rb" << "c" << "c";
        QTest::newRow("key over two lines") << QByteArray("h\r\nA\nB=c\r\n") << "A\nB" << "c" << "c";
        QTest::newRow("key must start a line") << QByteArray("h\r\nXA=1\r\nA=2\r\n") << "A" << "2" << "2";
        QTest::newRow("key must be followed by equals") << QByteArray("h\r\nAB=1\r\nA=2\r\n") << "A" << "2" << "2";
        QTest::newRow("blanks are part of the key") << QByteArray("h\r\nA =1\r\n") << "A" << "A" << "";
        QTest::newRow("lone LF does not end a value")
            << QByteArray("h\nA=one\nB=two\n") << "A" << "one\nB=two\n" << "one\nB=two\n";
        QTest::newRow("LF file value stops at next CR")
            << QByteArray("h\nA=one\nB=two\r\nC=3") << "A" << "one\nB=two" << "one\nB=two";
        QTest::newRow("CR-only file never matches") << QByteArray("h\rA=1\rB=2\r") << "B" << "B" << "";
        QTest::newRow("empty key matches a line starting with equals")
            << QByteArray("h\r\nx=y\r\n=blank\r\n") << "" << "blank" << "blank";
        QTest::newRow("empty key without such a line") << QByteArray("h\r\nx=y\r\n") << "" << "" << "";
        QTest::newRow("match at the very end, no CR") << QByteArray("h\r\nA=1\r\nZZ=last") << "ZZ" << "last"
                                                      << "last";
        QTest::newRow("pattern ends the file") << QByteArray("h\r\nZZ=") << "ZZ" << "ZZ" << "";
        QTest::newRow("key longer than the file") << QByteArray("h\r\nA=1") << "Cok uzun bir anahtar metni"
                                                  << "Cok uzun bir anahtar metni" << "";
    }

    void lookupRules()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        QFETCH(QString, raw);
        TFileSearch tr;
        tr.setFilename(languageFile(file));
        QVERIFY(tr.hasImage());
        QCOMPARE(tr.lookup(key, true), expected);
        QCOMPARE(tr.DonusDegeri, expected);
        QCOMPARE(tr.lookup(key, false), raw);
    }

    void missingOrEmptyFileTranslatesNothing()
    {
        const QString good = languageFile("h\r\nDosya=File\r\n");
        const QString empty = languageFile("");
        const QStringList unusable = {m_dir.filePath(QStringLiteral("missing.lng")), empty, m_dir.path()};
        for (const QString &path : unusable) {
            TFileSearch tr;
            // A translator that held a file before must forget it, not keep answering from it.
            tr.setFilename(good);
            QCOMPARE(tr.lookup(QStringLiteral("Dosya"), true), QStringLiteral("File"));
            tr.setFilename(path);
            QVERIFY2(!tr.hasImage(), qPrintable(path));
            QCOMPARE(tr.lookup(QStringLiteral("Dosya"), true), QStringLiteral("Dosya"));
            QCOMPARE(tr.lookup(QStringLiteral("Dosya"), false), QString());
            QCOMPARE(tr.find("\nDosya="), qsizetype(-1));
            QCOMPARE(CompDilCevirMsg(tr, QStringLiteral("Satir bir\nSatir iki")),
                     QStringLiteral("Satir bir\r\nSatir iki"));
        }
    }

    void scanAgreesWithNaiveSearch()
    {
        // A small alphabet full of letters that fold onto each other gives many near-misses,
        // which is where a wrong shift table skips over a real match.
        const QByteArray alphabet("aAbB\n=\xDE\xFE\xDD" "iI\r");
        QRandomGenerator rng(20240611);
        TFileSearch tr;
        int hits = 0;
        for (int round = 0; round < 150; ++round) {
            QByteArray hay;
            const int size = 1 + rng.bounded(round < 20 ? 12 : 300);
            for (int i = 0; i < size; ++i)
                hay.append(alphabet.at(rng.bounded(int(alphabet.size()))));
            tr.setFilename(languageFile(hay));
            QVERIFY(tr.hasImage());
            for (int k = 0; k < 60; ++k) {
                QByteArray needle;
                const int len = 1 + rng.bounded(14);
                if (k % 2 == 0 && len <= hay.size()) {
                    // A piece of the file, perhaps with one byte changed: a hit or a near-miss.
                    needle = hay.mid(rng.bounded(int(hay.size() - len + 1)), len);
                    if (k % 4 == 0)
                        needle[rng.bounded(len)] = alphabet.at(rng.bounded(int(alphabet.size())));
                } else {
                    for (int i = 0; i < len; ++i)
                        needle.append(alphabet.at(rng.bounded(int(alphabet.size()))));
                }
                for (bool caseSensitive : {false, true}) {
                    tr.CaseSensitive = caseSensitive;
                    const qsizetype expected = naiveFind(hay, needle, caseSensitive);
                    hits += expected >= 0;
                    const qsizetype found = tr.find(needle);
                    QVERIFY2(found == expected,
                             qPrintable(QStringLiteral("round %1, case-sensitive %2: %3 in %4 found at %5, not %6")
                                            .arg(round)
                                            .arg(int(caseSensitive))
                                            .arg(QString::fromLatin1(needle.toHex(' ')))
                                            .arg(QString::fromLatin1(hay.toHex(' ')))
                                            .arg(found)
                                            .arg(expected)));
                }
            }
        }
        QVERIFY(hits > 1000); // the comparison must not be dominated by misses
    }

    // The index answers every key exactly as a search of the whole file for LF + key + "=" would:
    // random files full of separators, line ends and letters that fold onto each other, keys
    // taken from them and keys made up.
    void lookupAgreesWithASearchOfTheFile()
    {
        const QByteArray alphabet("aAbB\n\n==\r\xDE\xFE\xDD" "iIx");
        QRandomGenerator rng(20261209);
        TFileSearch tr;
        int found = 0;
        for (int round = 0; round < 120; ++round) {
            QByteArray file;
            const int size = 1 + rng.bounded(round < 20 ? 16 : 400);
            for (int i = 0; i < size; ++i)
                file.append(alphabet.at(rng.bounded(int(alphabet.size()))));
            tr.setFilename(languageFile(file));
            for (int k = 0; k < 40; ++k) {
                QByteArray key;
                const qsizetype lf = file.indexOf('\n', rng.bounded(int(file.size())));
                if (k % 2 == 0 && lf >= 0) {
                    // What follows a line feed, up to some separator or a little beyond it.
                    key = file.mid(lf + 1, rng.bounded(12));
                } else {
                    const int len = rng.bounded(6);
                    for (int i = 0; i < len; ++i)
                        key.append(alphabet.at(rng.bounded(int(alphabet.size()))));
                }
                if (k % 3 == 0)
                    key = key.toUpper();
                // The separator mostly "=", now and then one that folds, ends lines or ends values.
                const char separator = "====A\n\r"[k % 7];
                tr.Ayirac = separator;
                for (bool caseSensitive : {false, true}) {
                    tr.CaseSensitive = caseSensitive;
                    const QByteArray expected = referenceValue(file, key, separator, caseSensitive);
                    found += !expected.isNull();
                    const QString keyText = codepage::decode(key);
                    QVERIFY2(tr.lookup(keyText, false) == codepage::decode(expected),
                             qPrintable(QStringLiteral("key %1 in %2, case-sensitive %3, separator %4")
                                            .arg(QString::fromLatin1(key.toHex(' ')), QString::fromLatin1(file.toHex(' ')))
                                            .arg(int(caseSensitive))
                                            .arg(int(separator))));
                }
            }
        }
        QVERIFY(found > 500);
    }

    // Files where a shortcut in the index would part from a search of the whole file. Each row
    // is checked three ways: the stated answer, the brute-force reference, and the scan (find)
    // against the indexed lookup.
    void indexAgreesWithScan_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("key"); // in the code page
        QTest::addColumn<char>("separator");
        QTest::addColumn<bool>("caseSensitive");
        QTest::addColumn<bool>("matches");
        QTest::addColumn<QByteArray>("value");

        auto row = [](const char *name, const QByteArray &file, const QByteArray &key, bool caseSensitive,
                      bool matches, const QByteArray &value, char separator = '=') {
            QTest::newRow(name) << file << key << separator << caseSensitive << matches << value;
        };
        const QByteArray twice("h\r\nKey=first\r\nKEY=second\r\nkey=third\r\n");
        row("repeated key, case-blind: first wins", twice, "KEY", false, true, "first");
        row("repeated key, case-sensitive: exact one", twice, "KEY", true, true, "second");
        row("repeated key, case-sensitive: absent spelling", twice, "kEY", true, false, "");
        const QByteArray abc("h\r\na=b=c\r\n");
        row("a=b=c by a", abc, "a", false, true, "b=c");
        row("a=b=c by a=b", abc, "A=B", false, true, "c");
        row("a=b=c by a=b, case-sensitive", abc, "A=B", true, false, "");
        row("a=b=c: value text is no key", abc, "b", false, false, "");
        row("double separator", "h\na==x\r\n", "a=", false, true, "x");
        row("double separator, first one", "h\na==x\r\n", "a", false, true, "=x");
        const QByteArray turkish("h\r\n\xDE" "ube=Branch\r\nIPTAL=Cancel\r\n");
        row("small s-cedilla finds capital", turkish, "\xFE" "UBE", false, true, "Branch");
        row("small s-cedilla, case-sensitive", turkish, "\xFE" "UBE", true, false, "");
        row("capital s-cedilla, case-sensitive", turkish, "\xDE" "ube", true, true, "Branch");
        // The table folds I onto i only; dotted capital and dotless small stay letters of their own.
        row("ASCII capital I folds to i", turkish, "iptal", false, true, "Cancel");
        row("dotted capital I stays apart", turkish, "\xDD" "ptal", false, false, "");
        row("dotless small i stays apart", turkish, "\xFD" "ptal", false, false, "");
        const QByteArray lf("h\nA=one\nB=two\n");
        row("lone LF does not end a value", lf, "a", false, true, "one\nB=two\n");
        row("later line of an LF file", lf, "B", true, true, "two\n");
        row("CR inside a key", "h\r\nA\rB=c\r\n", "a\rb", false, true, "c");
        row("key over two lines (scan)", "h\r\nA\nB=c\r\nA=d\r\n", "a\nb", false, true, "c");
        row("second half of such a key", "h\r\nA\nB=c\r\n", "b", false, true, "c");
        row("empty key, line starting with separator", "h\r\nx=y\r\n=blank\r\n", "", false, true, "blank");
        row("empty key, no such line", "h\r\nx=y\r\n", "", true, false, "");
        row("first line never matches", "A=1\r\nB=2\r\n", "A", false, false, "");
        row("second line does", "A=1\r\nB=2\r\n", "b", false, true, "2");
        row("value at the end without CR", "h\r\nA=1\r\nZZ=last", "zz", false, true, "last");
        row("separator ends the file", "h\r\nZZ=", "ZZ", true, true, "");
        row("empty first value is not skipped", "h\r\nA=\r\nA=x\r\n", "A", false, true, "");
        row("key longer than the file", "h\nA=1", "AAAAAAAA", false, false, "");
        row("key of separators", "h\n" + QByteArray(3000, '=') + "\r\n", QByteArray(10, '='), false, true,
            QByteArray(2989, '='));
        // The separator is compared through the fold table like every byte of the pattern.
        row("letter separator, other case", "h\r\nkeyXvalue\r\n", "KEY", false, true, "value", 'x');
        row("letter separator, case-sensitive", "h\r\nkeyXvalue\r\n", "key", true, false, "", 'x');
        row("CR as separator", "h\nA\rB\r\n", "a", false, true, "B", '\r');
        row("LF as separator", "h\nkey\nvalue\r\n", "KEY", false, true, "value", '\n');
        row("LF as separator, next line", "h\nkey\nvalue\nmore\r\n", "value", false, true, "more", '\n');
    }

    void indexAgreesWithScan()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, key);
        QFETCH(char, separator);
        QFETCH(bool, caseSensitive);
        QFETCH(bool, matches);
        QFETCH(QByteArray, value);

        const QByteArray reference = referenceValue(file, key, separator, caseSensitive);
        QCOMPARE(!reference.isNull(), matches);
        if (matches)
            QCOMPARE(reference, value);

        TFileSearch tr;
        tr.setFilename(languageFile(file));
        QVERIFY(tr.hasImage());
        tr.CaseSensitive = caseSensitive;
        tr.Ayirac = separator;
        const QString keyText = codepage::decode(key);
        QCOMPARE(tr.lookup(keyText, false), codepage::decode(value));
        QCOMPARE(tr.DonusDegeri, codepage::decode(value));
        QCOMPARE(tr.lookup(keyText, true), value.isEmpty() ? keyText : codepage::decode(value));

        const QByteArray pattern = '\n' + key + separator;
        const qsizetype at = tr.find(pattern);
        QCOMPARE(at >= 0, matches);
    }

    // Lines of many separators, each repeated: every key of the repeat is known from the line
    // before, and finding that must not compare each key from its start again (that took minutes
    // for a file of a megabyte).
    void repeatedSeparatorLinesIndex_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("value");
        const QByteArray equals(400000, '=');
        QTest::newRow("the same line twice") << "h\n" + equals + "\r\n" + equals + "\r\n" << QByteArray(10, '=')
                                             << QByteArray(399989, '=');
        const QByteArray pairs = QByteArray("a=").repeated(200000);
        QTest::newRow("a=a=... three times") << "h\n" + pairs + "\n" + pairs + "\n" + pairs << QByteArray("A=a")
                                              << pairs.mid(4) + '\n' + pairs + '\n' + pairs;
    }

    void repeatedSeparatorLinesIndex()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, value);
        // The earlier index compared every key of a repeated line from its start: these files
        // took minutes, and the test's time-out ends such a run.
        TFileSearch tr;
        tr.setFilename(languageFile(file));
        QCOMPARE(tr.lookup(codepage::decode(key), false), codepage::decode(value));
    }

    // The index is made for one case mode and one separator; a change of either after loading
    // must be seen by the next lookup, and going back must give the first answers again.
    void indexFollowsCaseAndSeparatorChanges()
    {
        TFileSearch tr;
        tr.setFilename(languageFile("h\r\nkey:colon=equals\r\nKEY=upper\r\nkey=lower\r\nkey:colon\r\n"));
        struct Step
        {
            bool caseSensitive;
            char separator;
            const char *key;
            const char *expected;
        };
        const Step steps[] = {
            {false, '=', "KEY", "upper"},       {true, '=', "key", "lower"},   {true, '=', "KEY", "upper"},
            {false, ':', "KEY", "colon=equals"}, {false, '=', "Key:Colon", "equals"},
            {true, ':', "KEY", ""},              {true, ':', "key", "colon=equals"},
            {false, '=', "key", "upper"},
        };
        for (const Step &s : steps) {
            tr.CaseSensitive = s.caseSensitive;
            tr.Ayirac = s.separator;
            QCOMPARE(tr.lookup(QLatin1String(s.key), false), QLatin1String(s.expected));
        }
    }

    // The file is read once: cut short or emptied on disk afterwards, it is still answered from
    // what was read, and nothing breaks.
    void fileChangedOnDiskAfterLoading()
    {
        QByteArray text("h\r\n");
        for (int i = 0; i < 3000; ++i)
            text += "Mesaj " + QByteArray::number(i) + "=Message " + QByteArray::number(i) + "\r\n";
        const QString path = languageFile(text);
        TFileSearch tr;
        tr.setFilename(path);
        QFile f(path);
        QVERIFY(f.resize(text.size() / 2));
        QCOMPARE(tr.lookup(QStringLiteral("Mesaj 2999"), true), QStringLiteral("Message 2999"));
        QVERIFY(f.resize(0));
        QCOMPARE(tr.lookup(QStringLiteral("Mesaj 1"), true), QStringLiteral("Message 1"));
        QCOMPARE(tr.find("\nMesaj 2000="), qsizetype(text.indexOf("\nMesaj 2000=")));
    }

    void messageTranslation_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");

        QTest::newRow("plain") << "Dosya bulunamadi" << "File not found";
        QTest::newRow("two lines CR LF") << "Satir bir\r\nSatir iki" << "Line one\r\nLine two";
        QTest::newRow("two lines LF") << "Satir bir\nSatir iki" << "Line one\r\nLine two";
        QTest::newRow("two lines CR") << "Satir bir\rSatir iki" << "Line one\r\nLine two";
        QTest::newRow("untranslated two lines") << "Yok bir\nYok iki" << "Yok bir\r\nYok iki";
        QTest::newRow("apostrophe kept in key") << "Can't" << "message form";
        QTest::newRow("equals kept in key") << "x=y" << "message equals";
        QTest::newRow("first ampersand dropped") << "&Kaydet" << "Save";
        QTest::newRow("only the first ampersand") << "A&B&C" << "abc";
        QTest::newRow("no entry gives the key") << "&Yok" << "Yok";
    }

    void messageTranslation()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        TFileSearch tr;
        tr.setFilename(languageFile("Kovanci language\r\n"
                                    "Dosya bulunamadi=File not found\r\n"
                                    "Satir bir^MSatir iki=Line one^MLine two\r\n"
                                    "Can^Tt=caption form\r\n"
                                    "Can't=message form\r\n"
                                    "x^Ey=caption equals\r\n"
                                    "x=y=message equals\r\n"
                                    "Kaydet=Save\r\n"
                                    "ABC=wrong\r\n"
                                    "AB&C=abc\r\n"));
        QCOMPARE(CompDilCevirMsg(tr, text), expected);
    }

    void keyForms()
    {
        QCOMPARE(messageKeyForm(QStringLiteral("a\r\nb\rc\nd'e=&f&")), QStringLiteral("a^Mb^Mc^Md'e=f&"));
        QCOMPARE(windowKeyForm(QStringLiteral("a\r\nb\rc\nd'e=&f&")), QStringLiteral("a^Mb^Mc^Md^Te^Ef&"));
        QCOMPARE(windowValueForm(QStringLiteral("a^Mb^Tc^Ed")), QStringLiteral("a\r\nb'c=d"));
    }

    // The settings offer the program's own Turkish with the files, once, in the list's order.
    void languageChoices_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("offered");
        QTest::newRow("no files") << QStringList() << QStringList{"turkish"};
        QTest::newRow("english") << QStringList{"english.lng"} << QStringList{"english", "turkish"};
        QTest::newRow("before and after") << QStringList{"zaza.lng", "Francais.lng", "english.lng"}
                                          << QStringList{"english", "Francais", "turkish", "zaza"};
        QTest::newRow("a file of its own") << QStringList{"Turkish.lng", "english.lng"} << QStringList{"english", "Turkish"};
    }
    void languageChoices()
    {
        QFETCH(QStringList, files);
        QTemporaryDir program;
        QVERIFY(QDir(program.path()).mkpath("Language"));
        for (const QString &f : files)
            put(program.filePath("Language/" + f), "h\r\n");
        QTEST(kx::languageChoices(program.path()), "offered");
    }

    void languageList()
    {
        QTemporaryDir program;
        QVERIFY(program.isValid());
        QCOMPARE(kx::languageList(program.path()), QStringList());

        QDir dir(program.path());
        QVERIFY(dir.mkpath(QStringLiteral("Language/sub")));
        QVERIFY(dir.mkpath(QStringLiteral("Language/folder.lng")));
        for (const char *name : {"turkish.lng", "english.lng", "Francais.LNG", "de.utf8.lng", "empty.lng", "EMPTY.lng",
                                 "Empty.utf8.lng", "notes.txt", "english.lng.bak", "lng", "sub/inner.lng"})
            put(program.filePath(QStringLiteral("Language/") + QLatin1String(name)), "h\r\n");

        const QStringList expected = {QStringLiteral("de"), QStringLiteral("english"), QStringLiteral("Francais"),
                                      QStringLiteral("turkish")};
        QCOMPARE(kx::languageList(program.path()), expected);
        QCOMPARE(kx::languageList(program.path() + u'/'), expected);

        QCOMPARE(languageFilePath(program.path(), QStringLiteral("english")),
                 program.path() + QStringLiteral("/Language/english.lng"));
        QCOMPARE(languageFilePath(program.path() + u'/', QStringLiteral("english")),
                 program.path() + QStringLiteral("/Language/english.lng"));
    }
};

QTEST_MAIN(TestTranslate)
#include "tst_translate.moc"
