// Folder placeholders at the start of a package path or value: "[INSTALLDIR]", "[PROGRAMFILES]",
// "[SYSTEMDIR]" and "[WINDIR]". A pure function of the text and the folders, so the setup
// program passes its live folders and tests pass fake ones.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

// Each folder without a trailing backslash.
struct TPlaceholderFolders {
    std::string installDir;      // the destination folder
    std::string programFilesDir; // the Program Files folder
    std::string systemDir;       // the Windows system directory
    std::string windowsDir;      // the Windows directory
};

// Replaces one placeholder at the very start of text (letter case ignored) by its folder, directly
// followed by the rest of the text; any other text comes back unchanged. The result is never cut.
std::string ExpandPlaceholders(std::string_view text, const TPlaceholderFolders& folders);

} // namespace tarnwick
