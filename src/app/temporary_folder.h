// The setup program's private temporary folder, made on the real file system (Win32).
#pragma once

#include <functional>
#include <string>

namespace tarnwick {

// Creates base with its missing parents, then a folder temporaryFolderName(base, draw()) that did
// not exist before; a name already taken (by anyone) is never used: another number is drawn.
// Returns the new folder's path (ending with a backslash), or empty when none could be made.
std::string createPrivateTemporaryFolder(const std::string& base, const std::function<int()>& draw);

} // namespace tarnwick
