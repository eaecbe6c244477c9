// Job files: the bytes of a file split into lines, the lines written back and split again must
// give the same lines; lookups, the readers of values and a change of one key must hold their
// promises on whatever the file holds.
#include "core/codepage.h"
#include "core/jobfile.h"
#include "fuzzcheck.h"

using namespace kx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray raw = fuzz::bytes(data, size);
    const QStringList lines = codepage::splitLines(raw);
    for (const QString &line : lines)
        KX_FUZZ_CHECK(!line.contains(u'\r') && !line.contains(u'\n'));
    const QByteArray written = codepage::joinLines(lines);
    KX_FUZZ_CHECK(codepage::splitLines(written) == lines);
    // Every byte of the code page reads as a character it writes back as.
    KX_FUZZ_CHECK(codepage::encode(codepage::decode(raw)) == raw);

    JobFile job(lines);
    for (const QString &line : lines) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            continue;
        const QString key = line.left(eq);
        const QString value = job.value(key);
        KX_FUZZ_CHECK(job.contains(key) == !value.isEmpty());
        job.flag(key, true);
        job.isTrue(key);
        job.intValue(key, 0);
    }
    scheduleUnit(job);
    KX_FUZZ_CHECK(schedulePeriod(job) >= 1);

    // One key set from the first line's text: the key then answers with the value stored (line
    // breaks as blanks) and every other line stays as it was.
    const QString first = lines.value(0);
    const qsizetype eq = first.indexOf(u'=');
    const QString key = eq > 0 ? first.left(eq) : QStringLiteral("PERYOT");
    if (!fuzz::plainName(key))
        return 0;
    const QString newValue = lines.value(lines.size() - 1) + QStringLiteral("\r\nx");
    QString expected = newValue;
    expected.replace(u'\r', u' ').replace(u'\n', u' ');
    JobFile changed(lines);
    changed.setValue(key, newValue);
    KX_FUZZ_CHECK(changed.value(key) == expected);
    const QStringList after = changed.lines();
    KX_FUZZ_CHECK(after.size() == lines.size() || after.size() == lines.size() + 1);
    qsizetype differing = 0;
    for (qsizetype i = 0; i < lines.size(); ++i)
        differing += after.at(i) != lines.at(i);
    KX_FUZZ_CHECK(differing <= 1);
    changed.setValue(key, QString());
    KX_FUZZ_CHECK(changed.lines().size() == after.size() - 1);
    return 0;
}
