// The ZIP records, each described once: one field list per record serves both reading and writing,
// through one cursor that checks every access against the bytes it was given. A read or write
// past the end fails, and the failure sticks: every later access does nothing, so a record is
// checked once, after its last field (the way zlib's and libzip's record readers work).
// All values are little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/byte_order.h"
#include "zip/zastream.h"

namespace tarnwick {

constexpr std::uint32_t kLocalHeaderSignature = 0x04034B50;
constexpr std::uint32_t kCentralHeaderSignature = 0x02014B50;
constexpr std::uint32_t kEndSignature = 0x06054B50;
constexpr std::uint32_t kVariantLocalHeaderSignature = 0x05045C61;
constexpr std::uint32_t kVariantCentralHeaderSignature = 0x03025C61;
constexpr std::uint32_t kVariantEndSignature = 0x06054141;
constexpr std::uint32_t kZip64EndSignature = 0x06064B50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064B50;
constexpr std::uint32_t kDataDescriptorSignature = 0x08074B50;
constexpr std::uint16_t kZip64ExtraId = 0x0001;

class TZACursor {
public:
    static TZACursor Reader(const unsigned char* data, std::size_t size) {
        return TZACursor(const_cast<unsigned char*>(data), size, false);
    }
    static TZACursor Writer(unsigned char* data, std::size_t size) { return TZACursor(data, size, true); }

    bool Ok() const { return ok_; }
    bool Writing() const { return writing_; }
    std::size_t Position() const { return position_; }
    std::size_t Left() const { return ok_ ? size_ - position_ : 0; }

    // A field: read into value, or written from it.
    void Field(std::uint16_t& value) { transfer(value); }
    void Field(std::uint32_t& value) { transfer(value); }
    void Field(std::uint64_t& value) { transfer(value); }
    void Field(std::int64_t& value) {
        auto bits = static_cast<std::uint64_t>(value);
        transfer(bits);
        value = static_cast<std::int64_t>(bits);
    }
    // Written only: describing a const record writes it; reading into one fails.
    void Field(const std::uint16_t& value) { put(value); }
    void Field(const std::uint32_t& value) { put(value); }
    void Field(const std::uint64_t& value) { put(value); }
    void Field(const std::int64_t& value) { put(static_cast<std::uint64_t>(value)); }

    // Reading: the next count bytes in place, or nullptr.
    const unsigned char* Take(std::size_t count) { return writing_ ? fail() : claim(count); }
    // Writing: count bytes copied in.
    void Put(const void* bytes, std::size_t count) {
        unsigned char* at = writing_ ? claim(count) : fail();
        if (at != nullptr && count > 0) std::memcpy(at, bytes, count);
    }

private:
    TZACursor(unsigned char* data, std::size_t size, bool writing) : data_(data), size_(size), writing_(writing) {}

    unsigned char* fail() {
        ok_ = false;
        return nullptr;
    }
    unsigned char* claim(std::size_t count) {
        if (!ok_ || size_ - position_ < count) return fail();
        unsigned char* at = data_ + position_;
        position_ += count;
        return at;
    }
    template <typename T>
    void transfer(T& value) {
        unsigned char* at = claim(sizeof(T));
        if (at == nullptr) return;
        if (writing_) {
            store(at, value);
        } else {
            value = load<T>(at);
        }
    }
    template <typename T>
    void put(T value) {
        if (!writing_) {
            fail();
            return;
        }
        transfer(value);
    }
    static void store(unsigned char* at, std::uint16_t v) { storeLE16(at, v); }
    static void store(unsigned char* at, std::uint32_t v) { storeLE32(at, v); }
    static void store(unsigned char* at, std::uint64_t v) { storeLE64(at, v); }
    template <typename T>
    static T load(const unsigned char* at) {
        if constexpr (sizeof(T) == 2) return loadLE16(at);
        else if constexpr (sizeof(T) == 4) return loadLE32(at);
        else return loadLE64(at);
    }

