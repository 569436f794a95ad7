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

// Decompresses one zlib-format block that must give exactly expectedSize bytes.
bool ZAUncompressBlock(const unsigned char* data, std::size_t size, std::size_t expectedSize, std::vector<unsigned char>& out);

} // namespace tarnwick
