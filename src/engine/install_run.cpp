#include "engine/install_run.h"

#include <algorithm>

#include "cipher/myblowfish.h"
#include "engine/file_checks.h"
#include "engine/folder_creation.h"
#include "engine/item_placement.h"
#include "engine/program_folder_rules.h"
#include "engine/registry_entries.h"
#include "engine/shortcut.h"
#include "engine/system_error.h"
#include "zip/ziparchiver.h"

#include <windows.h>

#include <cmath>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tarnwick {
namespace {

constexpr const char* kNotCompleted = "Installation is not compleated!";

// Items are extracted into numbered subfolders of the temporary folder, a hundred to a folder:
// each new file is looked up in its folder first, and under Wine a lookup of a missing name reads
// the whole folder, so one folder of thousands of items made extraction grow with the square of
// their number.
constexpr std::int64_t kItemsPerFolder = 100;

std::string itemFolder(std::int32_t number) {
    return "items" + std::to_string((static_cast<std::int64_t>(number) - 1) / kItemsPerFolder);
}

// The item's path relative to the temporary folder.
std::string itemPath(std::int32_t number) { return itemFolder(number) + "\\" + itemName(number); }

class TInstallation {
public:
    TInstallation(TRunHost& host, const TRunState& state, TPackageReader& package, TRegistryAccess& registry,
                  TMyBlowfish& cipher, TZipArchiver& archiver, std::string& mainProgramPath)
        : host_(host), state_(state), package_(package), registry_(registry), cipher_(cipher), archiver_(archiver),
          mainProgramPath_(mainProgramPath), folders_(placeholderFolders(state)) {}

    bool run();

private:
    bool readRecords();
    bool decipherData();
    bool extractItems();
    std::string extractionProblem();
    void failDamagedData(const std::string& problem);
    bool placeFiles();
    void deleteTemporaryItems();
    void placedAt(const TFileRecord& record, const std::string& path);
    std::unordered_set<std::int32_t> movedItems_;  // items moved out of the temporary folder
    bool applyRegistry();
    void makeShortcuts();
    bool registerUninstaller();
    void recordAnswers();
    void writeLoggedString(const std::string& key, const std::string& name, const std::string& value);
    void createLoggedShortcut(const std::string& target, const std::string& link, const std::string& description);
    bool copyLogged(const std::string& from, const std::string& to);
    void fail(const std::string& first, bool deletingLabel);
    void failWrite(const std::string& path, const std::string& reason);

    std::string dataArchive() const { return state_.temporaryFolder + "_setup_datDEC"; }

