#include "package/package_reader.h"

#include "core/byte_order.h"

#include <cstring>

namespace tarnwick {
namespace {

// A text field: the bytes up to the first zero byte, at most the whole field.
std::string textField(const unsigned char* field) {
    const void* zero = std::memchr(field, 0, kPackageTextSize);
    const std::size_t length =
        zero == nullptr ? kPackageTextSize : static_cast<std::size_t>(static_cast<const unsigned char*>(zero) - field);
    return std::string(reinterpret_cast<const char*>(field), length);
}

std::int32_t int32Field(const unsigned char* field) { return static_cast<std::int32_t>(loadLE32(field)); }

} // namespace

void TPackageReader::readRecord(unsigned char* buffer, std::size_t size) {
    std::size_t got = 0;
    if (!short_) {
        // A source may deliver less than asked without being at its end (a pipe); only a zero read ends it.
        while (got < size) {
            const std::size_t n = source_.Read(buffer + got, size - got);
            if (n == 0) break;
            got += n;
        }
    }
    bytesRead_ += got;
    if (got < size) {
        short_ = true;
        std::memset(buffer + got, 0, size - got);
    }
}

std::string TPackageReader::ReadSignature() {
    unsigned char raw[kPackageSignatureSize];
    readRecord(raw, sizeof raw);
    return std::string(reinterpret_cast<const char*>(raw), sizeof raw);
}

void TPackageReader::ReadHeaderFields(TPackageHeader& header) {
    unsigned char raw[kPackageHeaderSize - kPackageSignatureSize];
    readRecord(raw, sizeof raw);
    const unsigned char* p = raw;
    header.productName = textField(p);
    header.publisherName = textField(p += kPackageTextSize);
    header.destinationTemplate = textField(p += kPackageTextSize);
    header.pictureName = textField(p += kPackageTextSize);
    header.programFolderName = textField(p += kPackageTextSize);
    p += kPackageTextSize;
    header.reserved = int32Field(p);
    header.mainItemNumber = int32Field(p + 4);
    header.itemCount = int32Field(p + 8);
    header.fileRecordCount = int32Field(p + 12);
    header.registryRecordCount = int32Field(p + 16);
}

TPackageHeader TPackageReader::ReadHeader() {
    TPackageHeader header;
    header.signature = ReadSignature();
    ReadHeaderFields(header);
    return header;
}

TFileRecord TPackageReader::ReadFileRecord() {
    unsigned char raw[kFileRecordSize];
    readRecord(raw, sizeof raw);
    return TFileRecord{int32Field(raw), int32Field(raw + 4), textField(raw + 8)};
}

TRegistryRecord TPackageReader::ReadRegistryRecord() {
    unsigned char raw[kRegistryRecordSize];
    readRecord(raw, sizeof raw);
    return TRegistryRecord{int32Field(raw), int32Field(raw + 4), textField(raw + 8),
                           textField(raw + 8 + kPackageTextSize)};
}

std::int32_t TPackageReader::ReadShortcutCount() {
    unsigned char raw[kShortcutCountSize];
    readRecord(raw, sizeof raw);
    return int32Field(raw);
}

TShortcutRecord TPackageReader::ReadShortcutRecord() {
    unsigned char raw[kShortcutRecordSize];
    readRecord(raw, sizeof raw);
    return TShortcutRecord{textField(raw), textField(raw + kPackageTextSize)};
}

TPackage readPackage(TPackageReader& reader) {
    TPackage package;
    package.header = reader.ReadHeader();
    for (std::int32_t i = 0; i < package.header.fileRecordCount && !reader.IsShort(); ++i) {
        TFileRecord record = reader.ReadFileRecord();
        if (!reader.IsShort()) package.files.push_back(std::move(record));
    }
    for (std::int32_t i = 0; i < package.header.registryRecordCount && !reader.IsShort(); ++i) {
        TRegistryRecord record = reader.ReadRegistryRecord();
        if (!reader.IsShort()) package.registry.push_back(std::move(record));
    }
    if (reader.IsShort()) return package;
    const std::int32_t shortcutCount = reader.ReadShortcutCount();
    for (std::int32_t i = 0; i < shortcutCount && !reader.IsShort(); ++i) {
        TShortcutRecord record = reader.ReadShortcutRecord();
        if (!reader.IsShort()) package.shortcuts.push_back(std::move(record));
    }
    return package;
}

} // namespace tarnwick
