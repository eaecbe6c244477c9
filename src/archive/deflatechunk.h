#pragma once
// Level-9 deflate of a whole buffer with libdeflate, in pieces that can be joined: a large file
// is cut into chunks that are compressed side by side, and the raw deflate streams of all but the
// last chunk are made to run on into the next one (their final-block flag cleared and an empty
// stored block appended, so the next stream starts on a byte boundary), as pigz joins its blocks.
// The joined stream is one ordinary deflate stream for any reader.

#include <QByteArray>
#include <cstddef>

struct libdeflate_compressor;

namespace kx {

class ChunkDeflater
{
public:
    ChunkDeflater();
    ~ChunkDeflater();
    ChunkDeflater(const ChunkDeflater &) = delete;
    ChunkDeflater &operator=(const ChunkDeflater &) = delete;

    // Appends the compressed `data` to `out`; with `last` false the result is made joinable.
    // Throws kx::Error when it cannot compress.
    void compress(const char *data, size_t size, bool last, QByteArray &out);

private:
    libdeflate_compressor *m_compressor;
    QByteArray m_scratch; // output of the walk through the stream
};

// Clears the final-block flag of a complete raw deflate stream and appends an empty stored
// block, so that another stream can follow it. False when the bytes are no complete stream.
// `scratch` is working space, kept between calls.
bool makeDeflateJoinable(QByteArray &stream, qsizetype from, QByteArray &scratch);

} // namespace kx
