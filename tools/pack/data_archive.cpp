#include "data_archive.h"

#include <zlib.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

namespace tarnwick::pack {

namespace {

constexpr std::uint64_t kZipLimit = 0xFFFFFFFFull;
constexpr std::uint64_t kInFlightBudget = 256ull << 20; // source bytes compressed ahead of the writer

struct TCompressedItem {
    TWrittenItem written;
    std::vector<unsigned char> data; // what goes after the local header
    std::uint32_t dosTime = 0;
    std::string error;
};

std::vector<unsigned char> readWhole(const TPlannedItem& item) {
    std::FILE* f = std::fopen(item.source.string().c_str(), "rb");
    if (f == nullptr) throw EArchiveError("cannot open " + item.source.string());
    std::vector<unsigned char> bytes(item.size);
    const std::size_t got = item.size == 0 ? 0 : std::fread(bytes.data(), 1, bytes.size(), f);
    const bool longer = std::fgetc(f) != EOF;
    const bool bad = std::ferror(f) != 0;
    std::fclose(f);
    if (bad) throw EArchiveError("cannot read " + item.source.string());
    if (got != item.size || longer)
        throw EArchiveError(item.source.string() + " changed while the package was built (it was " +
                            std::to_string(item.size) + " bytes)");
    return bytes;
}

std::size_t deflatedSize(const unsigned char* data, std::size_t size, int level, std::vector<unsigned char>& out) {
    z_stream z{};
    if (deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw EArchiveError("zlib cannot start deflating");
    out.resize(deflateBound(&z, static_cast<uLong>(size)));
    z.next_in = const_cast<unsigned char*>(data);
    z.avail_in = static_cast<uInt>(size);
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int r = deflate(&z, Z_FINISH);
    const std::size_t produced = z.total_out;
    deflateEnd(&z);
    if (r != Z_STREAM_END) throw EArchiveError("zlib failed to deflate");
    return produced;
}

// Products carry much that is compressed already (pictures, media, archives), and deflating it
// only to store it costs as much as deflating text. A large item is stored at once when samples
// from its start, middle and end each shrink by less than 2% under the fastest level; one
// compressible sample is enough to deflate the whole item. Decided from the bytes alone, so the
// output stays the same on every run.
constexpr std::size_t kSample = 32 * 1024;
constexpr std::size_t kProbeFrom = 8 * kSample;

bool looksIncompressible(const std::vector<unsigned char>& raw) {
    if (raw.size() < kProbeFrom) return false;
    std::vector<unsigned char> out;
    for (const std::size_t at : {std::size_t(0), raw.size() / 2 - kSample / 2, raw.size() - kSample})
        if (deflatedSize(raw.data() + at, kSample, 1, out) < kSample * 98 / 100) return false;
    return true;
}

TCompressedItem compressItem(const TPlannedItem& item, int level) {
    TCompressedItem out;
    out.written.name = std::to_string(item.number) + ".twi";
    out.written.size = item.size;
    out.dosTime = dosDateTime(item.modifiedUnix);
    std::vector<unsigned char> raw = readWhole(item);
    if (raw.size() >= kZipLimit) throw EArchiveError(item.source.string() + " is 4 GiB or larger; the data archive holds smaller files only");
    out.written.crc = static_cast<std::uint32_t>(crc32(0L, raw.data(), static_cast<uInt>(raw.size())));
    if (level > 0 && !raw.empty() && !looksIncompressible(raw)) {
        std::vector<unsigned char> packed;
        const std::size_t packedSize = deflatedSize(raw.data(), raw.size(), level, packed);
        if (packedSize < raw.size()) {
            packed.resize(packedSize);
            out.data = std::move(packed);
            out.written.method = 8;
        }
    }
    if (out.written.method == 0) out.data = std::move(raw);
    out.written.compressedSize = out.data.size();
    return out;
}

// The general-purpose flag bits 1-2 that tell a reader how hard deflate worked (as Info-ZIP sets them).
std::uint16_t deflateFlags(int level) {
    if (level >= 8) return 2;
    if (level == 2) return 4;
    if (level == 1) return 6;
    return 0;
}

class TZipWriter {
public:
    TZipWriter(TByteSink& out, int level) : out_(out), level_(level) {}

    void add(const TCompressedItem& item) {
        if (offset_ >= kZipLimit) throw EArchiveError("the data archive would be 4 GiB or larger");
        if (entries_.size() >= 0xFFFF) throw EArchiveError("the data archive holds at most 65,535 items");
        std::vector<unsigned char> header;
        const bool deflated = item.written.method == 8;
        put32(header, 0x04034B50);
        put16(header, deflated ? 20 : 10);
        put16(header, deflated ? deflateFlags(level_) : 0);
        put16(header, item.written.method);
        put32(header, item.dosTime);
        put32(header, item.written.crc);
        put32(header, static_cast<std::uint32_t>(item.written.compressedSize));
        put32(header, static_cast<std::uint32_t>(item.written.size));
        put16(header, static_cast<std::uint16_t>(item.written.name.size()));
        put16(header, 0);
        header.insert(header.end(), item.written.name.begin(), item.written.name.end());
        out_.write(header.data(), header.size());
        out_.write(item.data.data(), item.data.size());
        entries_.push_back({item.written, item.dosTime, static_cast<std::uint32_t>(offset_)});
        offset_ += header.size() + item.data.size();
    }

    void finish() {
        if (offset_ >= kZipLimit) throw EArchiveError("the data archive would be 4 GiB or larger");
        std::vector<unsigned char> central;
        for (const TEntry& e : entries_) {
            const bool deflated = e.item.method == 8;
            put32(central, 0x02014B50);
            put16(central, 20); // made by: MS-DOS, ZIP 2.0
            put16(central, deflated ? 20 : 10);
            put16(central, deflated ? deflateFlags(level_) : 0);
            put16(central, e.item.method);
            put32(central, e.dosTime);
            put32(central, e.item.crc);
            put32(central, static_cast<std::uint32_t>(e.item.compressedSize));
            put32(central, static_cast<std::uint32_t>(e.item.size));
            put16(central, static_cast<std::uint16_t>(e.item.name.size()));
            put16(central, 0); // extra
            put16(central, 0); // comment
            put16(central, 0); // disk
            put16(central, 0); // internal attributes
            put32(central, 0x20); // archive
            put32(central, e.offset);
            central.insert(central.end(), e.item.name.begin(), e.item.name.end());
        }
        const std::size_t centralSize = central.size();
        if (offset_ + centralSize >= kZipLimit) throw EArchiveError("the data archive would be 4 GiB or larger");
        put32(central, 0x06054B50);
        put16(central, 0);
        put16(central, 0);
        put16(central, static_cast<std::uint16_t>(entries_.size()));
        put16(central, static_cast<std::uint16_t>(entries_.size()));
        put32(central, static_cast<std::uint32_t>(centralSize));
        put32(central, static_cast<std::uint32_t>(offset_));
        put16(central, 0);
        out_.write(central.data(), central.size());
    }

    std::vector<TWrittenItem> written() const {
        std::vector<TWrittenItem> out;
        for (const TEntry& e : entries_) out.push_back(e.item);
        return out;
    }

private:
    struct TEntry {
        TWrittenItem item;
        std::uint32_t dosTime;
        std::uint32_t offset;
    };
    static void put16(std::vector<unsigned char>& v, std::uint32_t x) {
        v.push_back(static_cast<unsigned char>(x));
        v.push_back(static_cast<unsigned char>(x >> 8));
    }
    static void put32(std::vector<unsigned char>& v, std::uint32_t x) {
        put16(v, x & 0xFFFF);
        put16(v, x >> 16);
    }

    TByteSink& out_;
    int level_;
    std::uint64_t offset_ = 0;
    std::vector<TEntry> entries_;
};

// Workers take the next item number, compress it and park the result in its slot; the writer
// takes slots strictly in order. Workers stay within a window of source bytes ahead of the
// writer, so memory stays bounded while the order of the output never depends on timing.
class TParallelCompressor {
public:
    TParallelCompressor(const std::vector<TPlannedItem>& items, int level, unsigned threads)
        : items_(items), level_(level), slots_(items.size()) {
        for (unsigned i = 0; i < threads; ++i) workers_.emplace_back([this] { work(); });
    }

    ~TParallelCompressor() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        for (std::thread& t : workers_) t.join();
    }

    TCompressedItem take(std::size_t index) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return slots_[index].has_value(); });
        TCompressedItem item = std::move(*slots_[index]);
        slots_[index].reset();
        inFlight_ -= items_[index].size;
        changed_.notify_all();
        if (!item.error.empty()) throw EArchiveError(item.error);
        return item;
    }

