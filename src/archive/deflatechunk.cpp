#include "archive/deflatechunk.h"
#include "platform/kxerror.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>

namespace kx {

bool makeDeflateJoinable(QByteArray &stream, qsizetype from, QByteArray &scratch)
{
    const qsizetype size = stream.size() - from;
    if (size <= 0)
        return false;
    auto *data = reinterpret_cast<unsigned char *>(stream.data() + from);
    if (scratch.size() < (1 << 18))
        scratch.resize(1 << 18);
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
        return false;
    z.next_in = data;
    z.avail_in = uInt(size);
    // A raw inflate with Z_BLOCK stops after every block. Where it stops inside the stream, the
    // next block's header follows at once; its first bit says whether it is the final one. Where
    // it stops after the final block, that is where the stream's bits end.
    qint64 finalBit = (data[0] & 1) ? 0 : -1;
    qint64 endBit = -1;
    int rc = Z_OK;
    while (rc != Z_STREAM_END) {
        z.next_out = reinterpret_cast<Bytef *>(scratch.data());
        z.avail_out = uInt(scratch.size());
        rc = inflate(&z, Z_BLOCK);
        if (rc != Z_OK && rc != Z_STREAM_END) {
            inflateEnd(&z);
            return false;
        }
        if (rc == Z_OK && z.avail_in == 0 && z.avail_out != 0 && !(z.data_type & 128)) {
            inflateEnd(&z); // cut short
            return false;
        }
        if (z.data_type & 128) {
            const qint64 bit = qint64(size - z.avail_in) * 8 - (z.data_type & 7);
            if (z.data_type & 64) {
                endBit = bit;
            } else if (finalBit < 0 && bit < qint64(size) * 8 && (data[bit / 8] >> (bit % 8)) & 1) {
                finalBit = bit;
            }
        }
    }
    inflateEnd(&z);
    if (finalBit < 0 || endBit < 0 || (endBit + 7) / 8 != size)
        return false;
    data[finalBit / 8] &= static_cast<unsigned char>(~(1u << (finalBit % 8)));
    const int used = int(endBit % 8); // bits of the last byte the stream uses
    const int spare = used == 0 ? 0 : 8 - used;
    if (used != 0)
        data[size - 1] &= static_cast<unsigned char>((1u << used) - 1);
    // The empty stored block: three zero header bits, zeros to the byte boundary, LEN 0, NLEN
    // 0xFFFF. The header fits the spare bits of the last byte, or takes a byte of its own.
    if (spare < 3)
        stream.append('\0');
    stream.append("\x00\x00\xff\xff", 4);
    return true;
}

ChunkDeflater::ChunkDeflater(int level) : m_compressor(libdeflate_alloc_compressor(level))
{
    if (!m_compressor)
        throw Error(QStringLiteral("Sikistirma baslatilamadi."));
}

ChunkDeflater::~ChunkDeflater()
{
    libdeflate_free_compressor(m_compressor);
    if (m_probe)
        libdeflate_free_compressor(m_probe);
}

bool ChunkDeflater::shrinks(const char *data, size_t size)
{
    size = std::min(size, kProbeSize);
    if (size == 0)
        return false;
    if (!m_probe) {
        m_probe = libdeflate_alloc_compressor(1);
        if (!m_probe)
            throw Error(QStringLiteral("Sikistirma baslatilamadi."));
        m_probeOut.resize(qsizetype(libdeflate_deflate_compress_bound(m_probe, kProbeSize)));
    }
    // Room for size - 1 bytes only: libdeflate gives 0 when the result would not fit.
    return libdeflate_deflate_compress(m_probe, data, size, m_probeOut.data(), size - 1) != 0;
}

void ChunkDeflater::compress(const char *data, size_t size, bool last, QByteArray &out)
{
    const qsizetype from = out.size();
    const size_t bound = libdeflate_deflate_compress_bound(m_compressor, size);
    out.resize(from + qsizetype(bound));
    const size_t n = libdeflate_deflate_compress(m_compressor, data, size, out.data() + from, bound);
    if (n == 0)
        throw Error(QStringLiteral("Sikistirma hatasi."));
    out.resize(from + qsizetype(n));
    if (!last && !makeDeflateJoinable(out, from, m_scratch))
        throw Error(QStringLiteral("Sikistirma hatasi."));
}

} // namespace kx
