#pragma once
// Deflate of a whole buffer with libdeflate, in pieces that can be joined: a large file
// is cut into chunks that are compressed side by side, and the raw deflate streams of all but the
// last chunk are made to run on into the next one (their final-block flag cleared and an empty
// stored block appended, so the next stream starts on a byte boundary), as pigz joins its blocks.
// The joined stream is one ordinary deflate stream for any reader.

#include <QByteArray>
#include <cstddef>

struct libdeflate_compressor;

namespace kx {

// The compression level the archive is written with, chosen by measure: the fastest of
// libdeflate's levels whose archives come out no larger than zip -9's on real files (headers,
// documentation, libraries, a database), small repetitive text, logs and random data. Level 6
// is four to six times as fast as its level 9; on small text its deflate data is about 2 %
// larger than zlib's level 9, which the entries' leaner headers more than make up (see the
// README's figures).
constexpr int kDeflateLevel = 6;

// Bytes a probe looks at: data that a fast deflate cannot make smaller there is stored.
constexpr size_t kProbeSize = 64 * 1024;

class ChunkDeflater
{
public:
    explicit ChunkDeflater(int level = kDeflateLevel);
    ~ChunkDeflater();
    ChunkDeflater(const ChunkDeflater &) = delete;
    ChunkDeflater &operator=(const ChunkDeflater &) = delete;

    // Appends the compressed `data` to `out`; with `last` false the result is made joinable.
    // Throws kx::Error when it cannot compress.
    void compress(const char *data, size_t size, bool last, QByteArray &out);

    // Whether a quick deflate of `data` (at most kProbeSize bytes of it) comes out smaller than
    // the data. Incompressible data (random, encrypted, already compressed) does not.
    bool shrinks(const char *data, size_t size);

private:
    libdeflate_compressor *m_compressor;
    libdeflate_compressor *m_probe = nullptr; // level 1, made on first use
    QByteArray m_probeOut;
    QByteArray m_scratch; // output of the walk through the stream
};

// Clears the final-block flag of a complete raw deflate stream and appends an empty stored
// block, so that another stream can follow it. False when the bytes are no complete stream.
// `scratch` is working space, kept between calls.
bool makeDeflateJoinable(QByteArray &stream, qsizetype from, QByteArray &scratch);

} // namespace kx
