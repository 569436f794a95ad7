// Stored and deflated item data, decoded step by step into a sink; and the worker that decodes
// an extraction batch's next item while the current one is written.
#include "zip/zadecode.h"

#ifndef TARNWICK_ZIP_NO_DECODE_AHEAD
#include <libdeflate.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstring>

#include "zip/zaconst.h"
#include "zip/zacrypt.h"
#include "zip/zazlib.h"

namespace tarnwick {
namespace {

constexpr std::int64_t kInputBlock = 1048576;
constexpr std::int64_t kSmallestBlock = 512;
// Output is handed out whenever this much has been inflated, so memory stays bounded however
// well the data compresses (a 1 GiB run of zeros is about 1 MiB deflated).
constexpr std::size_t kOutputChunk = 1048576;

// Lends a buffer kept from the last item: a fresh megabyte to clear and fault in for every item
// costs more than decoding a small one. A nested call finds the spare empty and grows its own;
// whichever returns last leaves its memory for the next item.
class TReusedBuffer {
public:
    explicit TReusedBuffer(std::vector<unsigned char>& spare) : spare_(spare), bytes_(std::move(spare)) {}
    ~TReusedBuffer() { spare_ = std::move(bytes_); }
    TReusedBuffer(const TReusedBuffer&) = delete;
    TReusedBuffer& operator=(const TReusedBuffer&) = delete;
    // At least n bytes; what they hold is left over from earlier use.
    unsigned char* Get(std::size_t n) {
        if (bytes_.size() < n) bytes_.resize(n);
        return bytes_.data();
    }

private:
    std::vector<unsigned char>& spare_;
    std::vector<unsigned char> bytes_;
};

std::int64_t estimateOutput(std::uint32_t uncompressed32, std::uint32_t compressed32, std::int64_t n) {
    const std::int64_t ratio = (compressed32 == 0 ? 0 : uncompressed32 / compressed32) + 1;
    std::int64_t e = ratio * (n + n / 2 + 267);
    e &= ~static_cast<std::int64_t>(0xFF);
    if (e < 1) return 1;
    return static_cast<std::int64_t>(std::exp2(std::round(std::log2(static_cast<double>(e)))));
}

#ifndef TARNWICK_ZIP_NO_DECODE_AHEAD
// Writes down every step, the output in one buffer, for a replay on the caller's thread.
class TRecordingSink final : public TZADecodeSink {
public:
    explicit TRecordingSink(TZADecodedItem& decoded) : decoded_(decoded) {}
    bool BeforeBlock(std::int64_t consumed) override {
        decoded_.steps.push_back({true, consumed, 0, 0, 0});
        return true;
    }
    bool Output(const unsigned char* bytes, std::size_t count, std::uint32_t crcAfter) override {
        const std::size_t offset = decoded_.bytes.size();
        decoded_.bytes.insert(decoded_.bytes.end(), bytes, bytes + count);
        decoded_.steps.push_back({false, 0, offset, count, crcAfter});
        return true;
    }

private:
    TZADecodedItem& decoded_;
};

#endif

} // namespace

bool decodeStoredOrDeflatedData(const TZADecodeRead& read, const TDirItem& item, std::int64_t compressedSize,
                                std::uint64_t memoryShare, std::int64_t* keys, TZADecodeSink& sink,
                                std::vector<unsigned char>& spareInput, std::vector<unsigned char>& spareOutput,
                                std::int64_t& written, std::uint32_t& crc) {
    const bool deflated = item.CompressionMethod == 8;
    TZAInflater inflater(true);
    if (deflated && !inflater.Ok()) return false;
    TReusedBuffer inputBuffer(spareInput), outputBuffer(spareOutput);
    unsigned char* const input =
        inputBuffer.Get(static_cast<std::size_t>(std::clamp<std::int64_t>(compressedSize, 0, kInputBlock)) + 2);
    const std::int64_t declared = item.GetUncompressedSize();
    std::int64_t consumed = 0;
    while (consumed < compressedSize) {
        if (!sink.BeforeBlock(consumed)) return true;
        std::int64_t block = std::min(kInputBlock, compressedSize - consumed);
        while (static_cast<std::uint64_t>(estimateOutput(item.UncompressedSize, item.CompressedSize, block)) >= memoryShare &&
               block >= kSmallestBlock) {
            block /= 2;
        }
        if (block < 1) block = 1;
        if (read(input, static_cast<std::size_t>(block)) != static_cast<std::size_t>(block)) return false;
        if (keys) ZipDecryptBuffer(reinterpret_cast<char*>(input), static_cast<int>(block), keys);
        if (!deflated) {
            crc = ZACrc32Update(crc, input, block);
            if (!sink.Output(input, static_cast<std::size_t>(block), crc)) return false;
            written += block;
        } else {
            const std::int64_t estimate = estimateOutput(item.UncompressedSize, item.CompressedSize, block);
            const auto outSize = static_cast<std::size_t>(std::clamp<std::int64_t>(estimate, 65536, kOutputChunk));
            unsigned char* const out = outputBuffer.Get(outSize);
            inflater.SetInput(input, static_cast<std::size_t>(block));
            for (;;) {
                const long long n = inflater.Inflate(out, outSize);
                if (n < 0) return false;
                if (n > 0) {
                    crc = ZACrc32Update(crc, out, n);
                    if (!sink.Output(out, static_cast<std::size_t>(n), crc)) return false;
                    written += n;
                    // More than the directory promised: damaged or hostile; stop before it fills the disk.
                    if (written > declared) return false;
                }
                if (inflater.Finished() || static_cast<std::size_t>(n) < outSize) break;
            }
        }
        consumed += block;
    }
    return true;
}

// ---- Decoding ahead ------------------------------------------------------------------------

bool& zadetail::extractionPrefetch() {
    static bool on = true;
    return on;
}

#ifndef TARNWICK_ZIP_NO_DECODE_AHEAD
int& zadetail::prefetchedItems() {
    static int count = 0;
    return count;
}

TZAPrefetcher::TZAPrefetcher() {
    worker_ = std::thread([this] { work(); });
}

TZAPrefetcher::~TZAPrefetcher() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    worker_.join();
}