    TRunHost& host_;
    const TRunState& state_;
    TPackageReader& package_;
    TRegistryAccess& registry_;
    TMyBlowfish& cipher_;
    TZipArchiver& archiver_;
    std::string& mainProgramPath_;
    const TPlaceholderFolders folders_;
    bool programFolderCreated_ = false;
    std::int32_t failedItem_ = 0;            // the item whose extraction failed first
    std::uint64_t failedItemSize_ = 0;
    std::vector<TFileRecord> fileRecords_;
    std::vector<TRegistryRecord> registryRecords_;
};

bool TInstallation::run() {
    host_.SetNavigationEnabled(false);
    SetCurrentDirectoryA(state_.setupFolder.c_str());
    host_.SetProgressMax(102 * state_.itemCount);
    host_.SetProgressLabel("Coping files...");
    host_.ProcessMessages();

    if (!readRecords()) return false;
    host_.PhaseStarted("decipher");
    if (!decipherData()) return false;
    try {
        host_.PhaseStarted("extract");
        if (!extractItems()) return false;
    } catch (...) {
        // The archive must not stay open on its file, or the temporary folder could never go.
        if (archiver_.GetActive()) archiver_.CloseArchive();
        SetCurrentDirectoryA(state_.setupFolder.c_str());
        deleteTemporaryItems();
        throw;
    }
    host_.PhaseStarted("copy");
    SetCurrentDirectoryA(state_.temporaryFolder.c_str());
    mainProgramPath_.clear();
    const bool placed = [&] {
        try {
            return placeFiles();
        } catch (...) {
            SetCurrentDirectoryA(state_.setupFolder.c_str());
            deleteTemporaryItems();
            throw;
        }
    }();
    if (!placed) return false;

    host_.PhaseStarted("clean-up");
    SetCurrentDirectoryA(state_.setupFolder.c_str());
    host_.SetProgressLabel("Deleting temporary files...");
    host_.ProcessMessages();
    deleteTemporaryItems();
    host_.FillAndResetProgress();

    host_.PhaseStarted("registry");
    host_.SetProgressLabel("Setup is updating registry information...");
    host_.ProcessMessages();
    if (!applyRegistry()) return false;

    host_.PhaseStarted("icons");
    host_.SetProgressPosition(0);
    host_.SetProgressLabel("Setup is creating icons...");
    host_.ProcessMessages();
    makeShortcuts();
    if (!registerUninstaller()) return false;
    recordAnswers();
    host_.PhaseStarted("finish");

    host_.SetProgressPosition(host_.ProgressMax());
    host_.ProcessMessages();
    host_.SetNavigationEnabled(true);
    host_.PerformNext();
    host_.ProcessMessages();
    return true;
}

// The package's file and registry records, all read before anything changes: a package cut short
// or claiming more records than it holds is a damaged download, and placing the files its first
// records name would leave a product that is neither whole nor registered. Not reserved by the
// counts: a damaged package may claim any number of records.
bool TInstallation::readRecords() {
    const char* cut = nullptr;
    for (std::int32_t i = 0; !cut && i < state_.fileRecordCount; ++i) {
        TFileRecord record = package_.ReadFileRecord();
        if (package_.IsShort())
            cut = "its file records end early";
        else
            fileRecords_.push_back(std::move(record));
    }
    for (std::int32_t i = 0; !cut && i < state_.registryRecordCount; ++i) {
        TRegistryRecord record = package_.ReadRegistryRecord();
        if (package_.IsShort())
            cut = "its registry records end early";
        else
            registryRecords_.push_back(std::move(record));
    }
    if (!cut) return true;
    const std::string shipped = state_.setupFolder + "\\_setup.pkg";
    host_.Log("Damaged package file " + shipped + ": " + cut + " (" + std::to_string(fileRecords_.size()) + " of " +
              std::to_string(state_.fileRecordCount) + " file records, " + std::to_string(registryRecords_.size()) +
              " of " + std::to_string(state_.registryRecordCount) + " registry records read)");
    host_.ShowMessage("The setup's package file '" + shipped + "' is damaged (" + cut +
                      "). Please download the setup again. " + kNotCompleted);
    host_.Terminate();
    return false;
}

bool TInstallation::decipherData() {
    const std::string shipped = state_.setupFolder + "\\_setup.dat";
    if (!fileExists(shipped)) {
        host_.ShowMessage("The data file is currupted!!!");
        host_.Terminate();
        return false;
    }
    // Straight into the temporary folder: the setup folder may be read-only.
    const int result = cipher_.Decrypt_File(shipped.c_str(), dataArchive().c_str());
    host_.Log("Data file deciphered: " + shipped + " -> " + dataArchive() + " (result " + std::to_string(result) + ")");
    // A temporary folder without room for the data: said as such, not as a damaged download.
    if (result == TMyBlowfish::kDestinationNotWritable) {
        failWrite(dataArchive(), writeFailureReason(state_.temporaryFolder, fileSize(shipped), 0));
        return false;
    }
    return true;
}

// Every item must arrive whole: a download cut short or damaged shows as an archive error or an
// item missing from the archive. The archive component would otherwise ask Abort, Retry or Ignore
// for each item, and Ignore went on to register a product without its files; instead the first
// problem stops the run before anything is placed or registered.
bool TInstallation::extractItems() {
    const std::string problem = extractionProblem();
    if (problem.empty()) return true;
    // An item that could not be written for lack of room is a full disk, not a damaged download.
    if (failedItem_ != 0 && lacksSpace(state_.temporaryFolder, failedItemSize_)) {
        host_.Log("Extraction stopped: " + problem);
        failWrite(state_.temporaryFolder + itemPath(failedItem_),
                  writeFailureReason(state_.temporaryFolder, failedItemSize_, 0));
        return false;
    }
    failDamagedData(problem);
    return false;
}

// Empty when every item was extracted; otherwise what went wrong, for the message.
std::string TInstallation::extractionProblem() {
    std::string problem;
    // The window's archiver: its own failure handler comes back when extraction ends.
    struct TFailureHandlerScope {
        TZipArchiver& archiver;
        TZAProcessFileFailureEvent saved = std::move(archiver.OnProcessFileFailure);
        ~TFailureHandlerScope() { archiver.OnProcessFileFailure = std::move(saved); }
    } scope{archiver_};
    archiver_.OnProcessFileFailure = [&problem](TObject*, const std::string& fileName, TZAProcessOperation, int,
                                                int, const std::string& message, TZAAction& action) {
        if (problem.empty()) problem = fileName + ": " + message;
        action = fxaAbort;
    };
    try {
        archiver_.FileName = dataArchive();
        archiver_.OpenArchive(0);
        std::string lastFolder;
        const auto extract = [&](std::int32_t n) {
            const std::string folder = state_.temporaryFolder + itemFolder(n);
            if (folder != lastFolder) {
                CreateDirectoryA(folder.c_str(), nullptr);
                lastFolder = folder;
            }
            archiver_.BaseDir = folder;
            archiver_.ExtractFiles(itemName(n), 63, "");
            if (problem.empty() && !fileExists(state_.temporaryFolder + itemPath(n)))
                problem = itemName(n) + ": not in the data archive";
            if (!problem.empty() && failedItem_ == 0) {
                failedItem_ = n;
                TZAArchiveItem item;
                if (archiver_.FindFirst(itemName(n), item, "", 63))
                    failedItemSize_ = static_cast<std::uint64_t>(item.UncompressedSize);
            }
            return problem.empty();
        };
        // The main program comes last, so that everything it may need is already in place.
        const std::int32_t main = state_.mainItemNumber;
        std::vector<std::int32_t> order;
        order.reserve(static_cast<std::size_t>(std::max(state_.itemCount, 0)));
        for (std::int32_t n = 1; n <= state_.itemCount; ++n)
            if (n != main) order.push_back(n);
        if (main >= 1 && main <= state_.itemCount) order.push_back(main);
        // Told the order, the archive decodes each item on the second core while the one before
        // it is written.
        std::vector<std::string> names;
        names.reserve(order.size());
        for (const std::int32_t n : order) names.push_back(itemName(n));
        archiver_.PlanExtractions(names);
        for (const std::int32_t n : order)
            if (!extract(n)) break;
        archiver_.CloseArchive();
    } catch (const Exception& e) { // the component's own errors, and its streams' read errors
        if (archiver_.GetActive()) archiver_.CloseArchive();
        if (problem.empty()) problem = e.what();
    }
    return problem;
}

void TInstallation::failDamagedData(const std::string& problem) {
    const std::string shipped = state_.setupFolder + "\\_setup.dat";
    host_.Log("Damaged data file " + shipped + ": " + problem);
    SetCurrentDirectoryA(state_.setupFolder.c_str());
    host_.SetProgressLabel("Deleting temporary files...");
    host_.ProcessMessages();
    deleteTemporaryItems();
    host_.ShowMessage("The setup's data file '" + shipped + "' is damaged (" + problem +
                      "). Please download the setup again. " + kNotCompleted);
    host_.Terminate();
}

// A file record's item is in its place: logged, the main program noted, the bar stepped.
void TInstallation::placedAt(const TFileRecord& record, const std::string& path) {
    host_.Log("File: " + path);
    if (record.itemNumber == state_.mainItemNumber) mainProgramPath_ = path;
    host_.StepProgress();
}

bool TInstallation::placeFiles() {
    // An item goes by move to the last place that names it and by copy to the places before, so
    // no item's bytes are written twice and the clean-up has less to do.
    const std::vector<TFileRecord>& records = fileRecords_;
    std::unordered_map<std::int32_t, std::size_t> lastUse;
    for (std::size_t i = 0; i < records.size(); ++i)
        if (records[i].type == frFile && records[i].itemNumber != kUntrackedItem) lastUse[records[i].itemNumber] = i;

    TItemMover mover;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const TFileRecord& record = records[i];
        const std::string path = ExpandPlaceholders(record.path, folders_);
        if (record.type == frFolder) {
            if (!path.empty()) host_.Log("Folder: " + path);
            if (!path.empty() && !createFolderWithParents(path)) {
                fail("Can't create directory!!!\nIf you don't have permissions to create directories or work with "
                     "files please ask your administrator!",
                     true);
                return false;
            }
        } else if (record.type == frFile) {
            if (record.itemNumber != kUntrackedItem) {
                const std::string item = itemPath(record.itemNumber);
                const bool lastPlace = lastUse[record.itemNumber] == i;
                // Most files go where nothing of their name is yet: placing without replacing
                // looks the name up once. Under Wine every look-up of a missing name reads the
                // whole folder, and a product's folder may hold thousands of files.
                if (lastPlace ? mover.MoveToFreeName(item, path) : CopyFileA(item.c_str(), path.c_str(), TRUE) != 0) {
                    if (lastPlace) movedItems_.insert(record.itemNumber);
                    placedAt(record, path);
                    continue;
                }
                if (fileExists(path) && !DeleteFileA(path.c_str())) {
                    host_.Log(withSystemError("Cannot replace " + path, GetLastError()));
                    SetCurrentDirectoryA(state_.setupFolder.c_str());
                    host_.ShowMessage("The file '" + path + "' is unaccessible and can't be removed. " + kNotCompleted);
                    deleteTemporaryItems();
                    host_.Terminate();
                    return false;
                }
                const bool placed = lastPlace ? mover.Move(item, path) : CopyFileA(item.c_str(), path.c_str(), FALSE) != 0;
                if (!placed) {
                    // A product with a file missing must not be registered as installed: a full
                    // disk or a file that cannot be made stops the run, naming the file.
                    const DWORD error = GetLastError();
                    host_.Log(withSystemError("Failed to place item " + std::to_string(record.itemNumber) + " at " + path,
                                              error));
                    DeleteFileA(path.c_str()); // what a copy cut short left
                    const std::string folder = path.substr(0, path.find_last_of('\\') + 1);
                    failWrite(path, writeFailureReason(folder, fileSize(item), error));
                    return false;
                }
                placedAt(record, path);
                continue;
            }
            host_.StepProgress();
        }
    }
    return true;
}

