// Shell shortcuts (.lnk) written through the shell's link object.
#pragma once

#include <windows.h>

#include <string>

namespace tarnwick {

// The working folder a shortcut gets: the target's text up to its last "\" or ":", with a final
// "\" dropped unless it follows ":" or "\" (C:\App\prog.exe -> C:\App, C:\prog.exe -> C:\).
std::string shortcutWorkingFolder(const std::string& target);

// Writes linkFile pointing at target, with description and the working folder above; an existing
// file is replaced. Creates no folders. Returns the COM result (negative: nothing written). A link
// path that does not fit MAX_PATH wide characters is refused with
// HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE) rather than saved under a cut name.
HRESULT CreateShortcut(const std::string& target, const std::string& linkFile, const std::string& description);

} // namespace tarnwick