void TZAPrefetcher::waitIdle(std::unique_lock<std::mutex>& lock) {
    changed_.wait(lock, [this] { return !busy_; });
}

void TZAPrefetcher::Start(int index, const TDirItem& item, std::vector<unsigned char> data, std::int64_t dataEnd,
                          std::uint64_t memoryShare) {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        waitIdle(lock);
        heldIndex_ = index;
        item_ = item;
        data_ = std::move(data);
        memoryShare_ = memoryShare;
        done_ = recycledItem_ ? std::move(recycledItem_) : std::make_unique<TZADecodedItem>();
        done_->steps.clear();
        done_->bytes.clear();
        done_->result = false;
        done_->index = index;
        done_->compressedSize = static_cast<std::int64_t>(data_.size());
        done_->dataEnd = dataEnd;
        busy_ = true;
    }
    changed_.notify_all();
}

std::vector<unsigned char> TZAPrefetcher::DataBuffer() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::move(recycledData_);
}

void TZAPrefetcher::Recycle(std::unique_ptr<TZADecodedItem> used) {
    std::lock_guard<std::mutex> lock(mutex_);
    recycledItem_ = std::move(used);
}

namespace {

// The same item as when its data was read: where it lies, how it is stored, what it holds.
bool sameEntry(const TDirItem& a, const TDirItem& b) {
    return a.GetLocalHeaderOffset() == b.GetLocalHeaderOffset() && a.GetCompressedSize() == b.GetCompressedSize() &&
           a.GetUncompressedSize() == b.GetUncompressedSize() && a.Crc32 == b.Crc32 &&
           a.CompressionMethod == b.CompressionMethod && a.GeneralPurposeBitFlag == b.GeneralPurposeBitFlag &&
           a.FileName == b.FileName;
}

} // namespace