    unsigned char* data_;
    std::size_t size_;
    std::size_t position_ = 0;
    bool writing_;
    bool ok_ = true;
};

// Every record below lists its fields once, in Fields(record, cursor); Self is the record or
// const record, so the same list reads into a record and writes one out.
template <typename Record>
bool ReadRecord(TZACursor& cursor, Record& record) {
    Record::Fields(record, cursor);
    return cursor.Ok();
}
template <typename Record>
bool ReadRecord(const unsigned char* bytes, std::size_t size, Record& record) {
    TZACursor cursor = TZACursor::Reader(bytes, size);
    return ReadRecord(cursor, record);
}
template <typename Record>
bool WriteRecord(TZACursor& cursor, const Record& record) {
    Record::Fields(record, cursor);
    return cursor.Ok();
}
template <typename Record>
bool WriteRecord(unsigned char* bytes, std::size_t size, const Record& record) {
    TZACursor cursor = TZACursor::Writer(bytes, size);
    return WriteRecord(cursor, record);
}

// A record read whole from where the stream stands; a stream that ends first is a read error.
template <typename Record>
void ReadRecordFrom(TStream& stream, Record& record) {
    unsigned char bytes[Record::kSize];
    stream.ReadBuffer(bytes, sizeof bytes);
    ReadRecord(bytes, sizeof bytes, record);
}

// Central directory header; the name, extra field and comment follow it.
struct TZAZipCentralDir {
    std::uint32_t Signature = 0;
    std::uint16_t VersionMadeBy = 0;
    std::uint16_t VersionNeededToExtract = 0;
    std::uint16_t GeneralPurposeBitFlag = 0;
    std::uint16_t CompressionMethod = 0;
    std::uint16_t LastModFileTime = 0;
    std::uint16_t LastModFileDate = 0;
    std::uint32_t Crc32 = 0;
    std::uint32_t CompressedSize = 0;    // 0xFFFFFFFF: in the ZIP64 block
    std::uint32_t UncompressedSize = 0;  // 0xFFFFFFFF: in the ZIP64 block
    std::uint16_t FileNameLength = 0;
    std::uint16_t ExtraFieldLength = 0;
    std::uint16_t FileCommentLength = 0;
    std::uint16_t DiskNumberStart = 0;  // 0xFFFF: in the ZIP64 block
    std::uint16_t InternalFileAttributes = 0;
    std::uint32_t ExternalFileAttributes = 0;       // 0x10 folder, 0x20 archive
    std::uint32_t RelativeOffsetOfLocalHeader = 0;  // 0xFFFFFFFF: in the ZIP64 block
    static constexpr std::size_t kSize = 46;
    template <typename Self>
    static void Fields(Self& r, TZACursor& c) {
        c.Field(r.Signature);
        c.Field(r.VersionMadeBy);
        c.Field(r.VersionNeededToExtract);
        c.Field(r.GeneralPurposeBitFlag);
        c.Field(r.CompressionMethod);
        c.Field(r.LastModFileTime);
        c.Field(r.LastModFileDate);
        c.Field(r.Crc32);
        c.Field(r.CompressedSize);
        c.Field(r.UncompressedSize);
        c.Field(r.FileNameLength);
        c.Field(r.ExtraFieldLength);
        c.Field(r.FileCommentLength);
        c.Field(r.DiskNumberStart);
        c.Field(r.InternalFileAttributes);
        c.Field(r.ExternalFileAttributes);
        c.Field(r.RelativeOffsetOfLocalHeader);
    }
};

// Local file header; the name and extra field follow it, then the item's data.
struct TZAZipFileHeader {
    std::uint32_t Signature = 0;
    std::uint16_t VersionNeededToExtract = 0;
    std::uint16_t GeneralPurposeBitFlag = 0;
    std::uint16_t CompressionMethod = 0;
    std::uint16_t LastModFileTime = 0;
    std::uint16_t LastModFileDate = 0;
    std::uint32_t Crc32 = 0;
    std::uint32_t CompressedSize = 0;
    std::uint32_t UncompressedSize = 0;
    std::uint16_t FileNameLength = 0;
    std::uint16_t ExtraFieldLength = 0;
    static constexpr std::size_t kSize = 30;
    template <typename Self>
    static void Fields(Self& r, TZACursor& c) {
        c.Field(r.Signature);
        c.Field(r.VersionNeededToExtract);
        c.Field(r.GeneralPurposeBitFlag);
        c.Field(r.CompressionMethod);
        c.Field(r.LastModFileTime);
        c.Field(r.LastModFileDate);
        c.Field(r.Crc32);
        c.Field(r.CompressedSize);
        c.Field(r.UncompressedSize);
        c.Field(r.FileNameLength);
        c.Field(r.ExtraFieldLength);
    }
};

// Data descriptor with its signature (what the directory rebuild looks for).
struct TZADataDescriptor {
    std::uint32_t Signature = 0;
    std::uint32_t Crc32 = 0;
    std::uint32_t CompressedSize = 0;
    std::uint32_t UncompressedSize = 0;
    static constexpr std::size_t kSize = 16;
    template <typename Self>
    static void Fields(Self& r, TZACursor& c) {
        c.Field(r.Signature);
        c.Field(r.Crc32);
        c.Field(r.CompressedSize);
        c.Field(r.UncompressedSize);
    }
};

// End of central directory record; the archive comment follows it.
struct TZAZipCentralDirEnd {
    std::uint32_t Signature = 0;
    std::uint16_t NumberOfThisDisk = 0;
    std::uint16_t NumberOfTheDiskWithTheStartOfTheCentralDirectory = 0;
    std::uint16_t TotalNumberOfEntriesOnThisDisk = 0;
    std::uint16_t TotalNumberOfEntries = 0;
    std::uint32_t SizeOfTheCentralDirectory = 0;
    std::uint32_t OffsetOfStartOfCentralDirectory = 0;
    std::uint16_t ZipfileCommentLength = 0;
    static constexpr std::size_t kSize = 22;
    template <typename Self>
    static void Fields(Self& r, TZACursor& c) {
        c.Field(r.Signature);
        c.Field(r.NumberOfThisDisk);
        c.Field(r.NumberOfTheDiskWithTheStartOfTheCentralDirectory);
        c.Field(r.TotalNumberOfEntriesOnThisDisk);
        c.Field(r.TotalNumberOfEntries);
        c.Field(r.SizeOfTheCentralDirectory);
        c.Field(r.OffsetOfStartOfCentralDirectory);
        c.Field(r.ZipfileCommentLength);
    }
};

// ZIP64 end of central directory record (the version 1 form, no extensible data).
struct TZAZip64CentralDirEnd {
    std::uint32_t Signature = 0;
    std::uint64_t SizeOfZip64CentralDirEnd = 0;
    std::uint16_t VersionMadeBy = 0;
    std::uint16_t VersionNeededToExtract = 0;
    std::uint32_t NumberOfThisDisk = 0;
    std::uint32_t NumberOfTheDiskWithTheStartOfTheCentralDirectory = 0;
    std::uint64_t TotalNumberOfEntriesOnThisDisk = 0;
    std::uint64_t TotalNumberOfEntries = 0;
    std::uint64_t SizeOfTheCentralDirectory = 0;
    std::uint64_t OffsetOfStartOfCentralDirectory = 0;
    static constexpr std::size_t kSize = 56;
    template <typename Self>
    static void Fields(Self& r, TZACursor& c) {
        c.Field(r.Signature);
        c.Field(r.SizeOfZip64CentralDirEnd);
        c.Field(r.VersionMadeBy);
        c.Field(r.VersionNeededToExtract);
        c.Field(r.NumberOfThisDisk);
        c.Field(r.NumberOfTheDiskWithTheStartOfTheCentralDirectory);
        c.Field(r.TotalNumberOfEntriesOnThisDisk);
        c.Field(r.TotalNumberOfEntries);
        c.Field(r.SizeOfTheCentralDirectory);
        c.Field(r.OffsetOfStartOfCentralDirectory);
    }
};

struct TZAZip64CentralDirEndLocator {
    std::uint32_t Signature = 0;
    std::uint32_t NumberOfTheDiskWithTheStartOfTheZip64CentralDirEnd = 0;
    std::uint64_t RelativeOffsetOfTheZip64CentralDirEnd = 0;
    std::uint32_t TotalNumberOfDisks = 0;
    static constexpr std::size_t kSize = 20;
    template <typename Self>
    static void Fields(Self& r, TZACursor& c) {
        c.Field(r.Signature);
        c.Field(r.NumberOfTheDiskWithTheStartOfTheZip64CentralDirEnd);
        c.Field(r.RelativeOffsetOfTheZip64CentralDirEnd);
        c.Field(r.TotalNumberOfDisks);
    }
};

// The head of one block of an extra field; DataSize bytes of data follow.
struct TZAExtraFieldHeader {
    std::uint16_t HeaderID = 0;
    std::uint16_t DataSize = 0;
    static constexpr std::size_t kSize = 4;
    template <typename Self>
    static void Fields(Self& r, TZACursor& c) {
        c.Field(r.HeaderID);
        c.Field(r.DataSize);
    }
};

// The data of the ZIP64 extended information block (0x0001). Only the values whose counterpart
// in the header is saturated (0xFFFFFFFF, or 0xFFFF for the disk) are present, in this order.
struct TZAZip64ExtendedInfo {
    std::int64_t UncompressedSize = 0;
    std::int64_t CompressedSize = 0;
    std::int64_t RelativeOffsetOfLocalHeader = 0;
    std::uint32_t DiskNumberStart = 0;
};

struct TZAZip64Present {
    bool UncompressedSize = false;
    bool CompressedSize = false;
    bool RelativeOffsetOfLocalHeader = false;
    bool DiskNumberStart = false;
    // What a central header with these fields carries in its block.
    static TZAZip64Present Of(const TZAZipCentralDir& header) {
        return {header.UncompressedSize == 0xFFFFFFFF, header.CompressedSize == 0xFFFFFFFF,
                header.RelativeOffsetOfLocalHeader == 0xFFFFFFFF, header.DiskNumberStart == 0xFFFF};
    }
    // A local header's block holds both sizes, always.
    static TZAZip64Present Local() { return {true, true, false, false}; }
    std::size_t Size() const {
        return (UncompressedSize ? 8 : 0) + (CompressedSize ? 8 : 0) + (RelativeOffsetOfLocalHeader ? 8 : 0) +
               (DiskNumberStart ? 4 : 0);
    }
};

template <typename Self>
void Zip64InfoFields(Self& info, TZAZip64Present present, TZACursor& c) {
    if (present.UncompressedSize) c.Field(info.UncompressedSize);
    if (present.CompressedSize) c.Field(info.CompressedSize);
    if (present.RelativeOffsetOfLocalHeader) c.Field(info.RelativeOffsetOfLocalHeader);
    if (present.DiskNumberStart) c.Field(info.DiskNumberStart);
}

} // namespace tarnwick
