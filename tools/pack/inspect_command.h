// `tarnwick-pack inspect DIR|PACKAGE`: the package printed as a manifest, followed by the data
// archive's items as comments. For a package this packager built, the printed manifest builds the
// same package bytes again once the items are beside it (--extract writes them there, with their
// times, so the data archive comes out the same too at the same --level).
#pragma once

#include "package/package_layout.h"

#include <filesystem>
#include <iosfwd>
#include <string>

namespace tarnwick::pack {

int inspectSetup(const std::string& target, const std::filesystem::path& extractTo, std::ostream& out, std::ostream& err);

// The manifest text for a package whose items are at "items/<n>.twi" beside the manifest and whose
// picture and read-me lie beside it under their own names.
std::string manifestForPackage(const TPackage& package, bool hasReadme);

// A TOML string for text (UTF-8): single quotes when that needs no escape, else double quotes.
std::string tomlString(const std::string& text);

} // namespace tarnwick::pack
