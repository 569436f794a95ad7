#include "stubs.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

namespace tarnwick::pack {

namespace fs = std::filesystem;

std::string archName(TArch arch) { return arch == TArch::x64 ? "x64" : "x86"; }

std::optional<TArch> peArchitecture(const fs::path& program) {
    std::FILE* f = std::fopen(program.string().c_str(), "rb");
    if (f == nullptr) return std::nullopt;
    unsigned char dos[64] = {};
    unsigned char pe[6] = {};
    bool ok = std::fread(dos, 1, sizeof dos, f) == sizeof dos && dos[0] == 'M' && dos[1] == 'Z';
    if (ok) {
        const long offset = dos[60] | dos[61] << 8 | dos[62] << 16 | dos[63] << 24;
        ok = std::fseek(f, offset, SEEK_SET) == 0 && std::fread(pe, 1, sizeof pe, f) == sizeof pe &&
             std::memcmp(pe, "PE\0\0", 4) == 0;
    }
    std::fclose(f);
    if (!ok) return std::nullopt;
    const unsigned machine = pe[4] | pe[5] << 8;
    if (machine == 0x8664) return TArch::x64;
    if (machine == 0x014C) return TArch::x86;
    return std::nullopt;
}

namespace {

// fileName in the places a shipped Windows program of ours is looked for; treeFolder is where the
// build tree keeps it, below win64/ or win32/.
std::vector<fs::path> shippedProgramCandidates(TArch arch, const fs::path& self, const char* fileName,
                                               const char* treeFolder) {
    std::vector<fs::path> out;
    if (const char* dir = std::getenv("TARNWICK_STUB_DIR"); dir != nullptr && *dir != '\0')
        out.push_back(fs::path(dir) / archName(arch) / fileName);
    if (!self.empty()) out.push_back(self.parent_path().parent_path() / "share" / "tarnwick" / archName(arch) / fileName);
#ifdef TARNWICK_BUILD_TREE
    // Only a packager run from the build tree falls back to the programs built beside it; an
    // installed one must not quietly take whatever a development tree holds.
    const fs::path tree = TARNWICK_BUILD_TREE;
    if (std::mismatch(tree.begin(), tree.end(), self.begin(), self.end()).first == tree.end())
        out.push_back(tree / (arch == TArch::x64 ? "win64" : "win32") / treeFolder / fileName);
#else
    (void)treeFolder;
#endif
    return out;
}

} // namespace

std::vector<fs::path> stubCandidates(TArch arch, const fs::path& self) {
    return shippedProgramCandidates(arch, self, "setup.exe", "src/app");
}

std::vector<fs::path> launcherCandidates(TArch arch, const fs::path& self) {
    return shippedProgramCandidates(arch, self, "tarnwick-launcher.exe", "src/launcher");
}

fs::path selfExecutablePath(const char* argv0) {
#ifdef _WIN32
    char buffer[MAX_PATH * 2];
    const DWORD n = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    if (n > 0 && n < sizeof buffer) return fs::path(std::string(buffer, n));
#else
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) return self;
#endif
    std::error_code ec2;
    return argv0 != nullptr ? fs::absolute(argv0, ec2) : fs::path();
}

} // namespace tarnwick::pack
