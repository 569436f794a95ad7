#include "verify_command.h"

#include "setup_folder_reader.h"
#include "stubs.h"
#include "zip/zadirmanager.h"
#include "zip/ziparchiver.h"

#include <map>
#include <ostream>
#include <set>

namespace tarnwick::pack {

namespace fs = std::filesystem;

namespace {

// The archive component as verify drives it: every failed item is recorded, none stops the test.
class TCheckingArchiver final : public TZipArchiver {
public:
    TCheckingArchiver() : TZipArchiver(nullptr) {}
    std::vector<std::string> failures;

protected:
    void DoOnProcessFileFailure(const std::string& fileName, TZAProcessOperation, int, int, const std::string& message,
                                TZAAction& action) override {
        failures.push_back(fileName + ": " + message);
        action = fxaIgnore;
    }
};

bool startsWithRoot(const std::string& keyPath) {
    static const char* const roots[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS",
                                        "HKEY_CURRENT_CONFIG"};
    for (const char* root : roots) {
        const std::string r = root;
        if (keyPath.size() > r.size() && std::equal(r.begin(), r.end(), keyPath.begin(), [](char a, char b) {
                return std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b));
            }))
            return true;
    }
    return false;
}

} // namespace

int verifySetupFolder(const fs::path& dir, std::ostream& out) {
    std::vector<std::string> faults;
    auto fault = [&](const std::string& text) { faults.push_back(text); };

    const fs::path setupExe = dir / "setup.exe";
    std::optional<TArch> arch;
    if (!fs::is_regular_file(setupExe))
        fault("setup.exe: missing");
    else if (!(arch = peArchitecture(setupExe)))
        fault("setup.exe: not a Windows program for x64 or x86");

    const TLoadedPackage loaded = loadPackageFile(dir / "_setup.pkg");
    const TPackageHeader& h = loaded.package.header;
    if (!loaded.problem.empty()) {
        fault("_setup.pkg: " + loaded.problem);
    } else if (!loaded.signatureOk) {
        fault("_setup.pkg: wrong signature (not a package, or enciphered with another key)");
    } else {
        if (h.itemCount < 0 || h.fileRecordCount < 0 || h.registryRecordCount < 0)
            fault("_setup.pkg: negative count in the header (items " + std::to_string(h.itemCount) + ", file records " +
                  std::to_string(h.fileRecordCount) + ", registry records " + std::to_string(h.registryRecordCount) + ")");
        if (loaded.isShort)
            fault("_setup.pkg: ends before the records its header counts (" + std::to_string(h.fileRecordCount) +
                  " file records, " + std::to_string(h.registryRecordCount) + " registry records, then the shortcut list)");
        if (loaded.trailingBytes > 0)
            fault("_setup.pkg: " + std::to_string(loaded.trailingBytes) + " bytes after the shortcut list");
        if (h.productName.empty()) fault("_setup.pkg: empty product name");
        bool hasInstallDir = false;
        bool mainUsed = false;
        for (std::size_t i = 0; i < loaded.package.files.size(); ++i) {
            const TFileRecord& r = loaded.package.files[i];
            const std::string where = "_setup.pkg: file record " + std::to_string(i + 1) + " (" + r.path + ")";
            if (r.type == frFolder) {
                std::string folded = r.path;
                for (char& c : folded) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
                hasInstallDir = hasInstallDir || folded == "[INSTALLDIR]";
            } else if (r.type == frFile) {
                if (r.itemNumber != kUntrackedItem && (r.itemNumber < 1 || r.itemNumber > h.itemCount))
                    fault(where + ": item " + std::to_string(r.itemNumber) + " is not between 1 and " + std::to_string(h.itemCount));
                mainUsed = mainUsed || (r.itemNumber == h.mainItemNumber);
            } else {
                fault(where + ": type " + std::to_string(r.type) + " is neither a folder (0) nor a file (1); setup skips it");
            }
            if (r.path.empty()) fault(where + ": empty path");
        }
        if (!hasInstallDir) fault("_setup.pkg: no folder record for [INSTALLDIR]; the uninstallation would have no folder to work in");
        if (h.mainItemNumber >= 1 && (h.mainItemNumber > h.itemCount || !mainUsed))
            fault("_setup.pkg: the main item " + std::to_string(h.mainItemNumber) + " is not installed by any file record");
        for (std::size_t i = 0; i < loaded.package.registry.size(); ++i) {
            const TRegistryRecord& r = loaded.package.registry[i];
            const std::string where = "_setup.pkg: registry record " + std::to_string(i + 1) + " (" + r.keyPath + ")";
            if (r.type != rrKey && r.type != rrValue) fault(where + ": type " + std::to_string(r.type) + " is skipped by setup");
            if (r.type == rrValue && (r.valueKind < rvNone || r.valueKind > rvExpandString))
                fault(where + ": unknown value kind " + std::to_string(r.valueKind));
            if (!startsWithRoot(r.keyPath)) fault(where + ": does not start with a root key name");
        }
        if (!h.pictureName.empty() && !fs::is_regular_file(dir / h.pictureName))
            fault(h.pictureName + ": the picture the package names is missing");
    }

    // The data archive: items 1..N, each exactly once and intact, nothing else.
    TDecipheredArchive data(dir / "_setup.dat");
    std::size_t itemsSeen = 0;
    if (!data.problem().empty()) {
        fault("_setup.dat: " + data.problem());
    } else {
        TCheckingArchiver archiver;
        archiver.FileName = data.path().string();
        try {
            archiver.OpenArchive(static_cast<std::uint16_t>(0));
            const TZADirArray& entries = archiver.DirManager()->CentralDir;
            std::map<std::int32_t, int> seen;
            for (int i = 0; i < entries.GetCount(); ++i) {
                const std::string& name = entries.GetItemPtr(i)->FileName;
                const std::optional<std::int32_t> n = itemNumberOf(name);
                if (!n || (loaded.signatureOk && *n > h.itemCount))
                    fault("_setup.dat: '" + name + "' is not one of the numbered items 1.twi to " + std::to_string(h.itemCount) + ".twi");
                else if (++seen[*n] == 2)
                    fault("_setup.dat: item " + name + " is there more than once");
            }
            itemsSeen = seen.size();
            if (loaded.signatureOk)
                for (std::int32_t n = 1; n <= h.itemCount; ++n)
                    if (!seen.contains(n)) fault("_setup.dat: item " + std::to_string(n) + ".twi is missing");
            archiver.TestFiles("*", 63, "");
            for (const std::string& failure : archiver.failures) fault("_setup.dat: " + failure);
            archiver.CloseArchive();
        } catch (const std::exception& e) {
            fault(std::string("_setup.dat: ") + e.what());
        }
    }

    for (const std::string& f : faults) out << f << '\n';
    if (!faults.empty()) return 1;
    out << "ok: \"" << h.productName << "\", setup.exe for " << archName(*arch) << ", " << itemsSeen << " items intact, "
        << h.fileRecordCount << " file records, " << h.registryRecordCount << " registry records, "
        << loaded.package.shortcuts.size() << " shortcuts\n";
    return 0;
}

} // namespace tarnwick::pack
