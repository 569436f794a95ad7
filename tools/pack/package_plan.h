// From a manifest to what the setup folder will hold: the package records and the numbered items
// with their source files. All meaning is checked here, every fault reported with the place in the
// manifest it comes from; the plan is usable only when no error was reported.
//
// Record order, fixed so the same manifest always gives the same bytes:
//   folder records  the destination folder, every folder that holds an installed file (up to its
//                   placeholder's folder), [[folders]] and empty source folders; sorted, so a
//                   parent always comes before its children
//   file records    in manifest order, a source folder's files in byte order of their paths
//   registry        in manifest order, a key record before the first value of each key; then the
//                   uninstall entry's key and its extra values
//   shortcuts       in manifest order
// Items are numbered in the order of the file records; one source file installed to several places
// is one item, except the main program, which always has an item of its own (setup takes the main
// program's path from the last record that uses the main item).
#pragma once

#include "diagnostics.h"
#include "manifest.h"
#include "package/package_layout.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick::pack {

struct TPlannedItem {
    std::int32_t number = 0;
    std::filesystem::path source;
    std::uint64_t size = 0;
    std::int64_t modifiedUnix = 0; // seconds since 1970 UTC, already clamped to SOURCE_DATE_EPOCH
};

struct TPlanOptions {
    std::optional<std::int64_t> sourceDateEpoch;
};

struct TBuildPlan {
    TPackage package;
    std::vector<TPlannedItem> items; // items[i].number == i + 1
    std::filesystem::path picture;   // empty: none
    std::filesystem::path readme;    // empty: none
    std::vector<std::filesystem::path> sourceFolders; // absolute; the output must not lie inside one
};

inline constexpr const char* kUninstallKeyBase = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// Values the packager writes under the uninstall entry's key, in this order.
inline constexpr const char* kUninstallValueNames[] = {"DisplayVersion", "Publisher", "DisplayIcon", "InstallLocation",
                                                       "EstimatedSize", "URLInfoAbout", "HelpLink", "NoModify", "NoRepair"};

TBuildPlan planPackage(const TManifest& manifest, const TPlanOptions& options, TDiagnostics& diagnostics);

} // namespace tarnwick::pack
