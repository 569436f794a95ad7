// One installation run of a generated product, timed phase by phase, without a window.
//
//   tarnwick-install-bench WORK
//   tarnwick-install-bench --extract-split WORK VARIANT
//
// WORK (a Windows path) holds data.zip (items 1.twi..N.twi) and manifest.txt, one line each:
//   D <TAB> relative\folder               a folder record
//   F <TAB> item <TAB> relative\file      a file record; the last item is the main program
// The run's folders go to WORK\run, emptied first. Packaging (the package, the enciphered
// _setup.dat and _setup.pkg) is not timed; runInstallation is. Prints, one per line:
//   phase <name> <seconds>     for decipher, extract, copy, clean-up, registry, icons, finish
//   total <seconds>
//   calls <ProcessMessages passes> <progress positions> <extraction progress events>
// Exit status 0 when the run finished cleanly, 1 otherwise (with the reason on stderr).
// TARNWICK_DECODE_AHEAD=0 in the environment turns off decoding the next item on a second
// thread, for a figure of the run without it.
//
// --extract-split takes the extract phase apart on WORK\data.zip, with no installation around it.
// VARIANT is one of (each prints "split VARIANT <seconds>"):
//   search              the directory searches alone: one FindFirst/FindNext pass per item name
//   per-item            ExtractFiles once per item name, as the run calls it
//   one-call            ExtractFiles("*.*") once: the same bytes in one batch
//   one-call-no-flush   one-call with Options.FlushBuffers off (no drive-type query per file)
//   one-call-no-events  one-call without the progress handler
//   decode              ExtractToStream of each item into a stream that drops the bytes:
//                       reading, inflating and checking, no files written
//   probes              prints "probe <call> <seconds>": N calls of each Win32 function that
//                       extraction makes per item, by itself
#include "cipher/myblowfish.h"
#include "engine/install_run.h"
#include "engine/message_pacing.h"
#include "engine/registry_access.h"
#include "package/package_reader.h"
#include "package/package_writer.h"
#include "zip/zadecode.h"
#include "zip/ziparchiver.h"
#include "zip/zastream.h"

#include <shlwapi.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarnwick {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kProductName = "Tarnwick Bench Product";
constexpr const char* kPublisherName = "TarnwickBench";
constexpr const char* kUserKey = "Software\\TarnwickBench";

// Stands in for the window: keeps the bar's numbers, drains the message queue as
// Application->ProcessMessages does (there is no window to paint), and stamps each phase.
class TimingHost final : public TRunHost {
public:
    void SetProgressMax(int max) override { max_ = max; }
    int ProgressMax() const override { return max_; }
    void SetProgressPosition(int position) override {
        position_ = std::clamp(position, 0, std::max(max_, 0));
        ++positions;
    }
    int ProgressPosition() const override { return position_; }
    void SetProgressLabel(const std::string&) override {}
    void ProcessMessages() override {
        ++passes;
        if (!pacer_.Due()) return;  // as the window paces its passes
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void Terminate() override { terminated = true; }
    void SetNavigationEnabled(bool) override {}
    void PerformNext() override { ++nextActions; }
    void PhaseStarted(const char* phase) override { stamps.emplace_back(phase, Clock::now()); }

    std::vector<std::pair<std::string, Clock::time_point>> stamps;
    std::vector<std::string> messages;
    long long passes = 0;
    long long positions = 0;
    int nextActions = 0;
    bool terminated = false;

private:
    int max_ = 100;
    int position_ = 0;
    TMessagePacer pacer_;
};

double seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// The product as the script generated it, turned into package records.
TPackage readManifest(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot read " + path);
    TPackage package;
    package.header.productName = kProductName;
    package.header.publisherName = kPublisherName;
    package.header.destinationTemplate = "[PROGRAMFILES]\\Tarnwick Bench Product";
    std::int32_t items = 0;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        std::istringstream fields(line);
        std::string kind, a, b;
        std::getline(fields, kind, '\t');
        std::getline(fields, a, '\t');
        if (kind == "D") {
            package.files.push_back({frFolder, 0, "[INSTALLDIR]\\" + a});
        } else if (kind == "F") {
            std::getline(fields, b, '\t');
            const std::int32_t item = std::stoi(a);
            items = std::max(items, item);
            package.files.push_back({frFile, item, "[INSTALLDIR]\\" + b});
        } else {
            throw std::runtime_error("bad manifest line: " + line);
        }
    }
    package.header.itemCount = items;
    package.header.mainItemNumber = items;

