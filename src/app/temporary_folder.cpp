#include "app/temporary_folder.h"

#include <windows.h>

#include "app/setup_rules.h"
#include "engine/folder_creation.h"

namespace tarnwick {

std::string createPrivateTemporaryFolder(const std::string& base, const std::function<int()>& draw) {
    if (!createFolderWithParents(base)) return {};
    // A base crowded with such folders gives up after a bounded number of draws rather than spin.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::string folder = temporaryFolderName(base, draw());
        if (CreateDirectoryA(folder.c_str(), nullptr)) return folder;
        if (GetLastError() != ERROR_ALREADY_EXISTS) return {};
    }
    return {};
}

} // namespace tarnwick
