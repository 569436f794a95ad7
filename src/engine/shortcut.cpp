#include "engine/shortcut.h"

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

namespace tarnwick {

std::string shortcutWorkingFolder(const std::string& target) {
    const size_t cut = target.find_last_of("\\:");
    if (cut == std::string::npos) return {};
    std::string folder = target.substr(0, cut + 1);
    if (folder.size() >= 2 && folder.back() == '\\' && folder[folder.size() - 2] != ':' &&
        folder[folder.size() - 2] != '\\')
        folder.pop_back();
    return folder;
}

HRESULT CreateShortcut(const std::string& target, const std::string& linkFile, const std::string& description) {
    CoInitialize(nullptr); // counted by COM; never undone here, as the callers expect
    IShellLinkA* link = nullptr;
    HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                      reinterpret_cast<void**>(&link));
    if (FAILED(result)) return result;
    link->SetPath(target.c_str());
    link->SetDescription(description.c_str());
    link->SetWorkingDirectory(shortcutWorkingFolder(target).c_str());
    IPersistFile* file = nullptr;
    result = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    if (FAILED(result)) {
        link->Release();
        return result;
    }
    // The path with its terminating zero must fit MAX_PATH wide characters; a longer one would
    // be cut to another name.
    WCHAR path[MAX_PATH];
    const int converted =
        MultiByteToWideChar(CP_ACP, 0, linkFile.c_str(), static_cast<int>(linkFile.size()) + 1, path, MAX_PATH);
    if (converted == 0)
        result = HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    else
        result = file->Save(path, TRUE);
    file->Release();
    link->Release();
    return result;
}

} // namespace tarnwick
