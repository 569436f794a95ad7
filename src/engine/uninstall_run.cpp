#include "engine/uninstall_run.h"

#include "engine/file_checks.h"
#include "engine/program_folder_rules.h"
#include "engine/registry_entries.h"
#include "engine/system_error.h"

#include <windows.h>

#include <utility>
#include <vector>

namespace tarnwick {
namespace {

// A record cut short by the end of the package is never acted on: a truncated path could name
// another file.
void removeFiles(TPackageReader& package, std::int32_t count, TRunHost& host, const TPlaceholderFolders& folders,
                 std::vector<std::string>& folderList, std::vector<std::string>& inUse) {
    for (std::int32_t i = 0; i < count; ++i) {
        const TFileRecord record = package.ReadFileRecord();
        if (package.IsShort()) return;
        const std::string path = ExpandPlaceholders(record.path, folders);
        if (record.type == frFolder) {
            if (!path.empty() && folderExists(path)) folderList.push_back(path);
        } else if (record.type == frFile) {
            if (record.itemNumber != kUntrackedItem) {
                if (DeleteFileA(path.c_str())) {
                    host.Log("File removed: " + path);
                } else if (const DWORD error = GetLastError(); error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
                    // A running program, or a file another program holds: it stays, and the user
                    // is told which; Windows removes it when it next starts.
                    host.Log(withSystemError("File not removed: " + path, error));
                    inUse.push_back(path);
                }
            }
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

// Deletes a value of the open key and logs it when it was there.
void deleteLoggedValue(TRegistryAccess& registry, TRunHost& host, const std::string& key, const std::string& name) {
    if (registry.DeleteValue(name))
        host.Log("Registry value removed: HKEY_LOCAL_MACHINE\\" + key + "\\" + name);
    else if (registry.LastError != ERROR_FILE_NOT_FOUND)
        host.Log(withSystemError("Registry value not removed: HKEY_LOCAL_MACHINE\\" + key + "\\" + name,
                                 static_cast<DWORD>(registry.LastError)));
}

void deleteLoggedKey(TRegistryAccess& registry, TRunHost& host, const std::string& parent, const std::string& name) {
    if (registry.DeleteKey(name)) host.Log("Registry key removed: HKEY_LOCAL_MACHINE\\" + parent + "\\" + name);
}

void removeUninstallEntry(TRegistryAccess& registry, TRunHost& host, const TRunState& state) {
    registry.SetRoot(HKEY_LOCAL_MACHINE);
    if (!registry.OpenKey(kUninstallKey)) return;
    const std::string entry = std::string(kUninstallKey) + "\\" + state.productName;
    if (registry.OpenKey(entry)) {
        deleteLoggedValue(registry, host, entry, "DisplayName");
        deleteLoggedValue(registry, host, entry, "UninstallString");
        deleteLoggedValue(registry, host, entry, "QuietUninstallString");
    }
    registry.OpenKey(kUninstallKey);
    deleteLoggedKey(registry, host, kUninstallKey, state.productName);
}

TSavedProgramFolder removeProductKey(TRegistryAccess& registry, TRunHost& host, const TRunState& state) {
    TSavedProgramFolder saved;
    if (!registry.OpenKey("SOFTWARE")) return saved;
    const std::string publisherKey = "SOFTWARE\\" + state.publisherName;
    if (registry.OpenKey(publisherKey)) {
        const std::string productKey = productKeyPath(state);
        if (registry.OpenKey(productKey)) {
            deleteLoggedValue(registry, host, productKey, "Company");
            deleteLoggedValue(registry, host, productKey, "Name");
            saved.name = registry.ReadString("Program Folder");
            deleteLoggedValue(registry, host, productKey, "Program Folder");
            saved.created = registry.ReadString(kProgramFolderCreatedValue) == "1";
            deleteLoggedValue(registry, host, productKey, kProgramFolderCreatedValue);
        }
        registry.OpenKey(publisherKey);
        deleteLoggedKey(registry, host, publisherKey, state.productName);
    }
    // Refused by the platform while other products of the publisher remain.
    registry.OpenKey("SOFTWARE");
    deleteLoggedKey(registry, host, "SOFTWARE", state.publisherName);
    return saved;
}

// Removes the program folder when the installation created it for this product. Otherwise the
// folder is shared, or the name leads somewhere it must not: only the shortcut files this product
// put there go, and the folder itself only if that leaves it empty.
void removeProgramFolder(TRunHost& host, const TRunState& state, const TSavedProgramFolder& saved,
                         const std::vector<TShortcutRecord>& shortcuts) {
    if (state.programsMenuFolder.empty()) return;
    const std::string name = saved.name.empty() ? state.programFolderName : saved.name;
    const TProgramFolderPlacement placement = classifyProgramFolder(name);
    if (placement == TProgramFolderPlacement::Outside) return;
    const std::string folder = placement == TProgramFolderPlacement::Root ? state.programsMenuFolder
                                                                          : state.programsMenuFolder + "\\" + name;
    if (placement == TProgramFolderPlacement::Inside && saved.created) {
        EmptyFolder(folder);
        if (RemoveDirectoryA(folder.c_str())) host.Log("Program folder removed with its shortcuts: " + folder);
        return;
    }
    const auto removeLink = [&](const std::string& linkName) {
        const std::string link = folder + "\\" + linkName + ".lnk";
        if (DeleteFileA(link.c_str())) host.Log("Shortcut removed: " + link);
    };
    if (isPlainFileName(state.productName)) removeLink(state.productName);
    for (const TShortcutRecord& shortcut : shortcuts)
        if (isPlainFileName(shortcut.shortcutName)) removeLink(shortcut.shortcutName);
    if (placement == TProgramFolderPlacement::Inside && RemoveDirectoryA(folder.c_str()))
        host.Log("Program folder removed: " + folder);
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

namespace {

// Files that could not be removed because something holds them: removed when Windows next starts
// (with the folders they keep, which go then if nothing else is in them), and named to the user.
void reportFilesInUse(TRunHost& host, const std::vector<std::string>& files, const std::vector<std::string>& folders) {
    bool scheduled = true;
    std::string list;
    for (const std::string& file : files) {
        if (MoveFileExA(file.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT))
            host.Log("File to be removed when Windows restarts: " + file);
        else
            scheduled = false;
        list += "\n" + file;
    }
    if (scheduled)
        for (const std::string& folder : folders) MoveFileExA(folder.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    host.ShowMessage(std::string(files.size() == 1 ? "This file is" : "These files are") +
                     " in use and could not be removed:" + list + "\n" +
                     (scheduled ? "Windows will remove " + std::string(files.size() == 1 ? "it" : "them") +
                                      " when it restarts."
                                : "Please close the program using " + std::string(files.size() == 1 ? "it" : "them") +
                                      " and delete " + (files.size() == 1 ? "it" : "them") + " by hand."));
}

} // namespace

void runUninstallation(TRunHost& host, const TRunState& state, TPackageReader& package, TRegistryAccess& registry) {
    std::vector<std::string> folderList;
    host.ProcessMessages();
    SetCurrentDirectoryA(state.setupFolder.c_str());
    host.SetProgressMax(state.itemCount);
    host.SetProgressLabel("Deleting files...");
    host.ProcessMessages();

    const TPlaceholderFolders folders = placeholderFolders(state);
    std::vector<std::string> inUse;
    removeFiles(package, state.fileRecordCount, host, folders, folderList, inUse);
    // Last listed first, so nested folders listed parent first go child first.
    std::vector<std::string> foldersLeft;
    for (auto it = folderList.rbegin(); it != folderList.rend(); ++it) {
        if (RemoveDirectoryA(it->c_str()))
            host.Log("Folder removed: " + *it);
        else
            foldersLeft.push_back(*it);
    }
    folderList.clear();
    if (!inUse.empty()) reportFilesInUse(host, inUse, foldersLeft);

    host.FillAndResetProgress();
    host.SetProgressLabel("Setup is deleting icons...");
    host.ProcessMessages();
    const std::string desktopLink = state.desktopFolder + "\\" + state.productName + ".lnk";
    if (DeleteFileA(desktopLink.c_str())) host.Log("Shortcut removed: " + desktopLink);
    host.FillAndResetProgress();

    host.SetProgressLabel("Setup is updating registry information...");
    host.ProcessMessages();
    for (std::int32_t i = 0; i < state.registryRecordCount; ++i) {
        const TRegistryRecord record = package.ReadRegistryRecord();
        if (package.IsShort()) break;
        if (undoRegistryRecord(registry, record)) host.Log("Registry value removed: " + record.keyPath);
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

    removeUninstallEntry(registry, host, state);
    const TSavedProgramFolder saved = removeProductKey(registry, host, state);
    removeProgramFolder(host, state, saved, shortcuts);

    host.SetProgressPosition(host.ProgressMax());
    host.ProcessMessages();
    host.Terminate();
}

} // namespace tarnwick
