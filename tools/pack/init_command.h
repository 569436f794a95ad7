// `tarnwick-pack init [DIR]`: a commented starter manifest, DIR/tarnwick.toml, that builds as it
// stands: the product named after the folder, every file in it installed under [INSTALLDIR], and
// the one program found there as the main program.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

namespace tarnwick::pack {

int writeStarterManifest(const std::filesystem::path& dir, bool force, std::ostream& out, std::ostream& err);

// The manifest text for a folder named folderName whose programs (.exe, relative paths with '/')
// are these.
std::string starterManifest(const std::string& folderName, const std::vector<std::string>& programs);

} // namespace tarnwick::pack