private:
    void work() {
        while (true) {
            std::size_t index;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] {
                    return stopping_ || next_ >= items_.size() || inFlight_ == 0 ||
                           inFlight_ + items_[next_].size <= kInFlightBudget;
                });
                if (stopping_ || next_ >= items_.size()) return;
                index = next_++;
                inFlight_ += items_[index].size;
            }
            TCompressedItem item;
            try {
                item = compressItem(items_[index], level_);
            } catch (const std::exception& e) {
                item.error = e.what();
            }
            {
                std::lock_guard lock(mutex_);
                slots_[index] = std::move(item);
            }
            changed_.notify_all();
        }
    }

    const std::vector<TPlannedItem>& items_;
    int level_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::optional<TCompressedItem>> slots_;
    std::size_t next_ = 0;
    std::uint64_t inFlight_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

} // namespace

std::vector<TWrittenItem> writeDataArchive(const std::vector<TPlannedItem>& items, TByteSink& out,
                                           const TArchiveOptions& options) {
    std::uint64_t total = 0, done = 0;
    for (const TPlannedItem& item : items) total += item.size;
    TZipWriter zip(out, options.level);
    std::optional<TParallelCompressor> pool;
    if (options.threads > 1 && items.size() > 1) pool.emplace(items, options.level, options.threads);
    for (std::size_t i = 0; i < items.size(); ++i) {
        const TCompressedItem item = pool ? pool->take(i) : compressItem(items[i], options.level);
        zip.add(item);
        done += item.written.size;
        if (options.progress) options.progress(done, total);
    }
    zip.finish();
    return zip.written();
}

