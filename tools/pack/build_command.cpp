#include "build_command.h"

#include "cipher_sink.h"
#include "cp1252.h"
#include "data_archive.h"
#include "manifest.h"
#include "launcher/single_file_setup.h"
#include "package/package_writer.h"
#include "progress_bar.h"

#include <cstdio>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string_view>

#ifdef _WIN32
#include <process.h>
#define TARNWICK_GETPID _getpid
#else
#include <unistd.h>
#define TARNWICK_GETPID getpid
#endif

namespace tarnwick::pack {

namespace fs = std::filesystem;

namespace {

class EBuildError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

bool readText(const fs::path& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    text = s.str();
    return !in.bad();
}

void writeBytes(const fs::path& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw EBuildError("cannot write " + path.string());
}

void copyInto(const fs::path& source, const fs::path& destination) {
    std::error_code ec;
    fs::copy_file(source, destination, fs::copy_options::overwrite_existing, ec);
    if (ec) throw EBuildError("cannot copy " + source.string() + " to " + destination.string() + ": " + ec.message());
}

// ".<name><tag>" beside path. Built by appending: GCC 12 at -O3 warns (wrongly, -Wrestrict) about
// "." + std::string.
fs::path hiddenSibling(const fs::path& path, const std::string& tag) {
    std::string name = ".";
    name += path.filename().string();
    name += tag;
    return path.parent_path() / name;
}

bool isInside(const fs::path& inner, const fs::path& outer) {
    const auto [o, i] = std::mismatch(outer.begin(), outer.end(), inner.begin(), inner.end());
    return o == outer.end();
}

// A program of ours for options.arch: the one given, or the first of the candidates that exists.
fs::path findShippedProgram(const fs::path& given, const std::vector<fs::path>& candidates, TArch arch,
                            const std::string& what, const std::string& option) {
    fs::path found = given;
    if (!given.empty()) {
        if (!fs::is_regular_file(given)) throw EBuildError(what + " " + given.string() + " does not exist");
    } else {
        std::string tried;
        for (const fs::path& candidate : candidates) {
            if (fs::is_regular_file(candidate)) {
                found = candidate;
                break;
            }
            tried += "\n  " + candidate.string();
        }
        if (found.empty())
            throw EBuildError("no " + what + " for " + archName(arch) + " found; looked for:" + tried + "\n  (give one with " +
                              option + ", or set TARNWICK_STUB_DIR)");
    }
    if (peArchitecture(found) != arch)
        throw EBuildError(what + " " + found.string() + " is not a " + archName(arch) + " Windows program");
    return found;
}

// The one-file setup's name: the product's name, with the characters Windows refuses in file
// names replaced, then "-setup.exe".
std::string singleFileName(const std::string& productAnsi) {
    std::string name = ansiToUtf8(productAnsi);
    for (char& c : name)
        if (static_cast<unsigned char>(c) < 32 || std::string_view("<>:\"/\\|?*").find(c) != std::string_view::npos) c = '_';
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
    return (name.empty() ? std::string("product") : name) + "-setup.exe";
}

// Replaces the staging folder's contents by one file: the launcher with the folder appended.
void makeSingleFile(const fs::path& staging, const fs::path& launcher, const std::string& fileName,
                    const std::string& suffix) {
    const fs::path joined = hiddenSibling(staging, ".single" + suffix);
    std::error_code ec;
    try {
        writeSingleFileSetup(staging.string(), launcher.string(), joined.string());
        for (const fs::directory_entry& entry : fs::directory_iterator(staging)) fs::remove_all(entry.path());
        fs::rename(joined, staging / fileName);
    } catch (...) {
        fs::remove(joined, ec);
        throw;
    }
}


void writeSetupFolder(const TBuildPlan& plan, const TBuildOptions& options, const fs::path& stub, const fs::path& staging) {
    TMyBlowfish cipher(nullptr);
    cipher.Setpassword(TMyBlowfish::kDefaultPassword);
    writeBytes(staging / "_setup.pkg", encipherContainer(writePackage(plan.package), cipher));

    const fs::path data = staging / "_setup.dat";
    std::FILE* file = std::fopen(data.string().c_str(), "wb");
    if (file == nullptr) throw EBuildError("cannot create " + data.string());
    TProgressBar bar(options.progress);
    TArchiveOptions archive;
    archive.level = options.level;
    archive.threads = options.threads;
    archive.progress = [&](std::uint64_t done, std::uint64_t total) { bar.update(done, total); };
    TCipherSink sink(file, cipher);
    try {
        writeDataArchive(plan.items, sink, archive);
        sink.finish();
    } catch (...) {
        std::fclose(file);
        throw;
    }
    bar.clear();
    if (std::fclose(file) != 0 || sink.failed()) throw EBuildError("cannot write " + data.string());

    copyInto(stub, staging / "setup.exe");
    if (!plan.picture.empty()) copyInto(plan.picture, staging / plan.package.header.pictureName);
    if (!plan.readme.empty()) copyInto(plan.readme, staging / "readme.txt");
}

// Puts the staging folder in the output's place; an existing output is moved aside first and
// removed only once the new folder is in place.
void publish(const fs::path& staging, const fs::path& output, const std::string& suffix) {
    std::error_code ec;
    if (!fs::exists(output, ec)) {
        fs::rename(staging, output, ec);
        if (ec) throw EBuildError("cannot rename " + staging.string() + " to " + output.string() + ": " + ec.message());
        return;
    }
    if (!fs::is_directory(output, ec)) throw EBuildError(output.string() + " exists and is not a folder");
    const fs::path old = hiddenSibling(output, ".old" + suffix);
    fs::rename(output, old, ec);
    if (ec) throw EBuildError("cannot move the old " + output.string() + " aside: " + ec.message());
    fs::rename(staging, output, ec);
    if (ec) {
        std::error_code back;
        fs::rename(old, output, back);
        throw EBuildError("cannot rename " + staging.string() + " to " + output.string() + ": " + ec.message());
    }
    fs::remove_all(old, ec);
}

} // namespace

bool loadPlan(const fs::path& manifest, const TPlanOptions& options, bool warningsAsErrors, TBuildPlan& plan,
              std::ostream& err) {
    std::string text;
    if (!readText(manifest, text)) {
        err << "tarnwick-pack: cannot read the manifest " << manifest.string() << '\n';
        return false;
    }
    if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3); // a byte-order mark is harmless; toml++ would refuse it
    TDiagnostics diagnostics;
    const TManifest parsed = readManifest(text, manifest, diagnostics);
    if (parsed.syntaxOk) plan = planPackage(parsed, options, diagnostics);
    if (warningsAsErrors) diagnostics.promoteWarnings();
    printDiagnostics(err, diagnostics, manifest.string(), text);
    if (diagnostics.hasErrors()) {
        err << diagnostics.errorCount() << (diagnostics.errorCount() == 1 ? " error, " : " errors, ") << diagnostics.warningCount()
            << (diagnostics.warningCount() == 1 ? " warning" : " warnings") << "; nothing written\n";
        return false;
    }
    return true;
}

