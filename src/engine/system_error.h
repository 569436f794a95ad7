// Win32 error codes as a user reads them in a log.
#pragma once

#include <windows.h>

#include <string>

namespace tarnwick {

// "text (error n: the system's message)".
std::string withSystemError(const std::string& text, DWORD error);

} // namespace tarnwick
