// Streams in the class library's shape: Read/Write move what they can, ReadBuffer/WriteBuffer
// raise EReadError/EWriteError when they cannot move everything. The archive reads through
// TZAFileStream (a file of the seam, with a read cache for the many small directory reads) or
// any caller's stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/component.h"
#include "zip/os/os.h"

namespace tarnwick {

class TStream : public TObject {
public:
    virtual std::size_t Read(void* buffer, std::size_t count) = 0;
    virtual std::size_t Write(const void* buffer, std::size_t count) = 0;
    virtual std::int64_t GetPosition() const = 0;
    virtual void SetPosition(std::int64_t position) = 0;
    virtual std::int64_t GetSize() = 0;
    virtual void SetSize(std::int64_t size) = 0;

    void ReadBuffer(void* buffer, std::size_t count);
    void WriteBuffer(const void* buffer, std::size_t count);
    // Copies count bytes from source's current position (0: the whole source from its start).
    std::int64_t CopyFrom(TStream& source, std::int64_t count);
};

class TMemoryStream : public TStream {
public:
    std::size_t Read(void* buffer, std::size_t count) override;
    std::size_t Write(const void* buffer, std::size_t count) override;
    std::int64_t GetPosition() const override { return position_; }
    void SetPosition(std::int64_t position) override { position_ = position < 0 ? 0 : position; }
    std::int64_t GetSize() override { return static_cast<std::int64_t>(data_.size()); }
    void SetSize(std::int64_t size) override;
    const unsigned char* Memory() const { return data_.data(); }
    std::vector<unsigned char>& Bytes() { return data_; }

private:
    std::vector<unsigned char> data_;
    std::int64_t position_ = 0;
};

// Reads a block of memory it does not own; writes fail.
class TReadOnlyMemoryStream final : public TStream {
public:
    TReadOnlyMemoryStream(const void* data, std::size_t size) : data_(static_cast<const unsigned char*>(data)), size_(size) {}
    std::size_t Read(void* buffer, std::size_t count) override;
    std::size_t Write(const void*, std::size_t) override { return 0; }
    std::int64_t GetPosition() const override { return position_; }
    void SetPosition(std::int64_t position) override { position_ = position < 0 ? 0 : position; }
    std::int64_t GetSize() override { return static_cast<std::int64_t>(size_); }
    void SetSize(std::int64_t) override {}

private:
    const unsigned char* data_;
    std::size_t size_;
    std::int64_t position_ = 0;
};

// Takes every write and keeps nothing: testing an item decodes into it, so a test touches no
// file and costs only the decoding and its checksum.
class TNullStream final : public TStream {
public:
    std::size_t Read(void*, std::size_t) override { return 0; }
    std::size_t Write(const void*, std::size_t count) override {
        written_ += static_cast<std::int64_t>(count);
        return count;
    }
    std::int64_t GetPosition() const override { return written_; }
    void SetPosition(std::int64_t) override {}
    std::int64_t GetSize() override { return written_; }
    void SetSize(std::int64_t) override {}

private:
    std::int64_t written_ = 0;
};

class TZAFileStream final : public TStream {
public:
    // mode: the open word of os.h. Raises EFOpenError when the file cannot be opened.
    TZAFileStream(const std::string& fileName, std::uint16_t mode);
    // A new file when nothing of that name exists; nullptr when the name is taken or the file
    // cannot be made (nameTaken, when given, tells which).
    static std::unique_ptr<TZAFileStream> CreateNew(const std::string& fileName, bool* nameTaken = nullptr);
    std::size_t Read(void* buffer, std::size_t count) override;
    std::size_t Write(const void* buffer, std::size_t count) override;
    std::int64_t GetPosition() const override { return position_; }
    void SetPosition(std::int64_t position) override { position_ = position < 0 ? 0 : position; }
    std::int64_t GetSize() override;
    void SetSize(std::int64_t size) override;
    void FlushToDevice() { file_->flushToDevice(); }
    bool SetDosDateTime(std::uint32_t dosDateTime) { return file_->setDosDateTime(dosDateTime); }
    bool SetAttributes(std::uint32_t attributes) { return file_->setAttributes(attributes); }
    const std::string& FileName() const { return fileName_; }

private:
    TZAFileStream(const std::string& fileName, std::unique_ptr<zaos::NativeFile> file)
        : file_(std::move(file)), fileName_(fileName) {}

    static constexpr std::size_t kCacheSize = 64 * 1024;
    std::unique_ptr<zaos::NativeFile> file_;
    std::string fileName_;
    std::int64_t position_ = 0;
    std::int64_t filePosition_ = 0;  // where the handle points
    std::int64_t size_ = -1;         // cached; -1 unknown
    std::vector<unsigned char> cache_;
    std::int64_t cacheStart_ = 0;
};

} // namespace tarnwick
