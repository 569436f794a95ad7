#include "engine/system_error.h"

namespace tarnwick {

std::string withSystemError(const std::string& text, DWORD error) {
    char buffer[512] = "";
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                  buffer, sizeof buffer, nullptr);
    while (length > 0 && (buffer[length - 1] == '\r' || buffer[length - 1] == '\n' || buffer[length - 1] == ' ' ||
                          buffer[length - 1] == '.'))
        buffer[--length] = '\0';
    return text + " (error " + std::to_string(error) + (length > 0 ? ": " + std::string(buffer) : "") + ")";
}

bool lacksSpace(const std::string& folder, std::uint64_t needed) {
    ULARGE_INTEGER available{};
    return GetDiskFreeSpaceExA(folder.c_str(), &available, nullptr, nullptr) != 0 && available.QuadPart < needed;
}

std::string writeFailureReason(const std::string& folder, std::uint64_t needed, DWORD error) {
    ULARGE_INTEGER available{};
    const bool known = GetDiskFreeSpaceExA(folder.c_str(), &available, nullptr, nullptr) != 0;
    if (error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL || (known && available.QuadPart < needed)) {
        std::string reason = "There is not enough space on the disk";
        if (known)
            reason += " (" + std::to_string(needed) + " bytes needed, " + std::to_string(available.QuadPart) + " free)";
        return reason;
    }
    if (error != 0) return withSystemError("it could not be written", error);
    return "it could not be written";
}

std::uint64_t fileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

} // namespace tarnwick
