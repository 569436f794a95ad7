// Where a program folder name leads inside the Programs menu folder. The installation records
// whether it created the folder, and the uninstallation empties only a folder that is the
// product's own; a name that is empty or climbs out must never turn the Programs menu folder, or
// anything above it, into the folder to empty.
#pragma once

#include <string_view>

namespace tarnwick {

enum class TProgramFolderPlacement {
    Inside,  // a folder strictly below the Programs menu folder
    Root,    // the Programs menu folder itself (an empty name, ".", "\")
    Outside, // absolute, with a drive, or climbing out with ".." (or a dots-only component)
};

TProgramFolderPlacement classifyProgramFolder(std::string_view name);

// Whether a shortcut name stays a plain file name in its folder (no separators, no drive, not a
// dots-only name).
bool isPlainFileName(std::string_view name);

} // namespace tarnwick
