#include "app/setup_log.h"


namespace tarnwick {

TSetupLog::~TSetupLog() { Close(); }

bool TSetupLog::Open(const std::string& path, bool append) {
    Close();
    if (!append) {
        HANDLE fresh = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (fresh == INVALID_HANDLE_VALUE) return false;
        CloseHandle(fresh);
    }
    // Append access makes every write land at the end of the file, also while the relocated
    // uninstaller writes into the same log: a plain write handle would overwrite its lines.
    file_ = CreateFileA(path.c_str(), FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return IsOpen();
}

void TSetupLog::Write(const std::string& line) {
    if (!IsOpen()) return;
    SYSTEMTIME now;
    GetLocalTime(&now);
    char stamp[32];
    // wsprintf: user32 has it anyway; the C runtime's printf family would add its own formatter.
    wsprintfA(stamp, "%04u-%02u-%02u %02u:%02u:%02u.%03u ", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
              now.wSecond, now.wMilliseconds);
    std::string text = stamp + line;
    // A message of several lines stays one entry: its line breaks become " | ".
    for (std::size_t at; (at = text.find('\n')) != std::string::npos;) text.replace(at, 1, " | ");
    text += "\r\n";
    DWORD written = 0;
    WriteFile(file_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

void TSetupLog::Close() {
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
}

TSetupLog& SetupLog() {
    static TSetupLog log;
    return log;
}

} // namespace tarnwick
