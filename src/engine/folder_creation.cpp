#include "engine/folder_creation.h"

#include <algorithm>

#include "engine/file_checks.h"

namespace tarnwick {

bool createFolderWithParents(const std::string& path) {
    const std::size_t root = folderRootLength(path);
    std::string folder = path;
    while (folder.size() > std::max<std::size_t>(root, 1) && (folder.back() == '\\' || folder.back() == '/')) {
        folder.pop_back();
    }
    if (folder.empty()) return false;
    if (folderExists(folder)) return true;
    if (folder.size() <= root) return false;
    const std::size_t cut = folder.find_last_of("\\/");
    if (cut != std::string::npos && cut >= root && cut > 0 && !createFolderWithParents(folder.substr(0, cut))) return false;
    return CreateDirectoryA(folder.c_str(), nullptr) != 0 || folderExists(folder);
}

} // namespace tarnwick
