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

namespace {

constexpr ULONGLONG kLeftFolderGrace = 10ull * 60 * 10000000; // ten minutes in 100 ns units

ULONGLONG asNumber(const FILETIME& time) {
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// Calls visit(name, isFolder) for each entry of folder that is no link.
template <class Visit>
void forEachEntry(const std::string& folder, Visit visit) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == ".." || (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) continue;
        visit(name, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

// Items keep the attributes they had in the archive, read-only among them.
bool deleteOurFile(const std::string& path) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(path.c_str()) != 0;
}

} // namespace

std::vector<std::string> sweepLeftTemporaryFolders(const std::string& base) {
    std::vector<std::string> candidates;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((base + "\\TarnwickInstaller.*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return {};
    do {
        const bool folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        const bool link = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        // A folder changed lately may belong to a setup that is starting and holds nothing yet.
        const bool settled = asNumber(now) > asNumber(found.ftLastWriteTime) + kLeftFolderGrace;
        if (folder && !link && settled && isLeftTemporaryFolderName(found.cFileName))
            candidates.push_back(base + "\\" + found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);

    std::vector<std::string> removed;
    for (const std::string& folder : candidates) {
        const std::string package = folder + "\\_setupDEC";
        if (GetFileAttributesA(package.c_str()) != INVALID_FILE_ATTRIBUTES && !deleteOurFile(package)) continue;
        forEachEntry(folder, [&](const std::string& name, bool isFolder) {
            const std::string path = folder + "\\" + name;
            if (!isFolder && isLeftTemporaryFile(name)) {
                deleteOurFile(path);
            } else if (isFolder && isLeftItemFolderName(name)) {
                forEachEntry(path, [&](const std::string& item, bool itemIsFolder) {
                    if (!itemIsFolder && isLeftItemFileName(item)) deleteOurFile(path + "\\" + item);
                });
                RemoveDirectoryA(path.c_str());
            }
        });
        if (RemoveDirectoryA(folder.c_str())) removed.push_back(folder);
    }
    return removed;
}

} // namespace tarnwick
