// The setup program's private temporary folder, made on the real file system (Win32).
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tarnwick {

// Creates base with its missing parents, then a folder temporaryFolderName(base, draw()) that did
// not exist before; a name already taken (by anyone) is never used: another number is drawn.
// Returns the new folder's path (ending with a backslash), or empty when none could be made.
std::string createPrivateTemporaryFolder(const std::string& base, const std::function<int()>& draw);

// Removes what runs of setup that were killed left under base: folders named like ours
// (isLeftTemporaryFolderName) unchanged for ten minutes and held by no running setup, and in them
// only the files and item folders setup makes; a folder is removed only when that empties it. A
// running setup keeps "_setupDEC" open without sharing, so its folder is never touched; nor is a
// link, or anything of another name. Returns the folders removed.
std::vector<std::string> sweepLeftTemporaryFolders(const std::string& base);

} // namespace tarnwick
