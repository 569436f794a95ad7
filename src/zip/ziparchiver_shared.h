// What the archiver's activity files share, each defined once: the directory and record types,
// the batch lock, a flag put back on every way out, and the path pieces they all cut names into.
// Private to the component: callers include ziparchiver.h.
#pragma once

#include <string>

#include "zip/zadirmanager.h"
#include "zip/zaexcept.h"
#include "zip/zarecords.h"
#include "zip/ziparchiver.h"

namespace tarnwick {

// A new volume is taken only with more than this many bytes free on its drive.
constexpr std::int64_t kMinimumVolumeFreeSpace = 65536;

// Holds the process-wide batch lock for a scope.
struct BatchLock {
    BatchLock() { TZABaseArchiver::Lock(); }
    ~BatchLock() { TZABaseArchiver::Unlock(); }
    BatchLock(const BatchLock&) = delete;
    BatchLock& operator=(const BatchLock&) = delete;
};

// Puts a flag back on every way out of a scope.
class FlagRestorer {
public:
    explicit FlagRestorer(bool& flag) : flag_(flag), saved_(flag) {}
    ~FlagRestorer() { flag_ = saved_; }
    FlagRestorer(const FlagRestorer&) = delete;
    FlagRestorer& operator=(const FlagRestorer&) = delete;

private:
    bool& flag_;
    bool saved_;
};

// The folder part of a path with its trailing separator ("\" or "/"), empty for a bare name.
inline std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The last part of a path.
inline std::string nameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace tarnwick
