#include "engine/uninstall_run.h"

#include "engine/file_checks.h"
#include "engine/program_folder_rules.h"
#include "engine/registry_entries.h"

#include <windows.h>

#include <utility>
#include <vector>

namespace tarnwick {
namespace {

// A record cut short by the end of the package is never acted on: a truncated path could name
// another file.
void removeFiles(TPackageReader& package, std::int32_t count, TRunHost& host, const TPlaceholderFolders& folders,
                 std::vector<std::string>& folderList) {
    for (std::int32_t i = 0; i < count; ++i) {
        const TFileRecord record = package.ReadFileRecord();
        if (package.IsShort()) return;
        const std::string path = ExpandPlaceholders(record.path, folders);
        if (record.type == frFolder) {
            if (!path.empty() && folderExists(path)) folderList.push_back(path);
        } else if (record.type == frFile) {
            if (record.itemNumber != kUntrackedItem) DeleteFileA(path.c_str());
            host.StepProgress();
        }
    }
}

// The uninstall entry, then the product key and the publisher key; returns what the product key
// said about the program folder.
struct TSavedProgramFolder {
    std::string name;
    bool created = false;
};

void removeUninstallEntry(TRegistryAccess& registry, const TRunState& state) {
    registry.SetRoot(HKEY_LOCAL_MACHINE);
    if (!registry.OpenKey(kUninstallKey)) return;
    if (registry.OpenKey(std::string(kUninstallKey) + "\\" + state.productName)) {
        registry.DeleteValue("DisplayName");
        registry.DeleteValue("UninstallString");
    }
    registry.OpenKey(kUninstallKey);
    registry.DeleteKey(state.productName);
}

TSavedProgramFolder removeProductKey(TRegistryAccess& registry, const TRunState& state) {
    TSavedProgramFolder saved;
    if (!registry.OpenKey("SOFTWARE")) return saved;
    const std::string publisherKey = "SOFTWARE\\" + state.publisherName;
    if (registry.OpenKey(publisherKey)) {
        if (registry.OpenKey(productKeyPath(state))) {
            registry.DeleteValue("Company");
            registry.DeleteValue("Name");
            saved.name = registry.ReadString("Program Folder");
            registry.DeleteValue("Program Folder");
            saved.created = registry.ReadString(kProgramFolderCreatedValue) == "1";
            registry.DeleteValue(kProgramFolderCreatedValue);
        }
        registry.OpenKey(publisherKey);
        registry.DeleteKey(state.productName);
    }
    // Refused by the platform while other products of the publisher remain.
    registry.OpenKey("SOFTWARE");
    registry.DeleteKey(state.publisherName);
    return saved;
}

// Removes the program folder when the installation created it for this product. Otherwise the
// folder is shared, or the name leads somewhere it must not: only the shortcut files this product
// put there go, and the folder itself only if that leaves it empty.
void removeProgramFolder(const TRunState& state, const TSavedProgramFolder& saved,
                         const std::vector<TShortcutRecord>& shortcuts) {
    if (state.programsMenuFolder.empty()) return;
    const std::string name = saved.name.empty() ? state.programFolderName : saved.name;
    const TProgramFolderPlacement placement = classifyProgramFolder(name);
    if (placement == TProgramFolderPlacement::Outside) return;
    const std::string folder = placement == TProgramFolderPlacement::Root ? state.programsMenuFolder
                                                                          : state.programsMenuFolder + "\\" + name;
    if (placement == TProgramFolderPlacement::Inside && saved.created) {
        EmptyFolder(folder);
        RemoveDirectoryA(folder.c_str());
        return;
    }
    if (isPlainFileName(state.productName)) DeleteFileA((folder + "\\" + state.productName + ".lnk").c_str());
    for (const TShortcutRecord& shortcut : shortcuts) {
        if (isPlainFileName(shortcut.shortcutName))
            DeleteFileA((folder + "\\" + shortcut.shortcutName + ".lnk").c_str());
    }
    if (placement == TProgramFolderPlacement::Inside) RemoveDirectoryA(folder.c_str());
}

} // namespace

void EmptyFolder(const std::string& path) {
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = entry.cFileName;
        if (name == "." || name == "..") continue;
        const std::string full = path + "\\" + name;
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            // A junction or folder link is removed as a link; its target is not ours to empty.
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) EmptyFolder(full);
            RemoveDirectoryA(full.c_str());
        } else {
            DeleteFileA(full.c_str());
        }
    } while (FindNextFileA(search, &entry));
    FindClose(search);
}

void runUninstallation(TRunHost& host, const TRunState& state, TPackageReader& package, TRegistryAccess& registry) {
    std::vector<std::string> folderList;
    host.ProcessMessages();
    SetCurrentDirectoryA(state.setupFolder.c_str());
    host.SetProgressMax(state.itemCount);
    host.SetProgressLabel("Deleting files...");
    host.ProcessMessages();

    const TPlaceholderFolders folders = placeholderFolders(state);
    removeFiles(package, state.fileRecordCount, host, folders, folderList);
    // Last listed first, so nested folders listed parent first go child first.
    for (auto it = folderList.rbegin(); it != folderList.rend(); ++it) RemoveDirectoryA(it->c_str());
    folderList.clear();

    host.FillAndResetProgress();
    host.SetProgressLabel("Setup is deleting icons...");
    host.ProcessMessages();
    DeleteFileA((state.desktopFolder + "\\" + state.productName + ".lnk").c_str());
    host.FillAndResetProgress();

    host.SetProgressLabel("Setup is updating registry information...");
    host.ProcessMessages();
    for (std::int32_t i = 0; i < state.registryRecordCount; ++i) {
        const TRegistryRecord record = package.ReadRegistryRecord();
        if (package.IsShort()) break;
        undoRegistryRecord(registry, record);
        if (isProgressRecord(record)) host.StepProgress();
    }
    // The shortcut list behind the registry records names the extra shortcuts of the program folder.
    std::vector<TShortcutRecord> shortcuts;
    const std::int32_t shortcutCount = package.IsShort() ? 0 : package.ReadShortcutCount();
    for (std::int32_t i = 0; i < shortcutCount; ++i) {
        TShortcutRecord shortcut = package.ReadShortcutRecord();
        if (package.IsShort()) break;
        shortcuts.push_back(std::move(shortcut));
    }

    removeUninstallEntry(registry, state);
    const TSavedProgramFolder saved = removeProductKey(registry, state);
    removeProgramFolder(state, saved, shortcuts);

    host.SetProgressPosition(host.ProgressMax());
    host.ProcessMessages();
    host.Terminate();
}

} // namespace tarnwick
