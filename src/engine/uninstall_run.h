// The uninstallation run: removes what the installation placed, as the package and the registry
// describe it. It shows no messages, ignores every failure and always ends the program.
#pragma once

#include "engine/registry_access.h"
#include "engine/run_host.h"
#include "engine/run_state.h"
#include "package/package_reader.h"

#include <string>

namespace tarnwick {

// package is positioned behind the header; the run reads F file records, R registry records and
// the shortcut list behind them.
void runUninstallation(TRunHost& host, const TRunState& state, TPackageReader& package, TRegistryAccess& registry);

// Deletes everything inside path, recursively, and leaves path itself. Failures are skipped.
// Links to folders elsewhere (junctions, symbolic links) are removed, never followed.
void EmptyFolder(const std::string& path);

} // namespace tarnwick
