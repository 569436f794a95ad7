// The setup program's command line. "-uninstall" counts only as the exact first argument;
// switches start with "/" and are matched ignoring case:
//   /S            unattended: no window, no question; messages go to the log and the exit code
//   /D=<path>     unattended destination; takes the rest of the line, blanks included
//   /DESKTOP      unattended: also the desktop shortcut
//   /LOG=<path>   a plain-text log (quotes allowed around the path or the whole switch)
// and two that the uninstaller passes to its relocated copy (see uninstaller_relocation.h):
//   /UNINSTALLER=<path of the original uninst.exe>   /HANDLES=<result pipe>,<original process>
// Anything else is collected in `unknown`: a bad command line in unattended mode, ignored in the
// wizard.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

struct TSetupCommandLine {
    std::string firstArgument; // as the C runtime would give argv[1]: quotes removed
    bool silent = false;
    bool desktopShortcut = false;
    std::optional<std::string> destination;
    std::optional<std::string> logPath;
    std::string originalUninstaller;
    std::uint64_t resultPipe = 0;
    std::uint64_t originalProcess = 0;
    std::vector<std::string> unknown; // arguments not understood, as written
    std::vector<std::string> invalid; // understood switches with an unusable value, with the reason

    bool isUninstallArgument() const { return firstArgument == "-uninstall"; }
    bool isRelocatedUninstaller() const { return !originalUninstaller.empty(); }
    // What makes the line unusable in unattended mode; empty when it is fine.
    std::vector<std::string> problems() const;
};

// The arguments behind the program name of a whole command line (GetCommandLine's form: the
// program name first, quoted or not).
std::string_view argumentsOf(std::string_view commandLine);

TSetupCommandLine parseSetupCommandLine(std::string_view arguments);

// The program's own command line, parsed once by the program entry.
extern TSetupCommandLine SetupArguments;

// An argument quoted so that parseSetupCommandLine reads it back unchanged (no quotes inside).
std::string quoteArgument(std::string_view argument);

} // namespace tarnwick
