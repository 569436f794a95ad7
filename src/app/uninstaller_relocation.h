// How uninst.exe leaves nothing behind. A running program cannot delete its own file, so the
// uninst.exe in the product's folder (the original) copies itself into a private temporary folder
// and starts the copy with /UNINSTALLER=<its own path> and /HANDLES=<pipe>,<process>:
//   - the copy uninstalls (the question was asked once, by the original), writes its exit code
//     into the inherited pipe, waits for the original to end, deletes it and the product's folder
//     when nothing else is left in it, and has Windows remove its own copy and folder at the next
//     restart (MOVEFILE_DELAY_UNTIL_REBOOT);
//   - the original waits for that exit code and ends with it, so a deployment tool that waits
//     for uninst.exe gets the uninstallation's result; only the deletion of uninst.exe and of
//     the emptied folder follows its end.
// When the copy cannot be made or started, the original uninstalls in place, as before.
#pragma once

#include "app/exit_codes.h"
#include "app/setup_command_line.h"

#include <optional>
#include <string>

namespace tarnwick {

// An uninstaller started under its own name "uninst.exe" (in any letter case), not a copy.
bool shouldRelocateUninstaller(const TSetupCommandLine& arguments, const std::string& program);

// In the original: starts the copy and returns its exit code; nothing when there is no copy.
std::optional<TExitCode> runUninstallerCopy(const TSetupCommandLine& arguments, const std::string& program);

// In the copy, once its uninstallation has ended with code.
void finishUninstallerCopy(const TSetupCommandLine& arguments, TExitCode code);

} // namespace tarnwick
