// Arbitrary bytes as a packager manifest: parsed, checked and planned as `tarnwick-pack build`
// would, with the diagnostics printed. The manifest's folder does not exist, so every source is
// reported missing and nothing on disk is read. A source that climbs out with ".." is left
// unplanned: Windows collapses ".." without looking, so it would reach the drive's root and the
// packager would walk the whole disk, as it should for such a manifest.
#include "diagnostics.h"
#include "manifest.h"
#include "package_plan.h"

#include <cstdint>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarnwick::pack;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::filesystem::path file = "/nonexistent-tarnwick-fuzz/tarnwick.toml";
    TDiagnostics diagnostics;
    const TManifest manifest = readManifest(text, file, diagnostics);
    TPlanOptions options;
    options.sourceDateEpoch = 315532800;
    bool climbsOut = false;
    for (const TFilesEntry& entry : manifest.files)
        for (const std::filesystem::path& part : std::filesystem::path(entry.source.value))
            if (part == "..") climbsOut = true;
    if (manifest.syntaxOk && !climbsOut) planPackage(manifest, options, diagnostics);
    std::ostringstream out;
    printDiagnostics(out, diagnostics, "tarnwick.toml", text);
    return 0;
}
