// `tarnwick-pack build`: manifest -> checked plan -> a complete setup folder, written into a new
// folder beside the output and renamed into place only when everything in it is finished. A
// failure removes the new folder and leaves an existing output untouched.
//
// The steps, in order: read and check the manifest; write the package and the data archive into
// the staging folder; copy the stub, the picture and the read-me; run the finishing steps (signing);
// with --single-file, turn the folder into one <product>-setup.exe; publish.
#pragma once

#include "package_plan.h"
#include "stubs.h"

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick::pack {

// A step run on the finished staging folder before it is published; throws std::runtime_error
// with a message for the user to stop the build.
using TFinishingStep = std::function<void(const std::filesystem::path& stagingFolder)>;

struct TBuildOptions {
    std::filesystem::path manifest;
    std::filesystem::path output;
    TArch arch = TArch::x64;
    int level = 6;
    unsigned threads = 1;
    std::filesystem::path stub;    // empty: look for it (stubs.h)
    bool singleFile = false;       // the output folder holds one <product>-setup.exe instead
    std::filesystem::path launcher; // for singleFile; empty: look for it (stubs.h)
    std::filesystem::path self;    // the packager's own path, for finding installed stubs
    bool warningsAsErrors = false;
    bool progress = false;         // draw a progress bar on standard error
    TPlanOptions plan;
    std::vector<TFinishingStep> finishingSteps;
};

// Returns the exit code: 0 built, 1 a fault in the input or while writing (all reported on err).
int buildSetupFolder(const TBuildOptions& options, std::ostream& out, std::ostream& err);

// Reads a manifest and checks it, printing the faults; the plan is usable when it returns true.
bool loadPlan(const std::filesystem::path& manifest, const TPlanOptions& options, bool warningsAsErrors,
              TBuildPlan& plan, std::ostream& err);

} // namespace tarnwick::pack
