// Operation logs: any file splits into rows of seven cells; the cells of a line, written as a
// line again, read back as the same cells (line breaks as blanks).
#include "core/codepage.h"
#include "fuzzcheck.h"
#include "runs/oplog.h"

using namespace kx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QStringList lines = codepage::splitLines(fuzz::bytes(data, size));
    const auto rows = logRowsNewestFirst(lines);
    KX_FUZZ_CHECK(rows.size() == lines.size());

    // The whole input as one line as well: the line breaks inside end up in cells.
    QStringList tried = lines;
    tried.append(codepage::decode(fuzz::bytes(data, size)));
    for (const QString &line : tried) {
        const std::array<QString, 7> cells = parseLogLine(line);
        for (const QString &cell : cells)
            KX_FUZZ_CHECK(!cell.contains(u'|'));
        const LogEntry entry{cells[0], cells[1], cells[2], cells[3], cells[4], cells[5], cells[6]};
        const QString written = formatLogLine(entry);
        KX_FUZZ_CHECK(!written.contains(u'\r') && !written.contains(u'\n'));
        std::array<QString, 7> expected = cells;
        for (QString &cell : expected)
            cell.replace(u'\r', u' ').replace(u'\n', u' ');
        KX_FUZZ_CHECK(parseLogLine(written) == expected);
    }
    return 0;
}
