// Small ZIP archives built in memory for the tests: every record is written field by field, so a
// test can break exactly one thing (a size, a CRC, a signature) and see what the reader does.
#pragma once

#include <zlib.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/byte_order.h"
#include "zip/zacrypt.h"
#include "zip/zadirmanager.h"
#include "zip/ziparchiver.h"

namespace tarnwick::test {

struct FixtureEntry {
    std::string name{};
    std::string data{};
    std::uint16_t method = 8;  // 0 stored, 8 deflate; others are written as given (data stored)
    std::string password{};      // non-empty: traditional encryption
    bool descriptor = false;   // sizes and CRC after the data; local fields 0
    std::uint32_t attributes = 0x20;
    std::uint16_t dosTime = 0x6000;  // 12:00:00
    std::uint16_t dosDate = 0x5A21;  // 2025-01-01
    std::uint16_t versionNeeded = 20;
    std::uint16_t extraFlags = 0;  // ORed into the general purpose flags (0x0800: UTF-8 name)
    std::string comment{};
    bool zip64 = false;  // sizes and offset as 0xFFFFFFFF with a ZIP64 extra block
    std::string centralExtra{};  // appended raw to the central extra field
    std::optional<std::uint32_t> crcOverride{};
    std::optional<std::string> storedName{};  // raw bytes of the name in both headers
    std::optional<std::string> payload{};     // raw bytes in place of the compressed data
};

struct FixtureArchive {
    std::vector<FixtureEntry> entries;
    std::string comment;
    std::string stub;                 // bytes in front of the ZIP data
    bool offsetsFromFileStart = true; // false: offsets count from the start of the ZIP data
    bool zip64End = false;            // write ZIP64 end record and locator
};

inline void put16(std::string& s, std::uint16_t v) {
    char b[2];
    storeLE16(b, v);
    s.append(b, 2);
}
inline void put32(std::string& s, std::uint32_t v) {
    char b[4];
    storeLE32(b, v);
    s.append(b, 4);
}
inline void put64(std::string& s, std::uint64_t v) {
    char b[8];
    storeLE64(b, v);
    s.append(b, 8);
}

inline std::string rawDeflate(const std::string& data) {
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, data.size()) + 16, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

struct FixedRandom final : TZARandomSource {
    void Fill(unsigned char* bytes, int count) override {
        for (int i = 0; i < count; ++i) bytes[i] = static_cast<unsigned char>(0x11 * (i + 1));
    }
};

inline std::string buildZip(const FixtureArchive& archive) {
    std::string out = archive.stub;
    const std::size_t base = archive.offsetsFromFileStart ? 0 : archive.stub.size();
    std::string central;
    for (const FixtureEntry& e : archive.entries) {
        const std::string name = e.storedName.value_or(e.name);
        const std::uint32_t crc = e.crcOverride.value_or(ZACrc32(e.data.data(), e.data.size()));
        std::string body = e.payload.value_or(e.method == 8 ? rawDeflate(e.data) : e.data);
        std::uint16_t flags = static_cast<std::uint16_t>((e.descriptor ? 0x0008 : 0) | e.extraFlags);
        if (!e.password.empty()) {
            flags |= 1;
            FixedRandom random;
            std::int64_t keys[3];
            unsigned char header[12];
            ZipMakeEncryptionHeader(e.password, crc, random, keys, header);
            // With a descriptor the check byte is the time's high byte.
            if (e.descriptor) {
                ZipEncryptKeyInit(e.password, keys);
                unsigned char plain[12];
                random.Fill(plain, 10);
                plain[10] = 0;
                plain[11] = static_cast<unsigned char>(e.dosTime >> 8);
                for (int i = 0; i < 12; ++i) header[i] = ZipEncryptByte(plain[i], keys);
            }
            ZipEncryptBuffer(static_cast<int>(body.size()), 0, body.data(), keys);
            body.insert(0, reinterpret_cast<const char*>(header), 12);
        }
        const std::uint64_t offset = out.size() - base;
        std::string zip64Extra;
        if (e.zip64) {
            put16(zip64Extra, 1);
            put16(zip64Extra, 24);
            put64(zip64Extra, e.data.size());
            put64(zip64Extra, body.size());
            put64(zip64Extra, offset);
        }
        // Local header.
        put32(out, kLocalHeaderSignature);
        put16(out, e.versionNeeded);
        put16(out, flags);
        put16(out, e.method);
        put16(out, e.dosTime);
        put16(out, e.dosDate);
        put32(out, e.descriptor ? 0 : crc);
        put32(out, e.descriptor ? 0 : static_cast<std::uint32_t>(body.size()));
        put32(out, e.descriptor ? 0 : static_cast<std::uint32_t>(e.data.size()));
        put16(out, static_cast<std::uint16_t>(name.size()));
        put16(out, 0);
        out += name;
        out += body;
        if (e.descriptor) {
            put32(out, kDataDescriptorSignature);
            put32(out, crc);
            put32(out, static_cast<std::uint32_t>(body.size()));
            put32(out, static_cast<std::uint32_t>(e.data.size()));
        }
        const std::string extra = zip64Extra + e.centralExtra;
        put32(central, kCentralHeaderSignature);
        put16(central, 20);
        put16(central, e.versionNeeded);
        put16(central, flags);
        put16(central, e.method);
        put16(central, e.dosTime);
        put16(central, e.dosDate);
        put32(central, crc);
        put32(central, e.zip64 ? 0xFFFFFFFF : static_cast<std::uint32_t>(body.size()));
        put32(central, e.zip64 ? 0xFFFFFFFF : static_cast<std::uint32_t>(e.data.size()));
        put16(central, static_cast<std::uint16_t>(name.size()));
        put16(central, static_cast<std::uint16_t>(extra.size()));
        put16(central, static_cast<std::uint16_t>(e.comment.size()));
        put16(central, 0);
        put16(central, 0);
        put32(central, e.attributes);
        put32(central, e.zip64 ? 0xFFFFFFFF : static_cast<std::uint32_t>(offset));
        central += name + extra + e.comment;
    }
    const std::uint64_t centralOffset = out.size() - base;
    out += central;
    if (archive.zip64End) {
        const std::uint64_t endOffset = out.size() - base;
        put32(out, kZip64EndSignature);
        put64(out, 44);
        put16(out, 45);
        put16(out, 45);
        put32(out, 0);
        put32(out, 0);
        put64(out, archive.entries.size());
        put64(out, archive.entries.size());
        put64(out, central.size());
        put64(out, centralOffset);
        put32(out, kZip64LocatorSignature);
        put32(out, 0);
        put64(out, endOffset + (archive.offsetsFromFileStart ? 0 : archive.stub.size()));
        put32(out, 1);
    }
    put32(out, kEndSignature);
    put16(out, 0);
    put16(out, 0);
    put16(out, static_cast<std::uint16_t>(archive.entries.size()));
    put16(out, static_cast<std::uint16_t>(archive.entries.size()));
    put32(out, static_cast<std::uint32_t>(central.size()));
    put32(out, static_cast<std::uint32_t>(centralOffset));
    put16(out, static_cast<std::uint16_t>(archive.comment.size()));
    out += archive.comment;
    return out;
}

// A private folder below the system's temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder() {
        std::mt19937_64 random(static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
        path_ = std::filesystem::temp_directory_path() / ("tarnwick-zip-test-" + std::to_string(random()));
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ec;
        // Read-only files left by a test would stop the removal on Windows.
        for (auto& entry : std::filesystem::recursive_directory_iterator(path_, ec)) {
            std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_write, std::filesystem::perm_options::add, ec);
        }
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }
    std::string file(const std::string& relative) const { return (path_ / relative).string(); }
    void write(const std::string& relative, const std::string& bytes) const {
        const auto p = path_ / relative;
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    std::optional<std::string> read(const std::string& relative) const {
        std::ifstream in(path_ / relative, std::ios::binary);
        if (!in) return std::nullopt;
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    std::filesystem::path path_;
};

// An archiver on an archive held in memory; every default dialog is replaced so no test waits.
struct Failure {
    std::string name;
    int native;
    int code;
    std::string message;
};

class MemoryArchive {
public:
    explicit MemoryArchive(const std::string& bytes, bool open = true) {
        memory.Write(bytes.data(), bytes.size());
        archiver.Name = "ZipArchiver1";
        archiver.OnProcessFileFailure = [this](TObject*, const std::string& name, TZAProcessOperation, int native,
                                               int code, const std::string& message, TZAAction& action) {
            failures.push_back({name, native, code, message});
            action = fxaIgnore;
        };
        archiver.OnPassword = [](TObject*, const std::string&, std::string&, bool& skip) { skip = true; };
        archiver.OnConfirmOverwrite = [](TObject*, const std::string&, std::string&, bool& confirm) { confirm = false; };
        if (open) archiver.OpenArchive(&memory, false);
    }
    TMemoryStream memory;  // declared first: it outlives the archiver that reads it
    TZipArchiver archiver{nullptr};
    std::vector<Failure> failures;
};

} // namespace tarnwick::test
