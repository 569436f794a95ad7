// The thin layer over zlib: an inflate stream released on every way out, and one-shot
// decompression of zlib-format blocks.
#pragma once

#include <cstddef>
#include <vector>

struct z_stream_s;

namespace tarnwick {

class TZAInflater {
public:
    // raw: deflate data without the zlib header and trailer (ZIP items).
    explicit TZAInflater(bool raw);
    ~TZAInflater();
    TZAInflater(const TZAInflater&) = delete;
    TZAInflater& operator=(const TZAInflater&) = delete;

    bool Ok() const { return ok_; }
    void SetInput(const unsigned char* data, std::size_t size);
    std::size_t InputLeft() const;
    // Inflates into output; returns the bytes produced, or -1 on a data error. Finished() turns
    // true at the end of the deflate stream.
    long long Inflate(unsigned char* output, std::size_t capacity);
    bool Finished() const { return finished_; }

private:
    z_stream_s* stream_;
    bool ok_ = false;
    bool finished_ = false;
};

// A raw deflate stream (no zlib header, no Adler-32 trailer: what ZIP items hold), ended on
// every way out. Each call compresses one whole input block and appends the output.
class TZADeflater {
public:
    explicit TZADeflater(int level);
    ~TZADeflater();
    TZADeflater(const TZADeflater&) = delete;
    TZADeflater& operator=(const TZADeflater&) = delete;

    bool Ok() const { return ok_; }
    // finish: the last block (Z_FINISH), else a sync flush. Returns false on a zlib error.
    bool Deflate(const unsigned char* data, std::size_t size, bool finish, std::vector<unsigned char>& out);

private:
    z_stream_s* stream_;
    bool ok_ = false;
};

// Decompresses one zlib-format block that must give exactly expectedSize bytes.
bool ZAUncompressBlock(const unsigned char* data, std::size_t size, std::size_t expectedSize, std::vector<unsigned char>& out);

} // namespace tarnwick