void TInstallation::deleteTemporaryItems() {
    for (std::int32_t n = 1; n <= state_.itemCount; ++n) {
        host_.ProcessMessages();
        // A moved item is gone already; asking the system to delete it would only look it up.
        if (movedItems_.count(n) == 0) DeleteFileA((state_.temporaryFolder + itemPath(n)).c_str());
        host_.SetProgressPosition(host_.ProgressPosition() + 1);
    }
    for (std::int64_t n = 1; n <= state_.itemCount; n += kItemsPerFolder)
        RemoveDirectoryA((state_.temporaryFolder + itemFolder(static_cast<std::int32_t>(n))).c_str());
    DeleteFileA(dataArchive().c_str());
}

// Shows the failure, clears the temporary items and ends the program. Failures A and C show the
// clean-up label between their two messages.
void TInstallation::fail(const std::string& first, bool deletingLabel) {
    SetCurrentDirectoryA(state_.setupFolder.c_str());
    host_.ShowMessage(first);
    if (deletingLabel) {
        host_.SetProgressLabel("Deleting temporary files...");
        host_.ProcessMessages();
    }
    deleteTemporaryItems();
    host_.ShowMessage(kNotCompleted);
    host_.Terminate();
}

// A file setup had to write and could not: one message naming it and why, the temporary items
// cleared, the program ended.
void TInstallation::failWrite(const std::string& path, const std::string& reason) {
    host_.Log("Cannot write " + path + ": " + reason);
    SetCurrentDirectoryA(state_.setupFolder.c_str());
    host_.SetProgressLabel("Deleting temporary files...");
    host_.ProcessMessages();
    deleteTemporaryItems();
    host_.ShowMessage("Setup could not write the file '" + path + "': " + reason + ". " + kNotCompleted);
    host_.Terminate();
}

