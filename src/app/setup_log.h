// The plain-text log that /LOG=<path> asks for. Each line goes to the file as soon as it is
// written, with nothing held back in the process, so a log survives a crash of the program. Lines
// carry the local time. Without a log every call does nothing.
#pragma once

#include <windows.h>

#include <string>

namespace tarnwick {

class TSetupLog {
public:
    TSetupLog() = default;
    ~TSetupLog();
    TSetupLog(const TSetupLog&) = delete;
    TSetupLog& operator=(const TSetupLog&) = delete;

    // A new, empty log at path; append keeps what is there (the relocated uninstaller writes on
    // into its original's log; both have it open at once, every line lands at the end).
    bool Open(const std::string& path, bool append);
    bool IsOpen() const { return file_ != INVALID_HANDLE_VALUE; }
    void Write(const std::string& line);
    void Close();

private:
    HANDLE file_ = INVALID_HANDLE_VALUE;
};

// The program's one log.
TSetupLog& SetupLog();

} // namespace tarnwick
