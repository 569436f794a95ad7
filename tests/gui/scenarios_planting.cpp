// DLL planting: a DLL under a system library's name beside setup.exe, with Wine told to prefer a
// DLL found on disk for that name (run_gui_test.sh sets WINEDLLOVERRIDES), as Windows does for
// every name outside KnownDLLs. Setup must start normally and never load it.
#include "gui_fixtures.h"

#include <cstdlib>
#include <string>

namespace gui {

void plantedDllsStayUnloaded(TChecks& checks) {
    const char* planted = std::getenv("TARNWICK_PLANTED_DLL");  // a Windows path, set by the test
    if (!checks.check(planted != nullptr && exists(planted), "the planted DLL was built")) return;
    // comctl32: not a KnownDLL, so it is the name the loader looks for beside the program first.
    const char* names[] = {"comctl32.dll"};
    TSetupFolder folder("planting");
    folder.Package(samplePackage());
    const std::string marker = folder.Path() + "\\planted-dll-was-loaded";
    for (const char* name : names) CopyFileA(planted, (folder.Path() + "\\" + name).c_str(), FALSE);
    SetEnvironmentVariableA("TARNWICK_PLANT_MARKER", marker.c_str());
    TProcess setup;
    setup.Start(folder.Program(), "", folder.Path());
    TWizard w{checks, setup};
    if (w.open("Tool Setup")) {
        w.onPage(0);
        checks.check(!exists(marker), "the DLL planted beside setup.exe was not loaded at start-up");
        w.toDestination();
        checks.check(!exists(marker), "nor while the wizard runs");
        w.exitSetup();
    }
    checks.check(!exists(marker), "nor at the end");
    SetEnvironmentVariableA("TARNWICK_PLANT_MARKER", nullptr);
}

} // namespace gui
