// Bytes enciphered into the container format as they are written, so the data archive goes to
// disk once, already enciphered: whole blocks as they fill, then the final padded block (see
// cipher/myblowfish.h for the container). Gives the same bytes as Encrypt_File on the whole file.
#pragma once

#include "cipher/myblowfish.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace tarnwick::pack {

class TByteSink {
public:
    virtual ~TByteSink() = default;
    virtual void write(const void* data, std::size_t size) = 0;
};

// Collects what is written (tests, and the package before it is enciphered).
class TMemorySink final : public TByteSink {
public:
    void write(const void* data, std::size_t size) override;
    std::vector<unsigned char> bytes;
};

class TCipherSink final : public TByteSink {
public:
    // out: a file open for writing, not owned. Write errors are remembered; check failed().
    TCipherSink(std::FILE* out, const TMyBlowfish& cipher);
    void write(const void* data, std::size_t size) override;
    // Writes the final block. Call once, after the last write.
    void finish();
    bool failed() const { return failed_; }
    std::uint64_t plainBytes() const { return plainBytes_; }

private:
    void flushWholeBlocks();

    std::FILE* out_;
    const TMyBlowfish& cipher_;
    std::vector<unsigned char> buffer_;
    std::uint64_t plainBytes_ = 0;
    bool failed_ = false;
};

// The container of plain, in memory.
std::vector<unsigned char> encipherContainer(const std::vector<unsigned char>& plain, const TMyBlowfish& cipher);
// The plain bytes of a container, or nothing when its length or padding is not that of a container.
bool decipherContainer(std::vector<unsigned char>& bytes, const TMyBlowfish& cipher);

} // namespace tarnwick::pack
