// The one-file setup: the launcher program with a setup folder's files appended as a stored ZIP
// archive (the archive component's MakeSFX), so that the launcher can open itself as an archive.
// Portable: the packager writes it on any system.
#pragma once

#include <string>
#include <vector>

namespace tarnwick {

// The files a setup folder must hold for the one-file setup to start.
inline const std::vector<std::string> kSingleFileRequired = {"setup.exe", "_setup.pkg", "_setup.dat"};

// Writes target from the files at the top of setupFolder (sub-folders are not part of a setup
// folder) and the launcher program, the files in name order and stored, so the same inputs give
// the same bytes. Throws std::runtime_error naming the path for a missing launcher or required
// file, and the archive component's EZAException for what goes wrong while writing; a target
// that could not be finished is removed.
void writeSingleFileSetup(const std::string& setupFolder, const std::string& launcher, const std::string& target);

} // namespace tarnwick
