// The installation run: deciphers the data file into the temporary folder, extracts the numbered
// items there, puts them in their places (moved to the last place that names them, copied to any
// before), writes the registry entries, makes the program folder's shortcuts, registers the
// uninstaller and records the user's answers, then moves the wizard to its last page.
//
// A failure of its own (the data file missing or damaged, a folder or key it cannot create, a file
// it cannot replace) is shown, cleaned up and ends the program. A damaged data file stops the run
// before any file is placed or registry value written. Another error raised inside it (a number
// value that is not a number) escapes to the caller after the archive is closed and the temporary
// items are deleted.
#pragma once

#include "engine/registry_access.h"
#include "engine/run_host.h"
#include "engine/run_state.h"
#include "package/package_reader.h"

#include <string>

namespace tarnwick {

class TMyBlowfish;
class TZipArchiver;

// The item's name in the data archive: its number followed by ".twi".
std::string itemName(std::int32_t number);

// The window's OnFileProgress handler: each item adds up to 100 units to the bar; a percentage
// below the last one starts a new item; fractions lost to truncation are not carried over.
void advanceExtractionProgress(TRunHost& host, double& lastProgress, double progress);

// package is positioned behind the header. archiver is the window's archive component with its
// progress handler bound. Sets mainProgramPath to the main item's destination (empty without one).
// True when the run got to its end; false after a failure of its own (shown, program ended).
bool runInstallation(TRunHost& host, const TRunState& state, TPackageReader& package, TRegistryAccess& registry,
                     TMyBlowfish& cipher, TZipArchiver& archiver, std::string& mainProgramPath);

} // namespace tarnwick
