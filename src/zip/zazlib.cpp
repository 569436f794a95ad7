// Inflate streams and one-shot decompression over zlib.
#include "zip/zazlib.h"

#include <zlib.h>

#include <climits>

namespace tarnwick {

TZAInflater::TZAInflater(bool raw) : stream_(new z_stream{}) {
    ok_ = inflateInit2(stream_, raw ? -MAX_WBITS : MAX_WBITS) == Z_OK;
}

TZAInflater::~TZAInflater() {
    if (ok_) inflateEnd(stream_);
    delete stream_;
}

void TZAInflater::SetInput(const unsigned char* data, std::size_t size) {
    stream_->next_in = const_cast<Bytef*>(data);
    stream_->avail_in = static_cast<uInt>(size);
}

std::size_t TZAInflater::InputLeft() const { return stream_->avail_in; }

long long TZAInflater::Inflate(unsigned char* output, std::size_t capacity) {
    if (finished_) return 0;
    stream_->next_out = output;
    stream_->avail_out = static_cast<uInt>(capacity > UINT_MAX ? UINT_MAX : capacity);
    const uInt before = stream_->avail_out;
    const int r = inflate(stream_, Z_NO_FLUSH);
    if (r == Z_STREAM_END) finished_ = true;
    // Z_BUF_ERROR only says no progress was possible: the caller brings more input or room.
    if (r != Z_OK && r != Z_STREAM_END && r != Z_BUF_ERROR) return -1;
    return static_cast<long long>(before - stream_->avail_out);
}

// Raw deflate gives the very bytes a zlib-format stream holds between its 2-byte header and its
// Adler-32 trailer, so nothing has to be cut off afterwards.
TZADeflater::TZADeflater(int level) : stream_(new z_stream{}) {
    ok_ = deflateInit2(stream_, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
}

TZADeflater::~TZADeflater() {
    if (ok_) deflateEnd(stream_);
    delete stream_;
}

bool TZADeflater::Deflate(const unsigned char* data, std::size_t size, bool finish, std::vector<unsigned char>& out) {
    if (!ok_) return false;
    stream_->next_in = const_cast<Bytef*>(data);
    stream_->avail_in = static_cast<uInt>(size);
    const int flush = finish ? Z_FINISH : Z_SYNC_FLUSH;
    // Room for the block as the writer sizes it: n + n/10 + 267, low byte cleared; grown when
    // deflate still has output.
    std::size_t room = (size + size / 10 + 267) & ~static_cast<std::size_t>(0xFF);
    for (;;) {
        const std::size_t at = out.size();
        out.resize(at + room);
        stream_->next_out = out.data() + at;
        stream_->avail_out = static_cast<uInt>(room);
        const int r = deflate(stream_, flush);
        out.resize(at + room - stream_->avail_out);
        if (r == Z_STREAM_ERROR) return false;
        if (finish ? r == Z_STREAM_END : (stream_->avail_in == 0 && stream_->avail_out != 0)) return true;
        if (r != Z_OK && r != Z_BUF_ERROR) return false;
        room = 65536;
    }
}

bool ZAUncompressBlock(const unsigned char* data, std::size_t size, std::size_t expectedSize, std::vector<unsigned char>& out) {
    out.resize(expectedSize);
    uLongf length = static_cast<uLongf>(expectedSize);
    const int r = uncompress(out.data(), &length, data, static_cast<uLong>(size));
    return r == Z_OK && length == expectedSize;
}

} // namespace tarnwick
