// Win32 error codes as a user reads them in a log.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace tarnwick {

// "text (error n: the system's message)".
std::string withSystemError(const std::string& text, DWORD error);

// Whether the drive of folder has less room than needed bytes (false when it cannot be asked).
bool lacksSpace(const std::string& folder, std::uint64_t needed);

// Why a file of `needed` bytes could not be written into `folder`: "There is not enough space on
// the disk (n bytes needed, m free)" when the error says so or the drive has less room than
// needed; otherwise the system's text for error, or a plain "it could not be written" when there
// is none (0).
std::string writeFailureReason(const std::string& folder, std::uint64_t needed, DWORD error);

// The size of a file, 0 when it cannot be read.
std::uint64_t fileSize(const std::string& path);

} // namespace tarnwick