bool TInstallation::applyRegistry() {
    for (const TRegistryRecord& record : registryRecords_) {
        const TRegistryApplyResult applied = applyRegistryRecord(registry_, record, folders_);
        if (record.type == rrKey) {
            if (applied == TRegistryApplyResult::KeyNotCreated)
                host_.Log(withSystemError("Registry key not created: " + record.keyPath,
                                          static_cast<DWORD>(registry_.LastError)));
            else
                host_.Log("Registry key: " + record.keyPath);
        } else if (record.type == rrValue && record.valueKind != rvNone) {
            // The record's own write is the registry object's last call.
            if (registry_.LastError == ERROR_SUCCESS)
                host_.Log("Registry value: " + record.keyPath + " = " + ExpandPlaceholders(record.data, folders_));
            else
                host_.Log(withSystemError("Registry value not written: " + record.keyPath,
                                          static_cast<DWORD>(registry_.LastError)));
        }
        if (applied == TRegistryApplyResult::KeyNotCreated) {
            fail("Can't access registers!!!\nIf you don't have permissions to work with registers please ask your "
                 "administrator!",
                 true);
            return false;
        }
        if (isProgressRecord(record)) host_.StepProgress();
    }
    return true;
}

void TInstallation::makeShortcuts() {
    const std::string programFolder = state_.programsMenuFolder + "\\" + state_.programFolderName;
    // Only a folder made here for this product may later be emptied by the uninstaller.
    const bool ours = !state_.programsMenuFolder.empty() &&
                      classifyProgramFolder(state_.programFolderName) == TProgramFolderPlacement::Inside;
    const bool existed = folderExists(programFolder);
    if (!createFolderWithParents(programFolder)) host_.Log("Program folder not created: " + programFolder);
    programFolderCreated_ = ours && !existed && folderExists(programFolder);

    createLoggedShortcut(mainProgramPath_, programFolder + "\\" + state_.productName + ".lnk", state_.productName);
    host_.SetProgressPosition(host_.ProgressMax());
    host_.ProcessMessages();

    const std::int32_t count = package_.IsShort() ? 0 : package_.ReadShortcutCount();
    for (std::int32_t i = 0; i < count; ++i) {
        const TShortcutRecord shortcut = package_.ReadShortcutRecord();
        if (package_.IsShort()) break;
        const std::string target = ExpandPlaceholders(shortcut.targetPath, folders_);
        if (fileExists(target))
            createLoggedShortcut(target, programFolder + "\\" + shortcut.shortcutName + ".lnk", shortcut.shortcutName);
        else
            host_.Log("Shortcut skipped, no target: " + target);
    }
}

