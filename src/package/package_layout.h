// The package file: a flat run of fixed-size little-endian fields, read strictly front to back.
//
//   header            2605 bytes  signature[25] product[512] publisher[512] destination[512]
//                                 picture[512] programFolder[512] reserved mainItem itemCount F R
//   file records      F x 520     type itemNumber path[512]
//   registry records  R x 1032    type valueKind keyPath[512] data[512]
//   shortcut list     4 + S x 1024  S, then S x (target[512] name[512])
//
// Integers are signed 32-bit. A text field ends at its first zero byte; a field without one holds
// 512 characters. There is no version, checksum or end marker: the signature is the only check,
// and the counts are the only structure. Setup programs already shipped read this layout, so any
// change to it needs a new signature word.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

inline constexpr std::size_t kPackageSignatureSize = 25;
inline constexpr std::string_view kPackageSignatureWord = "TarnwickInstaller"; // padded with spaces
inline constexpr std::size_t kPackageTextSize = 512;
inline constexpr std::size_t kPackageHeaderSize = 2605;
inline constexpr std::size_t kFileRecordSize = 520;
inline constexpr std::size_t kRegistryRecordSize = 1032;
inline constexpr std::size_t kShortcutCountSize = 4;
inline constexpr std::size_t kShortcutRecordSize = 1024;

// The signature as the packaging step writes it: the word padded with spaces to 25 bytes.
std::string packageSignature();
// Compares 25 raw bytes with the signature, ignoring letter case.
bool isPackageSignature(std::string_view raw);

struct TPackageHeader {
    std::string signature; // the 25 raw bytes as read
    std::string productName;
    std::string publisherName;
    std::string destinationTemplate; // may begin with a placeholder
    std::string pictureName;         // file beside the setup program; empty for none
    std::string programFolderName;   // empty: the product name
    std::int32_t reserved = 0;
    std::int32_t mainItemNumber = 0; // below 1: no main program
    std::int32_t itemCount = 0;      // N: items 1..N in the data archive
    std::int32_t fileRecordCount = 0;
    std::int32_t registryRecordCount = 0; // R: the number of registry records

    friend bool operator==(const TPackageHeader&, const TPackageHeader&) = default;
};

enum TFileRecordType : std::int32_t { frFolder = 0, frFile = 1 }; // other values: skipped

inline constexpr std::int32_t kUntrackedItem = -1; // a file record that is neither copied nor deleted

struct TFileRecord {
    std::int32_t type = frFile;
    std::int32_t itemNumber = 0;
    std::string path; // may begin with a placeholder

    friend bool operator==(const TFileRecord&, const TFileRecord&) = default;
};

enum TRegistryRecordType : std::int32_t { rrKey = 0, rrValue = 1 }; // other values: skipped

enum TRegistryValueKind : std::int32_t {
    rvNone = -1,
    rvString = 0,
    rvBinaryDigits = 1,
    rvNumber = 2,
    rvMultiString = 3,
    rvExpandString = 4,
};

struct TRegistryRecord {
    std::int32_t type = rrKey;
    std::int32_t valueKind = rvNone;
    std::string keyPath; // root name, one separator, the path below the root; never expanded
    std::string data;    // value records: may begin with a placeholder

    friend bool operator==(const TRegistryRecord&, const TRegistryRecord&) = default;
};

struct TShortcutRecord {
    std::string targetPath;   // may begin with a placeholder
    std::string shortcutName; // file name in the program folder without ".lnk"; never expanded

    friend bool operator==(const TShortcutRecord&, const TShortcutRecord&) = default;
};

// A whole package in memory, as the packager builds it and tests compare it.
struct TPackage {
    TPackageHeader header;
    std::vector<TFileRecord> files;
    std::vector<TRegistryRecord> registry;
    std::vector<TShortcutRecord> shortcuts;

    friend bool operator==(const TPackage&, const TPackage&) = default;
};

} // namespace tarnwick
