#include "engine/run_state.h"

#include <windows.h>

namespace tarnwick {

TPlaceholderFolders placeholderFolders(const TRunState& state) {
    char buffer[512];
    TPlaceholderFolders folders{state.destinationFolder, state.programFilesFolder, {}, {}};
    UINT n = GetSystemDirectoryA(buffer, sizeof buffer);
    if (n > 0 && n < sizeof buffer) folders.systemDir.assign(buffer, n);
    n = GetWindowsDirectoryA(buffer, sizeof buffer);
    if (n > 0 && n < sizeof buffer) folders.windowsDir.assign(buffer, n);
    return folders;
}

} // namespace tarnwick
