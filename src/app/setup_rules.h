// The setup program's rules that need no window: run mode, setup folder, the temporary folder's
// name, texts with the product name, the settings summary, the browse decision and the
// background gradient. Portable: the windows call these; tests call them natively with made-up
// inputs. The folder itself is made by temporary_folder.h.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// The part of a program path after its last backslash or colon.
std::string programFileName(std::string_view programPath);

// Uninstall when the first argument is exactly "-uninstall", or else when the program's file name,
// lower-cased, is not "setup.exe".
bool isUninstallRun(std::string_view firstArgument, std::string_view programPath);

// The program's folder: cut at the last backslash (none: empty), then one trailing backslash
// dropped ("E:\setup.exe" gives "E:").
std::string setupFolderOf(std::string_view programPath);

std::string withoutTrailingBackslash(std::string_view path); // drops one, if there is one

// What a run of setup leaves in its temporary folder when it is killed, and nothing else: a later
// run removes these names, and only these, from folders named like temporaryFolderName's.
// isLeftTemporaryFolderName: "TarnwickInstaller." and a number from 0 to 32767, nothing more.
bool isLeftTemporaryFolderName(std::string_view name);
// A file of ours directly in such a folder: "_setup", "_setupDEC" or "_setup_datDEC" (any case).
bool isLeftTemporaryFile(std::string_view name);
// A folder of unpacked items in it: "items" and a number; and a file in that folder: "<n>.twi".
bool isLeftItemFolderName(std::string_view name);
bool isLeftItemFileName(std::string_view name);

// base + "\TarnwickInstaller." + n + "\".
std::string temporaryFolderName(std::string_view base, int n);

// Every "%s" in pattern replaced by product; nothing else in either text is interpreted.
std::string withProductName(std::string_view pattern, std::string_view product);

// The nine lines of the "Start Copyng Files" page.
std::vector<std::string> settingsSummary(const std::string& destination, const std::string& programFolder,
                                         const std::string& name, const std::string& company);

// "C:" for a path whose second character is a colon; "\\server\share" for a path that starts with
// two backslashes and names a server and a share; otherwise empty.
std::string drivePartOf(std::string_view path);

enum class TBrowseOutcome {
    Unchanged, // the path is what the page already shows
    Invalid,   // no drive or share: the invalid-path message, destination kept
    Accept,    // an existing folder: taken without a question
    AskCreate, // not there yet: taken only when the user agrees
};
TBrowseOutcome browseOutcome(const std::string& newPath, const std::string& shownPath,
                             const std::function<bool(const std::string&)>& isFolder);

// Blue of the background window's gradient for rows 0..511: an S-shaped fall from 255 to 0
// through the designed values at rows 0, 63, 127, ..., 511 (monotone cubic between them).
std::array<std::uint8_t, 512> backgroundGradient();

} // namespace tarnwick
