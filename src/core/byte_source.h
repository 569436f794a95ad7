// Readable byte sources for the readers that take "whatever is there": a C stream or a block of
// memory. Read returns how many bytes it delivered; fewer than asked means the end (or an error).
#pragma once

#include <cstddef>
#include <cstdio>
#include <span>

namespace tarnwick {

class TByteSource {
public:
    virtual ~TByteSource() = default;
    virtual std::size_t Read(void* destination, std::size_t count) = 0;
};

class TMemoryByteSource final : public TByteSource {
public:
    explicit TMemoryByteSource(std::span<const unsigned char> bytes) : bytes_(bytes) {}
    std::size_t Read(void* destination, std::size_t count) override;
    std::size_t Position() const { return position_; }

private:
    std::span<const unsigned char> bytes_;
    std::size_t position_ = 0;
};

// Reads from a C stream it does not own.
class TStdioByteSource final : public TByteSource {
public:
    explicit TStdioByteSource(std::FILE* file) : file_(file) {}
    std::size_t Read(void* destination, std::size_t count) override;

private:
    std::FILE* file_;
};

} // namespace tarnwick