    // A typical product's registry: its own key with a few values of each kind, and a file type.
    const std::string app = std::string("HKEY_CURRENT_USER\\") + kUserKey + "\\App\\";
    package.registry = {
        {rrKey, rvNone, app, ""},
        {rrValue, rvString, app + "InstallPath", "[INSTALLDIR]"},
        {rrValue, rvExpandString, app + "DataPath", "[INSTALLDIR]\\data"},
        {rrValue, rvNumber, app + "Version", "42"},
        {rrValue, rvBinaryDigits, app + "Flags", "0102030405"},
        {rrKey, rvNone, app + "Settings\\", ""},
        {rrValue, rvString, app + "Settings\\Language", "en"},
        {rrValue, rvNumber, app + "Settings\\Windowed", "1"},
        {rrKey, rvNone, std::string("HKEY_CURRENT_USER\\") + kUserKey + "\\Classes\\.twbench\\", ""},
        {rrValue, rvString, std::string("HKEY_CURRENT_USER\\") + kUserKey + "\\Classes\\.twbench\\Content Type",
         "application/x-twbench"},
    };
    // Shortcuts to the first few files besides the main program's own.
    for (const TFileRecord& record : package.files)
        if (record.type == frFile && package.shortcuts.size() < 3)
            package.shortcuts.push_back({record.path, "Item " + std::to_string(record.itemNumber)});
    return package;
}

// Enciphers from into to, as the packaging step ships it: Encrypt_File writes <from-without-ext>BLW.
void encipher(TMyBlowfish& cipher, const std::string& from, const std::string& to) {
    if (cipher.Encrypt_File(from.c_str()) != TMyBlowfish::kDone) throw std::runtime_error("cannot encipher " + from);
    fs::path out(from);
    out.replace_extension();
    fs::rename(out.string() + "BLW", to);
    fs::remove(from);
}

// What an earlier run left: files, registry keys, the program folder.
void clearEarlierRun(const std::string& run) {
    std::error_code ec;
    fs::remove_all(run, ec);
    if (ec) throw std::runtime_error("cannot empty " + run + ": " + ec.message());
    SHDeleteKeyA(HKEY_CURRENT_USER, kUserKey);
    SHDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string("SOFTWARE\\") + kPublisherName).c_str());
    SHDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(kUninstallKey) + "\\" + kProductName).c_str());
}

std::size_t countFiles(const std::string& folder) {
    std::size_t n = 0;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file()) ++n;
    return n;
}

// The archive component as the window sets it up (TMainForm::createZipArchiver), with the
// run's progress handler bound.
void setUpArchiver(TZipArchiver& archiver, TRunHost& host, double& lastProgress, long long& events) {
    archiver.ExtractCorruptedFiles = false;
    archiver.SetCompressionLevel(clFastest);
    archiver.SpanningOptions.AdvancedNaming = true;
    archiver.SpanningOptions.VolumeSize = vsAutoDetect;
    archiver.Options.FlushBuffers = true;
    archiver.Options.OEMFileNames = true;
    archiver.OnFileProgress = [&host, &lastProgress, &events](TObject*, const std::string&, double progress,
                                                              TZAProcessOperation, TZAProgressPhase, bool&) {
        ++events;
        advanceExtractionProgress(host, lastProgress, progress);
    };
}

