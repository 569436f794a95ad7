// `tarnwick-pack verify DIR`: reads a setup folder the way setup will and reports, one line each,
// everything that would make it fail or misbehave. Exit 0 when there is nothing to report, 1
// otherwise.
#pragma once

#include <filesystem>
#include <iosfwd>

namespace tarnwick::pack {

int verifySetupFolder(const std::filesystem::path& dir, std::ostream& out);

} // namespace tarnwick::pack
