// Drives the real setup.exe under Wine the way a user would and checks what its windows show.
//   setup_gui_driver <scenario> <setup.exe> [<screenshot folder>]
// Each scenario builds its own setup folder (the program beside a package made here), runs the
// program, and removes what it made. Screenshots are asked of the script around the driver.
#include "gui_fixtures.h"

#include <cstdio>
#include <functional>
#include <map>
#include <string>

using namespace gui;

namespace {

const std::map<std::string, std::function<void(TChecks&)>> kScenarios = {
    {"walk", walkThePages},
    {"cancel", cancelAndResume},
    {"browse", browseForTheDestination},
    {"options", lastPageOptions},
    {"startup", startUpPackages},
    {"uninstall", uninstallQuestion},
    {"win9x", windows9xFolders},
    {"previous", previousInstallation},
    {"install", installAndUninstall},
    {"failures", installationFailures},
    {"planting", plantedDllsStayUnloaded},
    {"demo-install", installForTheDemo},
    {"demo-uninstall", uninstallForTheDemo},
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 3 || kScenarios.count(argv[1]) == 0) {
        std::fprintf(stderr, "usage: setup_gui_driver <scenario> <setup.exe> [<screenshot folder>]\nscenarios:");
        for (const auto& [name, run] : kScenarios) std::fprintf(stderr, " %s", name.c_str());
        std::fprintf(stderr, "\n");
        return 2;
    }
    gSetupExe = argv[2];
    if (argc > 3) setShotFolder(argv[3]);
    TChecks checks;
    std::printf("scenario %s\n", argv[1]);
    kScenarios.at(argv[1])(checks);
    std::printf("%d passed, %d failed\n", checks.passed(), checks.failed());
    return checks.failed() == 0 && checks.passed() > 0 ? 0 : 1;
}
