// Reading a built setup folder back, for inspect and verify: the deciphered package, and the
// deciphered data archive in a temporary file the archive component can open.
#pragma once

#include "package/package_layout.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick::pack {

struct TLoadedPackage {
    TPackage package;
    bool signatureOk = false;
    bool isShort = false;           // the counts promise more records than the file holds
    std::uint64_t trailingBytes = 0; // bytes after the shortcut list
    std::string problem;            // set when the file could not be read or deciphered
};

// _setup.pkg enciphered as shipped, or already deciphered (told by its signature).
TLoadedPackage loadPackageFile(const std::filesystem::path& path);

// Deciphers an enciphered data file into a new temporary file and removes it again on
// destruction. path() is empty when that failed; problem() says why.
class TDecipheredArchive {
public:
    explicit TDecipheredArchive(const std::filesystem::path& dataFile);
    ~TDecipheredArchive();
    TDecipheredArchive(const TDecipheredArchive&) = delete;
    TDecipheredArchive& operator=(const TDecipheredArchive&) = delete;
    const std::filesystem::path& path() const { return path_; }
    const std::string& problem() const { return problem_; }

private:
    std::filesystem::path path_;
    std::string problem_;
};

// The item number a data-archive name stands for ("12.twi" -> 12), or nothing for another name.
std::optional<std::int32_t> itemNumberOf(const std::string& name);

} // namespace tarnwick::pack
