// What Windows accepts as a file or folder name, and the placeholder syntax of package paths.
#pragma once

#include <optional>
#include <string>

namespace tarnwick::pack {

// Why name cannot be a Windows file name, or nothing when it can.
std::optional<std::string> windowsNameFault(const std::string& name);

// The four placeholders in the order setup tests them.
inline constexpr const char* kPlaceholders[] = {"[INSTALLDIR]", "[PROGRAMFILES]", "[SYSTEMDIR]", "[WINDIR]"};

} // namespace tarnwick::pack