int buildSetupFolder(const TBuildOptions& options, std::ostream& out, std::ostream& err) {
    TBuildPlan plan;
    if (!loadPlan(options.manifest, options.plan, options.warningsAsErrors, plan, err)) return 1;

    std::error_code ec;
    const fs::path output = fs::weakly_canonical(fs::absolute(options.output, ec), ec);
    if (output.filename().empty() || output == output.root_path()) {
        err << "tarnwick-pack: " << options.output.string() << " cannot be the output folder\n";
        return 1;
    }
    for (const fs::path& source : plan.sourceFolders)
        if (isInside(output, source)) {
            err << "tarnwick-pack: the output " << output.string() << " lies inside the source folder " << source.string()
                << "; the next build would pack the setup folder into itself\n";
            return 1;
        }
    std::string suffix = "-";
    suffix += std::to_string(TARNWICK_GETPID());
    const fs::path staging = hiddenSibling(output, ".partial" + suffix);
    try {
        const fs::path stub = findShippedProgram(options.stub, stubCandidates(options.arch, options.self), options.arch,
                                                 "setup program", "--stub");
        fs::create_directories(output.parent_path(), ec);
        fs::remove_all(staging, ec);
        if (!fs::create_directory(staging, ec) || ec)
            throw EBuildError("cannot create " + staging.string() + (ec ? ": " + ec.message() : ""));
        const fs::path launcher =
            options.singleFile ? findShippedProgram(options.launcher, launcherCandidates(options.arch, options.self),
                                                    options.arch, "launcher", "--launcher")
                               : fs::path();
        writeSetupFolder(plan, options, stub, staging);
        for (const TFinishingStep& step : options.finishingSteps) step(staging);
        if (options.singleFile) makeSingleFile(staging, launcher, singleFileName(plan.package.header.productName), suffix);
        publish(staging, output, suffix);
    } catch (const std::exception& e) {
        fs::remove_all(staging, ec);
        err << "tarnwick-pack: " << e.what() << "\nnothing written\n";
        return 1;
    }
    const TPackageHeader& h = plan.package.header;
    std::uint64_t bytes = 0;
    for (const TPlannedItem& item : plan.items) bytes += item.size;
    out << "built " << output.string() << ": \"" << h.productName << "\", " << h.itemCount << " items (" << bytes
        << " bytes), " << h.fileRecordCount << " file records, " << h.registryRecordCount << " registry records, "
        << plan.package.shortcuts.size() << " shortcuts, setup.exe for " << archName(options.arch)
        << (options.singleFile ? ", as one file " + singleFileName(h.productName) : std::string()) << '\n';
    return 0;
}

} // namespace tarnwick::pack
