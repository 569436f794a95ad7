#include "console_archiver.h"

#include <cstdio>
#include <iostream>

#include "zip/os/os.h"

namespace tarnwick::tool {

TConsoleArchiver::TConsoleArchiver() : TZipArchiver(nullptr) {
    showProgress_ = zaos::isTerminal(1) && zaos::isTerminal(2);
    started_ = std::chrono::steady_clock::now();
}

void TConsoleArchiver::clearProgress() {
    if (!barShown_) return;
    std::fprintf(stderr, "\r%50s\r", "");
    barShown_ = false;
    lastPercent_ = -1;
}

void TConsoleArchiver::report(const std::string& fileName, const std::string& message) {
    clearProgress();
    ++failures_;
    std::cerr << "tarnwick-zip: " << zaos::ansiToConsole(fileName) << ": " << zaos::ansiToConsole(message) << '\n';
}

void TConsoleArchiver::DoOnProcessFileFailure(const std::string& fileName, TZAProcessOperation, int, int,
                                              const std::string& message, TZAAction& action) {
    report(fileName, message);
    action = fxaIgnore;
}

void TConsoleArchiver::DoOnConfirmOverwrite(const std::string& sourceFileName, std::string& destFileName, bool& confirm) {
    clearProgress();
    TZipArchiver::DoOnConfirmOverwrite(sourceFileName, destFileName, confirm);
}

void TConsoleArchiver::DoOnOverallProgress(double progress, TZAProcessOperation operation, TZAProgressPhase phase,
                                           bool& cancel) {
    TZipArchiver::DoOnOverallProgress(progress, operation, phase, cancel);
    if (!showProgress_) return;
    // Short runs finish before a bar is worth drawing.
    if (std::chrono::steady_clock::now() - started_ < std::chrono::milliseconds(500)) return;
    const int percent = static_cast<int>(progress);
    if (percent == lastPercent_) return;
    lastPercent_ = percent;
    const int filled = percent * 40 / 100;
    std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(static_cast<std::size_t>(filled), '#').c_str(),
                 std::string(static_cast<std::size_t>(40 - filled), ' ').c_str(), percent);
    std::fflush(stderr);
    barShown_ = true;
}

} // namespace tarnwick::tool
