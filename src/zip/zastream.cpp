// Memory and file streams; the file stream caches reads for the many small directory records.
#include "zip/zastream.h"

#include <algorithm>
#include <cstring>

#include "zip/zaexcept.h"

namespace tarnwick {

void TStream::ReadBuffer(void* buffer, std::size_t count) {
    if (count != 0 && Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, std::size_t count) {
    if (count != 0 && Write(buffer, count) != count) throw EWriteError("Stream write error");
}

std::int64_t TStream::CopyFrom(TStream& source, std::int64_t count) {
    if (count == 0) {
        source.SetPosition(0);
        count = source.GetSize();
    }
    std::vector<unsigned char> buffer(static_cast<std::size_t>(std::min<std::int64_t>(count, 1 << 20)));
    std::int64_t left = count;
    while (left > 0) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(left, static_cast<std::int64_t>(buffer.size())));
        source.ReadBuffer(buffer.data(), n);
        WriteBuffer(buffer.data(), n);
        left -= static_cast<std::int64_t>(n);
    }
    return count;
}

std::size_t TMemoryStream::Read(void* buffer, std::size_t count) {
    const std::int64_t size = GetSize();
    if (position_ >= size || count == 0) return 0;
    const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(count), size - position_));
    std::memcpy(buffer, data_.data() + position_, n);
    position_ += static_cast<std::int64_t>(n);
    return n;
}

std::size_t TMemoryStream::Write(const void* buffer, std::size_t count) {
    if (count == 0) return 0;
    const std::size_t end = static_cast<std::size_t>(position_) + count;
    if (end > data_.size()) data_.resize(end);
    std::memcpy(data_.data() + position_, buffer, count);
    position_ = static_cast<std::int64_t>(end);
    return count;
}

void TMemoryStream::SetSize(std::int64_t size) {
    data_.resize(static_cast<std::size_t>(size < 0 ? 0 : size));
    if (position_ > size) position_ = size;
}

std::size_t TReadOnlyMemoryStream::Read(void* buffer, std::size_t count) {
    if (position_ >= static_cast<std::int64_t>(size_) || count == 0) return 0;
    const std::size_t n = std::min(count, size_ - static_cast<std::size_t>(position_));
    std::memcpy(buffer, data_ + position_, n);
    position_ += static_cast<std::int64_t>(n);
    return n;
}

TZAFileStream::TZAFileStream(const std::string& fileName, std::uint16_t mode) : fileName_(fileName) {
    std::string reason;
    file_ = zaos::openFile(fileName, mode, reason);
    if (!file_) {
        if (mode == 0xFFFF) throw EFOpenError("Cannot create file \"" + fileName + "\". " + reason);
        throw EFOpenError("Cannot open file \"" + fileName + "\". " + reason);
    }
}

std::unique_ptr<TZAFileStream> TZAFileStream::CreateNew(const std::string& fileName, bool* nameTaken) {
    std::unique_ptr<zaos::NativeFile> file = zaos::createNewFile(fileName, nameTaken);
    if (!file) return nullptr;
    return std::unique_ptr<TZAFileStream>(new TZAFileStream(fileName, std::move(file)));
}

std::int64_t TZAFileStream::GetSize() {
    if (size_ < 0) size_ = file_->size();
    return size_;
}

void TZAFileStream::SetSize(std::int64_t size) {
    cache_.clear();
    size_ = -1;
    if (!file_->truncate(size)) throw EStreamError("Stream size error");
    filePosition_ = -1;
    if (position_ > size) position_ = size;
}

std::size_t TZAFileStream::Read(void* buffer, std::size_t count) {
    auto* out = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const std::int64_t cacheEnd = cacheStart_ + static_cast<std::int64_t>(cache_.size());
        if (position_ >= cacheStart_ && position_ < cacheEnd) {
            const std::size_t n = std::min(count - done, static_cast<std::size_t>(cacheEnd - position_));
            std::memcpy(out + done, cache_.data() + (position_ - cacheStart_), n);
            done += n;
            position_ += static_cast<std::int64_t>(n);
            continue;
        }
        if (filePosition_ != position_ && !file_->seek(position_)) break;
        filePosition_ = position_;
        // Large reads skip the cache; the small reads of directory loading fill it.
        if (count - done >= kCacheSize) {
            const std::size_t n = file_->read(out + done, count - done);
            done += n;
            position_ += static_cast<std::int64_t>(n);
            filePosition_ = position_;
            break;
        }
        // Up to the end when the size is known: a small file is then read by one call, with no
        // second call that only finds the end. A file grown since is read on by the next fill.
        std::size_t want = kCacheSize;
        if (size_ > position_ && size_ - position_ < static_cast<std::int64_t>(kCacheSize))
            want = static_cast<std::size_t>(size_ - position_);
        cache_.resize(want);
        const std::size_t n = file_->read(cache_.data(), want);
        cache_.resize(n);
        cacheStart_ = position_;
        filePosition_ = position_ + static_cast<std::int64_t>(n);
        if (n == 0) break;
    }
    return done;
}

std::size_t TZAFileStream::Write(const void* buffer, std::size_t count) {
    cache_.clear();
    if (filePosition_ != position_ && !file_->seek(position_)) return 0;
    const std::size_t n = file_->write(buffer, count);
    position_ += static_cast<std::int64_t>(n);
    filePosition_ = position_;
    if (size_ >= 0 && position_ > size_) size_ = position_;
    return n;
}

} // namespace tarnwick