bool TInstallation::registerUninstaller() {
    registry_.SetRoot(HKEY_LOCAL_MACHINE);
    const std::string entry = std::string(kUninstallKey) + "\\" + state_.productName;
    if (!registry_.OpenKey(kUninstallKey) || !registry_.CreateKey(entry) || !registry_.OpenKey(entry)) {
        host_.Log(withSystemError("Uninstall entry not written: HKEY_LOCAL_MACHINE\\" + entry,
                                  static_cast<DWORD>(registry_.LastError)));
        return true;
    }
    writeLoggedString(entry, "DisplayName", state_.productName);
    // Quoted: unquoted, a path with blanks lets Windows try a program at a shorter prefix of it.
    writeLoggedString(entry, "UninstallString", "\"" + state_.destinationFolder + "\\uninst.exe\" -uninstall");
    // What deployment tools and the list of installed programs run to remove it without a window.
    writeLoggedString(entry, "QuietUninstallString", "\"" + state_.destinationFolder + "\\uninst.exe\" /S");
    // An entry whose uninstaller is missing could never be removed: without uninst.exe and its
    // package copy the entry goes again and the run stops, naming the file.
    for (const char* name : {"\\setup.exe", "\\_setup.pkg"}) {
        const std::string from = state_.setupFolder + name;
        const std::string to = state_.destinationFolder + (name == std::string("\\setup.exe") ? "\\uninst.exe" : name);
        if (copyLogged(from, to)) continue;
        const DWORD error = GetLastError();
        if (error != ERROR_DISK_FULL && error != ERROR_HANDLE_DISK_FULL) continue; // logged, as before
        DeleteFileA(to.c_str());
        if (registry_.OpenKey(kUninstallKey) && registry_.DeleteKey(state_.productName))
            host_.Log("Registry key removed: HKEY_LOCAL_MACHINE\\" + entry);
        failWrite(to, writeFailureReason(state_.destinationFolder, fileSize(from), error));
        return false;
    }
    return true;
}

