// The DLL search rules of our programs.
#include "win32/dll_search.h"

#include <string>

namespace tarnwick {
namespace {

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
constexpr DWORD LOAD_LIBRARY_SEARCH_SYSTEM32 = 0x00000800;
#endif

// Looked up at run time: Windows XP, Vista and an unpatched Windows 7 lack
// SetDefaultDllDirectories, and a static import of it would stop the program from starting there.
using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryAFn = BOOL(WINAPI*)(LPCSTR);

template <typename Fn>
Fn kernel32Function(const char* name) {
    HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    FARPROC address = kernel32 != nullptr ? GetProcAddress(kernel32, name) : nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(address));
}

// LoadLibraryEx understands the LOAD_LIBRARY_SEARCH_* flags exactly where
// SetDefaultDllDirectories exists: the same update brought both.
bool hasSearchFlags() {
    static const bool present = kernel32Function<SetDefaultDllDirectoriesFn>("SetDefaultDllDirectories") != nullptr;
    return present;
}

}  // namespace

bool restrictDllSearchToSystemFolder() {
    auto setDefault = kernel32Function<SetDefaultDllDirectoriesFn>("SetDefaultDllDirectories");
    if (setDefault != nullptr && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return true;
    if (auto setDllDirectory = kernel32Function<SetDllDirectoryAFn>("SetDllDirectoryA")) setDllDirectory("");
    return false;
}

HMODULE loadSystemLibrary(const char* fileName) {
    // By name, not by path, where the flags exist: a name still goes through the activation
    // context, so a manifest's choice of a side-by-side version (common controls 6) keeps working.
    if (hasSearchFlags()) return LoadLibraryExA(fileName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    char systemFolder[MAX_PATH];
    UINT length = GetSystemDirectoryA(systemFolder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    std::string path(systemFolder, length);
    path += '\\';
    path += fileName;
    return LoadLibraryA(path.c_str());
}

}  // namespace tarnwick
