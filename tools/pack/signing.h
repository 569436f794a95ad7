// Authenticode signing of setup.exe through osslsigncode, as a finishing step of the build: the
// signed copy replaces setup.exe in the staging folder, so a failed signing publishes nothing.
#pragma once

#include "build_command.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick::pack {

struct TSigningOptions {
    std::filesystem::path pkcs12;             // either this...
    std::filesystem::path certificate, key;   // ...or these two
    std::filesystem::path passwordFile;       // optional
    std::string timestampUrl;                 // optional
    std::optional<std::int64_t> signingTime;  // SOURCE_DATE_EPOCH: a reproducible signing time
    std::string program = "osslsigncode";
};

// Adds the signing step when signing was asked for. False, with problem set, when the options do
// not make sense together (a usage error).
bool addSigningStep(const TSigningOptions& options, std::vector<TFinishingStep>& steps, std::string& problem);

// Runs a program found on PATH with these arguments; its exit code, or -1 when it cannot start.
int runProgram(const std::vector<std::string>& arguments);

} // namespace tarnwick::pack