std::unique_ptr<TZADecodedItem> TZAPrefetcher::Take(int index, const TDirItem& item) {
    std::unique_lock<std::mutex> lock(mutex_);
    waitIdle(lock);
    std::unique_ptr<TZADecodedItem> decoded = std::move(done_);
    const bool wanted = heldIndex_ == index && sameEntry(item_, item);
    heldIndex_ = -1;
    if (!wanted || !decoded) return nullptr;
    return decoded;
}

namespace {

// An item whose data is one input block is inflated in one call by libdeflate, about twice as
// fast as zlib's streaming. The steps are those of the streaming decode: one block, then the
// output. Anything but a clean finish within the declared size (damage, more output than declared,
// data cut short) returns false, and the item is decoded again the streaming way, which records
// exactly where and how it fails.
bool decodeWhole(libdeflate_decompressor* decompressor, const std::vector<unsigned char>& data, const TDirItem& item,
                 std::uint64_t memoryShare, TZADecodedItem& decoded) {
    if (item.CompressionMethod != 8 || data.empty()) return false;
    const auto size = static_cast<std::int64_t>(data.size());
    // One block only when the streaming decode would not halve it for lack of memory.
    const auto estimate = static_cast<std::uint64_t>(estimateOutput(item.UncompressedSize, item.CompressedSize, size));
    if (size > kInputBlock || (estimate >= memoryShare && size >= kSmallestBlock)) return false;
    const auto declared = static_cast<std::size_t>(item.GetUncompressedSize());
    decoded.bytes.resize(declared);
    std::size_t used = 0, produced = 0;
    const libdeflate_result result = libdeflate_deflate_decompress_ex(
        decompressor, data.data(), data.size(), decoded.bytes.data(), declared, &used, &produced);
    if (result != LIBDEFLATE_SUCCESS) {
        decoded.bytes.clear();
        return false;
    }
    decoded.bytes.resize(produced);
    decoded.steps.push_back({true, 0, 0, 0, 0});
    if (produced > 0) {
        const std::uint32_t crc = ~libdeflate_crc32(0, decoded.bytes.data(), produced);
        decoded.steps.push_back({false, 0, 0, produced, crc});
    }
    decoded.result = true;
    return true;
}

struct TDecompressorDeleter {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

} // namespace

void TZAPrefetcher::work() {
    const std::unique_ptr<libdeflate_decompressor, TDecompressorDeleter> decompressor(libdeflate_alloc_decompressor());
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stop_ || busy_; });
        if (stop_) return;
        // The job's fields are this thread's until busy_ drops; the caller only waits meanwhile.
        lock.unlock();
        bool usable = false;
        try {
            std::size_t position = 0;
            const TZADecodeRead read = [this, &position](unsigned char* buffer, std::size_t count) {
                const std::size_t n = std::min(count, data_.size() - position);
                std::memcpy(buffer, data_.data() + position, n);
                position += n;
                return n;
            };
            if (!decompressor || !decodeWhole(decompressor.get(), data_, item_, memoryShare_, *done_)) {
                done_->bytes.reserve(static_cast<std::size_t>(item_.GetUncompressedSize()));
                TRecordingSink sink(*done_);
                std::int64_t written = 0;
                std::uint32_t crc = 0xFFFFFFFF;
                done_->result = decodeStoredOrDeflatedData(read, item_, done_->compressedSize, memoryShare_, nullptr,
                                                           sink, spareInput_, spareOutput_, written, crc);
            }
            usable = true;
        } catch (...) {
            // Out of memory, say: the item is decoded live instead.
        }
        lock.lock();
        if (!usable) done_.reset();
        recycledData_ = std::move(data_);
        recycledData_.clear();
        busy_ = false;
        changed_.notify_all();
    }
}

#endif

} // namespace tarnwick
