// The archiver as tarnwick-zip drives it on a console, for the reading and the writing commands
// alike: a failed item is reported on standard error, counted and skipped; progress is a bar on
// standard error while both outputs are a terminal; a prompt clears the bar first.
#pragma once

#include <chrono>
#include <string>

#include "zip/ziparchiver.h"

namespace tarnwick::tool {

class TConsoleArchiver : public TZipArchiver {
public:
    TConsoleArchiver();

    int failures() const { return failures_; }
    void clearProgress();

protected:
    // "tarnwick-zip: NAME: MESSAGE" on standard error, counted as a failure.
    void report(const std::string& fileName, const std::string& message);

    void DoOnProcessFileFailure(const std::string& fileName, TZAProcessOperation operation, int nativeError,
                                int errorCode, const std::string& message, TZAAction& action) override;
    void DoOnConfirmOverwrite(const std::string& sourceFileName, std::string& destFileName, bool& confirm) override;
    void DoOnOverallProgress(double progress, TZAProcessOperation operation, TZAProgressPhase phase,
                             bool& cancel) override;

private:
    int failures_ = 0;
    bool showProgress_ = false;
    bool barShown_ = false;
    int lastPercent_ = -1;
    std::chrono::steady_clock::time_point started_;
};

} // namespace tarnwick::tool
