// The data archive: a plain ZIP of the numbered items ("1.twi", "2.twi", ...), in number order,
// written the same way every time: deflated by zlib at the chosen level (stored when deflating
// does not make an item smaller, or when samples of a large item show it is compressed already),
// times from the items' source files in UTC, no extra fields, no comments, attributes "archive"
// only. Items are compressed on several threads and written in
// order, so the bytes do not depend on the number of threads.
//
// Limits: no ZIP64 (fewer than 65,536 items, each item and the archive below 4 GiB); each item
// is held in memory while it is compressed, so memory grows with the largest files (about twice
// the largest item for each thread).
#pragma once

#include "cipher_sink.h"
#include "package_plan.h"

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarnwick::pack {

struct TArchiveOptions {
    int level = 6;        // 0 stores every item
    unsigned threads = 1; // compression threads; the calling thread writes
    // Called on the calling thread after each item: bytes of source read so far, and in all.
    std::function<void(std::uint64_t done, std::uint64_t total)> progress;
};

struct TWrittenItem {
    std::string name;
    std::uint32_t crc = 0;
    std::uint64_t size = 0;
    std::uint64_t compressedSize = 0;
    std::uint16_t method = 0; // 0 stored, 8 deflated
};

// A source file that cannot be read, changed since planning, or a limit reached. The message
// names the file.
class EArchiveError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::vector<TWrittenItem> writeDataArchive(const std::vector<TPlannedItem>& items, TByteSink& out,
                                           const TArchiveOptions& options);

// The MS-DOS date (high 16 bits) and time (low 16 bits) of a Unix time, read as UTC, kept within
// 1980-01-01 00:00:00 to 2107-12-31 23:59:58.
std::uint32_t dosDateTime(std::int64_t unixSeconds);
std::int64_t unixTimeOfDos(std::uint16_t date, std::uint16_t time);

} // namespace tarnwick::pack
