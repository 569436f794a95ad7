// Decoding of stored and deflated item data, apart from where the bytes come from and where they
// go, so that the same steps run either live (reading the archive, raising events, writing the
// file) or ahead of time on a second thread (from memory into memory, replayed live later).
// Private to the component.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "zip/zadirmanager.h"

namespace tarnwick {

// What a decode hands out, in order.
class TZADecodeSink {
public:
    virtual ~TZADecodeSink() = default;
    // Before each block of input, with the input consumed so far. False stops the decode, which
    // then counts as finished (the caller was cancelled).
    virtual bool BeforeBlock(std::int64_t consumed) = 0;
    // A piece of output, with the CRC-32 register after it. False fails the decode.
    virtual bool Output(const unsigned char* bytes, std::size_t count, std::uint32_t crcAfter) = 0;
};

using TZADecodeRead = std::function<std::size_t(unsigned char* buffer, std::size_t count)>;

// Decodes compressedSize bytes of a stored (0) or deflated (8) item. keys: the traditional
// encryption's keys after the header check, or nullptr. memoryShare bounds the output estimate of
// one block. written and crc are updated as the output goes out. Returns false when the data is
// short, damaged, more than the item declares, or the sink refused it. The spares are buffers
// lent from one item to the next.
bool decodeStoredOrDeflatedData(const TZADecodeRead& read, const TDirItem& item, std::int64_t compressedSize,
                                std::uint64_t memoryShare, std::int64_t* keys, TZADecodeSink& sink,
                                std::vector<unsigned char>& spareInput, std::vector<unsigned char>& spareOutput,
                                std::int64_t& written, std::uint32_t& crc);

// One item decoded ahead: every step the decode took, to be replayed in order.
struct TZADecodedItem {
    struct Step {
        bool block;              // BeforeBlock(consumed), or else Output of bytes[offset, offset+count)
        std::int64_t consumed;
        std::size_t offset;
        std::size_t count;
        std::uint32_t crcAfter;
    };
    int index = -1;
    std::int64_t compressedSize = 0;
    std::int64_t dataEnd = 0;    // archive position after the item's data
    std::vector<Step> steps;
    std::vector<unsigned char> bytes;
    bool result = false;         // what the decode returned after its last step
};

// Decodes the next item of an extraction or test batch on a second thread while the current one
// is written. Everything that reads the archive or raises events stays on the caller's thread: the
// caller reads the item's data, the worker only turns it into output in memory, and the caller
// replays the steps. An item it did not decode, or whose directory entry changed since, is decoded
// live as always.
class TZAPrefetcher {
public:
    // Items larger than this (either size) are decoded live: at most two items' data is held.
    static constexpr std::int64_t kLargestItem = 8 << 20;

    TZAPrefetcher();
    ~TZAPrefetcher();
    TZAPrefetcher(const TZAPrefetcher&) = delete;
    TZAPrefetcher& operator=(const TZAPrefetcher&) = delete;

    // Hands an item's data to the worker, dropping whatever it held.
    void Start(int index, const TDirItem& item, std::vector<unsigned char> data, std::int64_t dataEnd,
               std::uint64_t memoryShare);
    // Waits for the worker; the decoded item if it is index and its entry is still item, else
    // nothing (and drops what it held).
    std::unique_ptr<TZADecodedItem> Take(int index, const TDirItem& item);
    // Buffers handed back once used, so that items in a row reuse memory instead of asking the
    // system for fresh pages each time.
    std::vector<unsigned char> DataBuffer();
    void Recycle(std::unique_ptr<TZADecodedItem> used);

private:
    void work();
    void waitIdle(std::unique_lock<std::mutex>& lock);

    int heldIndex_ = -1;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool stop_ = false;
    bool busy_ = false;
    TDirItem item_;
    std::vector<unsigned char> data_;
    std::uint64_t memoryShare_ = 0;
    std::unique_ptr<TZADecodedItem> done_;
    std::unique_ptr<TZADecodedItem> recycledItem_;
    std::vector<unsigned char> recycledData_;
    std::vector<unsigned char> spareInput_, spareOutput_;
    std::thread worker_;
};

// Builds for size (the one-file launcher, which extracts one large item) leave the decoding ahead
// out altogether.
#ifdef TARNWICK_ZIP_NO_DECODE_AHEAD
inline constexpr bool kDecodeAhead = false;
#else
inline constexpr bool kDecodeAhead = true;
#endif

namespace zadetail {
// Whether extraction batches decode ahead on a second thread (on unless a test turns it off to
// compare both ways).
bool& extractionPrefetch();
// How many items were written from a decode ahead since the program started (for tests).
int& prefetchedItems();
} // namespace zadetail

} // namespace tarnwick
