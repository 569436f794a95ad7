#include "launcher/single_file_setup.h"

#include "zip/ziparchiver.h"

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

// Removes a file when the scope ends, unless kept.
class TScratchFile {
public:
    explicit TScratchFile(fs::path path) : path_(std::move(path)) {}
    ~TScratchFile() {
        std::error_code ignored;
        if (!kept_) fs::remove(path_, ignored);
    }
    TScratchFile(const TScratchFile&) = delete;
    TScratchFile& operator=(const TScratchFile&) = delete;
    void Keep() { kept_ = true; }

private:
    fs::path path_;
    bool kept_ = false;
};

std::vector<std::string> setupFolderFiles(const fs::path& folder) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) throw std::runtime_error("not a setup folder: " + folder.string());
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec))
        if (entry.is_regular_file(ec)) names.push_back(entry.path().filename().string());
    if (ec) throw std::runtime_error("cannot list " + folder.string() + ": " + ec.message());
    std::sort(names.begin(), names.end());
    for (const std::string& required : kSingleFileRequired) {
        // Windows matches names ignoring case; so does this check.
        const auto same = [&](const std::string& name) {
            return name.size() == required.size() &&
                   std::equal(name.begin(), name.end(), required.begin(),
                              [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
        };
        if (std::none_of(names.begin(), names.end(), same))
            throw std::runtime_error("the setup folder has no " + required + ": " + (folder / required).string());
    }
    return names;
}

} // namespace

void writeSingleFileSetup(const std::string& setupFolder, const std::string& launcher, const std::string& target) {
    std::error_code ec;
    if (!fs::is_regular_file(launcher, ec)) throw std::runtime_error("no launcher program: " + launcher);
    const std::vector<std::string> names = setupFolderFiles(setupFolder);

    // The archive is written beside the target first: MakeSFX joins a finished archive.
    const fs::path archivePath = fs::path(target).concat(".zip.part");
    fs::remove(archivePath, ec);
    fs::remove(target, ec);
    TScratchFile archiveFile(archivePath);
    TScratchFile targetFile(target);

    TZipArchiver archiver(nullptr);
    archiver.FileName = archivePath.string();
    archiver.BaseDir = setupFolder;
    archiver.Options.StorePath = spNoPath;
    // Stored: _setup.dat is enciphered and will not shrink, and the launcher reads fastest so.
    archiver.SetCompressionLevel(clNone);
    archiver.SetFileMasks(names);
    archiver.OpenArchive();
    archiver.AddFiles();
    const int count = archiver.GetFileCount();
    archiver.CloseArchive();
    if (count != static_cast<int>(names.size()))
        throw std::runtime_error("only " + std::to_string(count) + " of the " + std::to_string(names.size()) +
                                 " files of " + setupFolder + " went into the archive");
    archiver.SFXStub = launcher;
    archiver.MakeSFX(target);
    targetFile.Keep();
}

} // namespace tarnwick