int benchMain(const std::string& work) {
    if (const char* ahead = std::getenv("TARNWICK_DECODE_AHEAD"); ahead != nullptr && std::string(ahead) == "0")
        zadetail::extractionPrefetch() = false;
    const std::string run = work + "\\run";
    clearEarlierRun(run);
    for (const char* d : {"\\Setup", "\\Temp", "\\PF", "\\Programs", "\\Desktop"}) fs::create_directories(run + d);

    TRunState state;
    state.setupFolder = run + "\\Setup";
    state.temporaryFolder = run + "\\Temp\\";
    state.programFilesFolder = run + "\\PF";
    state.destinationFolder = state.programFilesFolder + "\\" + kProductName;
    state.programsMenuFolder = run + "\\Programs";
    state.desktopFolder = run + "\\Desktop";
    state.productName = kProductName;
    state.publisherName = kPublisherName;
    state.userName = "Bench User";
    state.companyName = "Bench Co";
    state.programFolderName = kProductName;

    TPackage package = readManifest(work + "\\manifest.txt");
    state.itemCount = package.header.itemCount;
    state.mainItemNumber = package.header.mainItemNumber;
    state.fileRecordCount = static_cast<std::int32_t>(package.files.size());
    state.registryRecordCount = static_cast<std::int32_t>(package.registry.size());
    const std::vector<unsigned char> bytes = writePackage(package);

    // The setup folder as the packaging step leaves it; this program stands in for setup.exe.
    TMyBlowfish cipher(nullptr);
    cipher.Setpassword(TMyBlowfish::kDefaultPassword);
    fs::copy_file(work + "\\data.zip", state.setupFolder + "\\_setup", fs::copy_options::overwrite_existing);
    encipher(cipher, state.setupFolder + "\\_setup", state.setupFolder + "\\_setup.dat");
    {
        std::ofstream out(state.setupFolder + "\\_setup", std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    encipher(cipher, state.setupFolder + "\\_setup", state.setupFolder + "\\_setup.pkg");
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    fs::copy_file(self, state.setupFolder + "\\setup.exe");

    TimingHost host;
    TZipArchiver archiver(nullptr);
    double lastProgress = 0;
    long long progressEvents = 0;
    setUpArchiver(archiver, host, lastProgress, progressEvents);

    TMemoryByteSource source(bytes);
    TPackageReader reader(source);
    reader.ReadHeader();
    TRegistryAccess registry(HKEY_LOCAL_MACHINE);
    std::string mainProgramPath;

    const Clock::time_point start = Clock::now();
    runInstallation(host, state, reader, registry, cipher, archiver, mainProgramPath);
    const Clock::time_point end = Clock::now();

    for (std::size_t i = 0; i < host.stamps.size(); ++i) {
        const Clock::time_point until = i + 1 < host.stamps.size() ? host.stamps[i + 1].second : end;
        std::printf("phase %s %.6f\n", host.stamps[i].first.c_str(), seconds(host.stamps[i].second, until));
    }
    std::printf("total %.6f\n", seconds(start, end));
    std::printf("calls %lld %lld %lld\n", host.passes, host.positions, progressEvents);
    std::fflush(stdout);

    // A run that stopped early would be timed as fast; refuse it.
    SetCurrentDirectoryA(work.c_str());
    for (const std::string& message : host.messages) std::fprintf(stderr, "message: %s\n", message.c_str());
    const std::size_t expected = static_cast<std::size_t>(std::count_if(
                                     package.files.begin(), package.files.end(),
                                     [](const TFileRecord& r) { return r.type == frFile; })) +
                                 2; // uninst.exe, _setup.pkg
    const std::size_t placed = countFiles(state.destinationFolder);
    const bool tempEmpty = fs::is_empty(state.temporaryFolder);
    if (!host.messages.empty() || host.terminated || host.nextActions != 1 || mainProgramPath.empty() ||
        placed != expected || !tempEmpty) {
        std::fprintf(stderr, "the run did not finish cleanly: %zu of %zu files placed, temporary folder %s\n", placed,
                     expected, tempEmpty ? "empty" : "not empty");
        return 1;
    }
    return 0;
}

// Takes the bytes and keeps nothing: what is left of extraction is reading and decoding.
class TDiscardStream final : public TStream {
public:
    std::size_t Read(void*, std::size_t) override { return 0; }
    std::size_t Write(const void*, std::size_t count) override {
        position_ += static_cast<std::int64_t>(count);
        return count;
    }
    std::int64_t GetPosition() const override { return position_; }
    void SetPosition(std::int64_t position) override { position_ = position; }
    std::int64_t GetSize() override { return position_; }
    void SetSize(std::int64_t size) override { position_ = size; }

private:
    std::int64_t position_ = 0;
};

// N calls each of Win32 functions the extraction makes once or more per item, by themselves.
// A name that does not exist makes Wine read the whole folder for a match in another letter
// case, so the same miss is timed in an empty folder and in one holding N files.
int probeMain(const std::string& folder, std::int32_t items) {
    const auto probe = [items](const char* name, int perItem, auto&& call) {
        const Clock::time_point start = Clock::now();
        for (std::int32_t i = 0; i < items * perItem; ++i) call(i);
        std::printf("probe %s %.6f\n", name, seconds(start, Clock::now()));
    };
    const std::string empty = folder + "\\empty", full = folder + "\\full";
    fs::create_directories(empty);
    fs::create_directories(full);
    for (std::int32_t n = 1; n <= items; ++n) std::ofstream(full + "\\" + itemName(n));
    probe("GetFileAttributesA-miss-empty-folder", 1,
          [&](std::int32_t i) { (void)GetFileAttributesA((empty + "\\x" + itemName(i)).c_str()); });
    probe("GetFileAttributesA-miss-full-folder", 1,
          [&](std::int32_t i) { (void)GetFileAttributesA((full + "\\x" + itemName(i)).c_str()); });
    probe("GetFileAttributesA-hit-full-folder", 1,
          [&](std::int32_t i) { (void)GetFileAttributesA((full + "\\" + itemName(i + 1)).c_str()); });
    const std::string drive = folder.substr(0, 2) + "\\";
    probe("GetDriveTypeA", 1, [&](std::int32_t) { (void)GetDriveTypeA(drive.c_str()); });
    probe("GlobalMemoryStatusEx", 1, [](std::int32_t) {
        MEMORYSTATUSEX status;
        status.dwLength = sizeof status;
        (void)GlobalMemoryStatusEx(&status);
    });
    TimingHost host;
    probe("ProcessMessages-x3", 3, [&](std::int32_t) { host.ProcessMessages(); });
    return 0;
}

// Runs one variant on WORK\data.zip into WORK\split, which must not exist yet (the script
// empties it and syncs the disk between variants, so none pays for the last one's deletions).
int extractSplitMain(const std::string& work, const std::string& variant) {
    const std::string split = work + "\\split";
    if (fs::exists(split)) throw std::runtime_error(split + " is left from an earlier run");
    fs::create_directories(split);

    TimingHost host;
    host.SetProgressMax(1 << 30);
    double lastProgress = 0;
    long long events = 0;
    TZipArchiver archiver(nullptr);
    setUpArchiver(archiver, host, lastProgress, events);
    archiver.BaseDir = split + "\\";
    archiver.FileName = work + "\\data.zip";
    archiver.OpenArchive(0);
    const std::int32_t items = archiver.GetFileCount();

    std::function<void()> body;
    if (variant == "search") {
        body = [&] {
            TZAArchiveItem item;
            for (std::int32_t n = 1; n <= items; ++n)
                for (bool found = archiver.FindFirst(itemName(n), item, "", 63); found; found = archiver.FindNext(item)) {
                }
        };
    } else if (variant == "per-item") {
        body = [&] {
            for (std::int32_t n = 1; n <= items; ++n) archiver.ExtractFiles(itemName(n), 63, "");
        };
    } else if (variant == "one-call" || variant == "one-call-no-flush" || variant == "one-call-no-events") {
        if (variant == "one-call-no-flush") archiver.Options.FlushBuffers = false;
        if (variant == "one-call-no-events") archiver.OnFileProgress = nullptr;
        body = [&] { archiver.ExtractFiles("*.*", 63, ""); };
    } else if (variant == "decode") {
        body = [&] {
            for (std::int32_t n = 1; n <= items; ++n) {
                TDiscardStream sink;
                archiver.ExtractToStream(itemName(n), &sink);
            }
        };
    } else if (variant == "probes") {
        archiver.CloseArchive();
        return probeMain(split, items);
    } else {
        throw std::runtime_error("unknown variant " + variant);
    }
    const Clock::time_point start = Clock::now();
    body();
    const Clock::time_point end = Clock::now();
    archiver.CloseArchive();
    std::printf("split %s %.6f\n", variant.c_str(), seconds(start, end));
    return 0;
}

} // namespace
} // namespace tarnwick

int main(int argc, char** argv) {
    const bool split = argc == 4 && std::string(argv[1]) == "--extract-split";
    if (argc != 2 && !split) {
        std::fprintf(stderr, "usage: tarnwick-install-bench WORK | --extract-split WORK VARIANT\n");
        return 2;
    }
    try {
        return split ? tarnwick::extractSplitMain(argv[2], argv[3]) : tarnwick::benchMain(argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "error: %s\n", e.what());
        return 1;
    }
}
