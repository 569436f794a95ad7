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

} // namespace tarnwick
