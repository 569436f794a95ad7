// The enciphered file container: Encrypt_File, Decrypt_File and the name of their output.
//
// Both operations stream the file through one chunk buffer and never seek, so sizes past 2 GiB
// (and sources that cannot seek) work on every platform. Progress values are still reported
// block by block, exactly as a block-at-a-time copy would report them: a chunk is enciphered as a
// whole and its per-block calls follow before the chunk is written.
#include "cipher/myblowfish.h"

#include "cipher/myblowfish_detail.h"

#include <cstdio>
#include <memory>
#include <string>
#include <utility>

namespace tarnwick {

namespace {

constexpr std::size_t kBlock = 8;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// The destination of one file operation. Unless commit() succeeds, the partial file is removed:
// a container or plain file cut short by a read or write error would otherwise look valid.
class Destination {
public:
    explicit Destination(std::string path) : path_(std::move(path)), file_(std::fopen(path_.c_str(), "wb")) {}
    Destination(const Destination&) = delete;
    Destination& operator=(const Destination&) = delete;
    ~Destination() {
        if (file_ != nullptr) {
            std::fclose(file_);
            std::remove(path_.c_str());
        }
    }

    bool opened() const { return file_ != nullptr; }

    bool write(const unsigned char* data, std::size_t n) {
        return n == 0 || std::fwrite(data, 1, n, file_) == n;
    }

    // fclose reports the errors of the last buffered writes (disk full shows up here).
    bool commit() {
        std::FILE* f = file_;
        file_ = nullptr;
        if (std::fclose(f) == 0) return true;
        std::remove(path_.c_str());
        return false;
    }

private:
    std::string path_;
    std::FILE* file_;
};

// Reads until n bytes or the end of the file. Returns false on a read error.
bool readFull(std::FILE* f, unsigned char* data, std::size_t n, std::size_t& got) {
    got = std::fread(data, 1, n, f);
    return got == n || std::ferror(f) == 0;
}

} // namespace

std::string containerOutputName(const std::string& sourcePath, const std::string& suffix) {
    // '/' counts as a separator too: Windows accepts it, and POSIX paths use nothing else.
    const std::size_t dot = sourcePath.find_last_of('.');
    if (dot == std::string::npos || sourcePath.find_first_of("\\/:", dot) != std::string::npos) {
        return sourcePath + suffix;
    }
    return sourcePath.substr(0, dot) + suffix;
}

// Turbo is read before every block, as a block-at-a-time copy would: a handler may switch it.
void TMyBlowfish::reportBlocks(std::size_t bytes, std::int64_t& done) {
    for (std::size_t i = 0; i < bytes; i += kBlock) {
        done += static_cast<std::int64_t>(kBlock);
        if (!Turbo) ProgressChange(done);
    }
}

std::uint8_t TMyBlowfish::Encrypt_File(const char* sourcePath) {
    if (sourcePath == nullptr) return kSourceNotReadable;
    FilePtr src(std::fopen(sourcePath, "rb"));
    if (!src) return kSourceNotReadable;
    Destination dst(containerOutputName(sourcePath, "BLW"));
    if (!dst.opened()) return kDestinationNotWritable;

    // One spare block behind the chunk takes the padded final block without a second write.
    const std::size_t chunk = blowfish::kContainerChunkBytes;
    auto buffer = std::make_unique_for_overwrite<unsigned char[]>(chunk + kBlock);
    std::int64_t done = 0;
    ProgressChange(0);
    for (;;) {
        std::size_t got = 0;
        if (!readFull(src.get(), buffer.get(), chunk, got)) return kSourceNotReadable;
        const std::size_t whole = got - got % kBlock;
        Encrypt_Bin(buffer.get(), whole);
        reportBlocks(whole, done);
        if (got == chunk) {
            if (!dst.write(buffer.get(), got)) return kDestinationNotWritable;
            continue;
        }

        // End of the source: the remaining 0..7 bytes and the pad form the final block.
        ProgressChange(done + static_cast<std::int64_t>(kBlock));
        unsigned char* tail = buffer.get() + whole;
        const auto pad = static_cast<unsigned char>(kBlock - got % kBlock);
        for (std::size_t i = got % kBlock; i < kBlock; ++i) tail[i] = pad;
        Encrypt_Bin(tail, kBlock);
        if (!dst.write(buffer.get(), whole + kBlock)) return kDestinationNotWritable;
        break;
    }
    src.reset();
    return dst.commit() ? kDone : kDestinationNotWritable;
}

std::uint8_t TMyBlowfish::Decrypt_File(const char* sourcePath) {
    if (sourcePath == nullptr) return kSourceNotReadable;
    return Decrypt_File(sourcePath, containerOutputName(sourcePath, "DEC").c_str());
}

std::uint8_t TMyBlowfish::Decrypt_File(const char* sourcePath, const char* destinationPath) {
    if (sourcePath == nullptr) return kSourceNotReadable;
    FilePtr src(std::fopen(sourcePath, "rb"));
    if (!src) return kSourceNotReadable;
    if (destinationPath == nullptr) return kDestinationNotWritable;
    Destination dst(destinationPath);
    if (!dst.opened()) return kDestinationNotWritable;

    // The last whole block carries the pad and is only known to be the last at the end of the
    // source, so each chunk holds back its last block and moves it to the front of the next one.
    const std::size_t chunk = blowfish::kContainerChunkBytes;
    auto buffer = std::make_unique_for_overwrite<unsigned char[]>(chunk);
    std::size_t held = 0; // 0 or kBlock bytes at the start of the buffer, still enciphered
    std::int64_t done = 0;
    ProgressChange(0);
    for (;;) {
        std::size_t got = 0;
        if (!readFull(src.get(), buffer.get() + held, chunk - held, got)) return kSourceNotReadable;
        const bool atEnd = got < chunk - held;
        const std::size_t whole = (held + got) / kBlock * kBlock; // a trailing part block is ignored
        if (whole == 0) {
            // A source shorter than one block: nothing was read that could be deciphered, so the
            // destination stays empty.
            ProgressChange(0);
            break;
        }
        const std::size_t body = whole - kBlock; // the held-back block is not deciphered yet
        Decrypt_Bin(buffer.get(), body);
        reportBlocks(body, done);
        if (!dst.write(buffer.get(), body)) return kDestinationNotWritable;
        unsigned char* last = buffer.get() + body;
        if (!atEnd) {
            for (std::size_t i = 0; i < kBlock; ++i) buffer[i] = last[i];
            held = kBlock;
            continue;
        }

        ProgressChange(done + static_cast<std::int64_t>(kBlock));
        Decrypt_Bin(last, kBlock);
        // Only the pad count is looked at; a count of 8 or more drops the block, as a whole
        // block of pad would be.
        const unsigned pad = last[kBlock - 1];
        if (pad < kBlock && !dst.write(last, kBlock - pad)) return kDestinationNotWritable;
        break;
    }
    src.reset();
    return dst.commit() ? kDone : kDestinationNotWritable;
}

} // namespace tarnwick