void TInstallation::writeLoggedString(const std::string& key, const std::string& name, const std::string& value) {
    const std::string where = "HKEY_LOCAL_MACHINE\\" + key + "\\" + name;
    if (registry_.WriteString(name, value))
        host_.Log("Registry value: " + where + " = " + value);
    else
        host_.Log(withSystemError("Registry value not written: " + where, static_cast<DWORD>(registry_.LastError)));
}

void TInstallation::createLoggedShortcut(const std::string& target, const std::string& link,
                                         const std::string& description) {
    const HRESULT result = CreateShortcut(target, link, description);
    if (SUCCEEDED(result))
        host_.Log("Shortcut: " + link + " -> " + target);
    else
        host_.Log(withSystemError("Shortcut not created: " + link, static_cast<DWORD>(result)));
}

bool TInstallation::copyLogged(const std::string& from, const std::string& to) {
    if (CopyFileA(from.c_str(), to.c_str(), FALSE)) {
        host_.Log("File: " + to);
        return true;
    }
    const DWORD error = GetLastError();
    host_.Log(withSystemError("Failed to copy " + from + " to " + to, error));
    SetLastError(error);
    return false;
}

void TInstallation::recordAnswers() {
    const std::string publisherKey = "SOFTWARE\\" + state_.publisherName;
    const std::string productKey = productKeyPath(state_);
    if (!registry_.OpenKey("SOFTWARE") || !registry_.CreateKey(publisherKey) || !registry_.OpenKey(publisherKey) ||
        !registry_.CreateKey(productKey) || !registry_.OpenKey(productKey)) {
        host_.Log(withSystemError("Product key not written: HKEY_LOCAL_MACHINE\\" + productKey,
                                  static_cast<DWORD>(registry_.LastError)));
        return;
    }
    writeLoggedString(productKey, "Company", state_.companyName);
    writeLoggedString(productKey, "Name", state_.userName);
    writeLoggedString(productKey, "Program Folder", state_.programFolderName);
    if (programFolderCreated_) writeLoggedString(productKey, kProgramFolderCreatedValue, "1");
}

} // namespace

std::string itemName(std::int32_t number) { return std::to_string(number) + ".twi"; }

void advanceExtractionProgress(TRunHost& host, double& lastProgress, double progress) {
    if (lastProgress > progress) lastProgress = 0;
    host.SetProgressPosition(static_cast<int>(std::trunc(host.ProgressPosition() + (progress - lastProgress))));
    lastProgress = progress;
    host.ProcessMessages();
}

bool runInstallation(TRunHost& host, const TRunState& state, TPackageReader& package, TRegistryAccess& registry,
                     TMyBlowfish& cipher, TZipArchiver& archiver, std::string& mainProgramPath) {
    return TInstallation(host, state, package, registry, cipher, archiver, mainProgramPath).run();
}

} // namespace tarnwick
