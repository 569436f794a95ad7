// The setup programs ("stubs") that a setup folder ships as setup.exe, one per architecture, and
// where the packager finds them (and the one-file setup's launcher, which lives beside them): --stub, then $TARNWICK_STUB_DIR/<arch>/setup.exe, then the
// installed share/tarnwick/<arch>/setup.exe beside the packager's own bin folder, then the
// development tree this packager was built from.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick::pack {

enum class TArch { x64, x86 };

std::string archName(TArch arch); // "x64", "x86"

// The machine a PE file is built for, from its COFF header; nothing for a file that is not a
// Windows program (or for another machine).
std::optional<TArch> peArchitecture(const std::filesystem::path& program);

// The places looked at, in order (for the message when none holds a stub).
std::vector<std::filesystem::path> stubCandidates(TArch arch, const std::filesystem::path& selfExecutable);

// The same places for the one-file setup's launcher (tarnwick-launcher.exe).
std::vector<std::filesystem::path> launcherCandidates(TArch arch, const std::filesystem::path& selfExecutable);

std::filesystem::path selfExecutablePath(const char* argv0);

} // namespace tarnwick::pack