std::uint32_t dosDateTime(std::int64_t unixSeconds) {
    using namespace std::chrono;
    constexpr std::int64_t kEarliest = 315532800;  // 1980-01-01 00:00:00 UTC
    constexpr std::int64_t kLatest = 4354819198;   // 2107-12-31 23:59:58 UTC
    unixSeconds = std::clamp(unixSeconds, kEarliest, kLatest);
    const sys_days day = floor<days>(sys_seconds(seconds(unixSeconds)));
    const year_month_day ymd(day);
    const std::int64_t secondsOfDay = unixSeconds - duration_cast<seconds>(day.time_since_epoch()).count();
    const std::uint32_t date = static_cast<std::uint32_t>((static_cast<int>(ymd.year()) - 1980) << 9 |
                                                          static_cast<unsigned>(ymd.month()) << 5 | static_cast<unsigned>(ymd.day()));
    const std::uint32_t time = static_cast<std::uint32_t>(secondsOfDay / 3600 << 11 | (secondsOfDay / 60 % 60) << 5 |
                                                          (secondsOfDay % 60) / 2);
    return date << 16 | time;
}

std::int64_t unixTimeOfDos(std::uint16_t date, std::uint16_t time) {
    using namespace std::chrono;
    const year_month_day ymd{year(1980 + (date >> 9)), month((date >> 5) & 15u), day(date & 31u)};
    const sys_days d(ymd);
    return duration_cast<seconds>(d.time_since_epoch()).count() + (time >> 11) * 3600 + ((time >> 5) & 63) * 60 +
           (time & 31) * 2;
}

} // namespace tarnwick::pack
