// Making a folder with its missing parents: one rule for the installation run and the setup
// program's temporary folder. The root of a path, a drive ("C:", "C:\") or a network share
// ("\\server\share"), is never created: it is there or the folder cannot be made.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tarnwick {

// How many leading characters of path are its root: 2 or 3 for a drive ("C:" or "C:\"), the
// length of "\\server\share" for a share (the whole path when it names no share), 1 for a path
// that starts at the root of the current drive, 0 for a relative path. "/" counts as "\".
std::size_t folderRootLength(std::string_view path);

// Creates path and each missing parent below its root; true when path is a folder afterwards.
// A parent that cannot be made (a file in the way, a missing drive or share) fails the whole.
// Win32 only.
bool createFolderWithParents(const std::string& path);

} // namespace tarnwick
