// The installation run against Wine's disk and registry, with a recording double for the window
// and a data archive made by Info-ZIP's zip (tests/win/fixtures), enciphered here as the
// packaging step does.
#include "engine/install_run.h"

#include "cipher/myblowfish.h"
#include "engine/registry_entry_rules.h"
#include "package/package_writer.h"
#include "recording_host.h"
#include "zip/ziparchiver.h"

#include <gtest/gtest.h>
#include <aclapi.h>
#include <sddl.h>
#include <shlwapi.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

// The fixture folder is a Unix path; Wine's Z: drive is the Unix root.
std::string fixturePath(const std::string& name) {
    std::string path = "Z:" + std::string(TARNWICK_WIN_FIXTURES) + "/" + name;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class InstallRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        unique_ = std::to_string(GetCurrentProcessId()) + "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        root_ = std::string(temp) + "tw-install-" + unique_;
        for (const char* d : {"\\Setup", "\\Temp", "\\Programs", "\\Desktop"}) fs::create_directories(root_ + d);

        state_.setupFolder = root_ + "\\Setup";
        state_.temporaryFolder = root_ + "\\Temp\\";
        state_.destinationFolder = root_ + "\\Dest Folder";
        state_.programFilesFolder = root_ + "\\PF";
        state_.programsMenuFolder = root_ + "\\Programs";
        state_.desktopFolder = root_ + "\\Desktop";
        state_.productName = "Install Product " + unique_;
        state_.publisherName = "TarnwickInstallTests";
        state_.userName = "Ann User";
        state_.companyName = "Ann Co";
        state_.programFolderName = "Install Product";
        userKey_ = "Software\\TarnwickTests\\install" + unique_;

        package_.header.productName = state_.productName;
        package_.header.publisherName = state_.publisherName;
        package_.header.itemCount = 3;
        package_.header.mainItemNumber = 3;
        package_.files = {
            {frFolder, 0, "[INSTALLDIR]\\docs\\deep"},
            {frFolder, 0, ""},                                    // skipped, no step
            {frFile, 1, "[INSTALLDIR]\\docs\\first.txt"},
            {frFile, 2, "[INSTALLDIR]\\docs\\deep\\second.txt"},
            {frFile, 1, "[INSTALLDIR]\\copy of first.txt"},       // one item, two places
            {frFile, kUntrackedItem, "[INSTALLDIR]\\settings.ini"},
            {frFile, 3, "[INSTALLDIR]\\program.exe"},
            {9, 1, "[INSTALLDIR]\\odd type"},
        };
        package_.registry = {
            {rrKey, rvNone, "HKEY_CURRENT_USER\\" + userKey_ + "\\App\\", ""},
            {rrValue, rvString, "HKEY_CURRENT_USER\\" + userKey_ + "\\App\\Path", "[INSTALLDIR]"},
            {rrValue, rvNumber, "HKEY_CURRENT_USER\\" + userKey_ + "\\App\\Count", "12"},
            {rrValue, rvNone, "HKEY_CURRENT_USER\\" + userKey_ + "\\App\\None", ""},
        };
        package_.shortcuts = {{"[INSTALLDIR]\\docs\\first.txt", "First"}, {"[INSTALLDIR]\\missing.txt", "Missing"}};

        cipher_.Setpassword(TMyBlowfish::kDefaultPassword);
        archiver_.OnFileProgress = [this](TObject*, const std::string&, double progress, TZAProcessOperation,
                                          TZAProgressPhase, bool&) {
            advanceExtractionProgress(host_, lastProgress_, progress);
        };
    }

    void TearDown() override {
        SetCurrentDirectoryA("C:\\");
        std::error_code ec;
        fs::remove_all(root_, ec);
        SHDeleteKeyA(HKEY_CURRENT_USER, userKey_.c_str());
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, ("SOFTWARE\\" + state_.publisherName + "\\" + state_.productName).c_str());
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(kUninstallKey) + "\\" + state_.productName).c_str());
    }

    // The setup folder as the packaging step leaves it.
    void ship(bool withData = true, const std::string& archive = "data.zip") {
        if (withData) {
            fs::copy_file(fixturePath(archive), root_ + "\\Setup\\_setup", fs::copy_options::overwrite_existing);
            ASSERT_EQ(cipher_.Encrypt_File((root_ + "\\Setup\\_setup").c_str()), TMyBlowfish::kDone);
            fs::rename(root_ + "\\Setup\\_setupBLW", root_ + "\\Setup\\_setup.dat");
            fs::remove(root_ + "\\Setup\\_setup");
        }
        std::ofstream(root_ + "\\Setup\\setup.exe") << "setup program";
        std::ofstream(root_ + "\\Setup\\_setup.pkg") << "enciphered package";
    }

    void run() {
        state_.itemCount = package_.header.itemCount;
        state_.mainItemNumber = package_.header.mainItemNumber;
        state_.fileRecordCount = static_cast<std::int32_t>(package_.files.size());
        state_.registryRecordCount = static_cast<std::int32_t>(package_.registry.size());
        bytes_ = writePackage(package_);
        if (damagePackage_) damagePackage_(bytes_, state_);
        source_ = std::make_unique<TMemoryByteSource>(bytes_);
        reader_ = std::make_unique<TPackageReader>(*source_);
        reader_->ReadHeader();
        TRegistryAccess reg(HKEY_LOCAL_MACHINE);
        runInstallation(host_, state_, *reader_, reg, cipher_, archiver_, mainProgramPath_);
    }

    std::string regString(HKEY root, const std::string& key, const std::string& name) const {
        char buffer[1024];
        DWORD size = sizeof buffer, type = 0;
        HKEY h;
        if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return "<no key>";
        const LONG r = RegQueryValueExA(h, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
        RegCloseKey(h);
        if (r != ERROR_SUCCESS) return "<no value>";
        if (type == REG_DWORD) return "dword:" + std::to_string(*reinterpret_cast<DWORD*>(buffer));
        return std::string(buffer);
    }
    void expectFailureBAt(const std::string& place);

    // Names what is left in the temporary folder, so a failure says which file stayed.
    ::testing::AssertionResult tempHoldsOnlyNothing() const {
        std::string left;
        for (const auto& entry : fs::directory_iterator(root_ + "\\Temp")) left += " " + entry.path().filename().string();
        if (left.empty()) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "left in the temporary folder:" << left;
    }

    std::string unique_, root_, userKey_;
    TRunState state_;
    TPackage package_;
    testing::RecordingHost host_;
    TMyBlowfish cipher_{nullptr};
    TZipArchiver archiver_{nullptr};
    double lastProgress_ = 0;
    std::string mainProgramPath_ = "stale";
    std::vector<unsigned char> bytes_;
    // Cuts the written package or raises the counts the header gave.
    std::function<void(std::vector<unsigned char>&, TRunState&)> damagePackage_;
    std::unique_ptr<TMemoryByteSource> source_;
    std::unique_ptr<TPackageReader> reader_;
};

TEST_F(InstallRunTest, InstallsFilesRegistryShortcutsAndTheUninstaller) {
    ship();
    run();
    const std::string dest = state_.destinationFolder;
    EXPECT_EQ(readFile(dest + "\\docs\\first.txt"), readFile(fixturePath("items\\1.twi")));
    EXPECT_EQ(readFile(dest + "\\copy of first.txt"), readFile(fixturePath("items\\1.twi")));
    EXPECT_EQ(readFile(dest + "\\docs\\deep\\second.txt"), readFile(fixturePath("items\\2.twi")));
    EXPECT_EQ(readFile(dest + "\\program.exe"), "MZ pretend program");
    EXPECT_FALSE(fs::exists(dest + "\\settings.ini"));
    EXPECT_FALSE(fs::exists(dest + "\\odd type"));
    EXPECT_EQ(mainProgramPath_, dest + "\\program.exe");

    EXPECT_EQ(regString(HKEY_CURRENT_USER, userKey_ + "\\App", "Path"), dest);
    EXPECT_EQ(regString(HKEY_CURRENT_USER, userKey_ + "\\App", "Count"), "dword:12");

    const std::string programFolder = state_.programsMenuFolder + "\\Install Product";
    EXPECT_TRUE(fs::exists(programFolder + "\\" + state_.productName + ".lnk"));
    EXPECT_TRUE(fs::exists(programFolder + "\\First.lnk"));
    EXPECT_FALSE(fs::exists(programFolder + "\\Missing.lnk"));

    const std::string entry = std::string(kUninstallKey) + "\\" + state_.productName;
    EXPECT_EQ(regString(HKEY_LOCAL_MACHINE, entry, "DisplayName"), state_.productName);
    EXPECT_EQ(regString(HKEY_LOCAL_MACHINE, entry, "UninstallString"), "\"" + dest + "\\uninst.exe\" -uninstall");
    EXPECT_EQ(regString(HKEY_LOCAL_MACHINE, entry, "QuietUninstallString"), "\"" + dest + "\\uninst.exe\" /S");
    EXPECT_EQ(readFile(dest + "\\uninst.exe"), "setup program");
    EXPECT_EQ(readFile(dest + "\\_setup.pkg"), "enciphered package");

    const std::string productKey = "SOFTWARE\\" + state_.publisherName + "\\" + state_.productName;
    EXPECT_EQ(regString(HKEY_LOCAL_MACHINE, productKey, "Company"), "Ann Co");
    EXPECT_EQ(regString(HKEY_LOCAL_MACHINE, productKey, "Name"), "Ann User");
    EXPECT_EQ(regString(HKEY_LOCAL_MACHINE, productKey, "Program Folder"), "Install Product");
    EXPECT_EQ(regString(HKEY_LOCAL_MACHINE, productKey, kProgramFolderCreatedValue), "1");

    EXPECT_TRUE(tempHoldsOnlyNothing());
    EXPECT_TRUE(host_.messages.empty());
    EXPECT_FALSE(host_.terminated);
    EXPECT_EQ(host_.nextActions, 1);
    EXPECT_EQ(host_.navigation, (std::vector<bool>{false, true}));
    EXPECT_EQ(host_.labels, (std::vector<std::string>{"Coping files...", "Deleting temporary files...",
                                                      "Setup is updating registry information...",
                                                      "Setup is creating icons..."}));
}

TEST_F(InstallRunTest, ProgressFollowsTheAccounting) {
    ship();
    run();
    // Max 102 x N = 306. Extraction adds up to 100 per item (300), the copy phase one per file
    // record (305), the deletion of the items one each (306, then held at the maximum), a full bar
    // and zero; the registry phase one per value record (1, 2, 3); the icons phase ends full.
    const std::vector<int>& p = host_.positions;
    auto position = [&](int value) { return std::find(p.begin(), p.end(), value) - p.begin(); };
    ASSERT_LT(position(300), static_cast<std::ptrdiff_t>(p.size()));
    for (std::size_t i = 1; i < static_cast<std::size_t>(position(300)); ++i) EXPECT_GE(p[i], p[i - 1]) << i;
    const std::vector<int> afterExtraction(p.begin() + position(300), p.end());
    EXPECT_EQ(afterExtraction, (std::vector<int>{300, 301, 302, 303, 304, 305, 306, 306, 306, 306, 0, 1, 2, 3, 0, 306, 306}));
}

TEST_F(InstallRunTest, ItemsBeyondOneTemporaryFolderAllArriveAndLeaveNothingBehind) {
    ship(true, "many.zip");
    package_.header.itemCount = 250;
    package_.header.mainItemNumber = 250;
    package_.files = {{frFolder, 0, "[INSTALLDIR]\\many"}};
    for (int n = 1; n <= 250; ++n) package_.files.push_back({frFile, n, "[INSTALLDIR]\\many\\f" + std::to_string(n) + ".txt"});
    package_.shortcuts.clear();
    run();
    ASSERT_TRUE(host_.messages.empty());
    for (int n : {1, 99, 100, 101, 200, 201, 249, 250})
        EXPECT_EQ(readFile(state_.destinationFolder + "\\many\\f" + std::to_string(n) + ".txt"),
                  "item " + std::to_string(n) + "\r\n") << n;
    EXPECT_EQ(std::distance(fs::directory_iterator(state_.destinationFolder + "\\many"), fs::directory_iterator()), 250);
    EXPECT_EQ(mainProgramPath_, state_.destinationFolder + "\\many\\f250.txt");
    EXPECT_TRUE(tempHoldsOnlyNothing());
}

// The DACL of path in SDDL, "" when it cannot be read.
std::string daclOf(const std::string& path) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr,
                              nullptr, &sd) != ERROR_SUCCESS)
        return "";
    char* text = nullptr;
    std::string result;
    if (ConvertSecurityDescriptorToStringSecurityDescriptorA(sd, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text,
                                                            nullptr)) {
        result = text;
        LocalFree(text);
    }
    LocalFree(sd);
    return result;
}

bool makeFolderWithDacl(const std::string& path, const char* sddl) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, FALSE};
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &sa.lpSecurityDescriptor, nullptr))
        return false;
    const bool made = CreateDirectoryA(path.c_str(), &sa) != 0;
    LocalFree(sa.lpSecurityDescriptor);
    return made;
}

// Items are moved out of the temporary folder; a moved file would keep the list it inherited
// there (on Windows, the user's profile: nobody else may read it) unless it is made to inherit
// from its new folder, as a copied file does.
TEST_F(InstallRunTest, PlacedFilesTakeThePermissionsOfTheirNewFolder) {
    ship();
    fs::remove(root_ + "\\Temp");
    // Everyone may do everything in both; the temporary folder adds Anonymous, the destination
    // the Users group, so each file's list says where it came from.
    ASSERT_TRUE(makeFolderWithDacl(root_ + "\\Temp", "D:P(A;OICI;FA;;;WD)(A;OICI;FA;;;AN)"));
    ASSERT_TRUE(makeFolderWithDacl(state_.destinationFolder, "D:P(A;OICI;FA;;;WD)(A;OICI;FR;;;BU)"));
    // Wine derives a file's list from its Unix mode bits and keeps none of its own; this runs where
    // the file system keeps them.
    if (daclOf(state_.destinationFolder).find(";;;BU)") == std::string::npos)
        GTEST_SKIP() << "the file system keeps no access lists: " << daclOf(state_.destinationFolder);
    run();
    ASSERT_TRUE(host_.messages.empty());
    for (const char* file : {"\\docs\\first.txt", "\\copy of first.txt", "\\docs\\deep\\second.txt", "\\program.exe"}) {
        const std::string dacl = daclOf(state_.destinationFolder + file);
        EXPECT_NE(dacl.find(";;;BU)"), std::string::npos) << file << ": " << dacl;
        EXPECT_EQ(dacl.find(";;;AN)"), std::string::npos) << file << ": " << dacl;
    }
}

TEST_F(InstallRunTest, NoDataFileStopsBeforeAnythingChanges) {
    ship(false);
    run();
    EXPECT_EQ(host_.messages, (std::vector<std::string>{"The data file is currupted!!!"}));
    EXPECT_TRUE(host_.terminated);
    EXPECT_FALSE(fs::exists(state_.destinationFolder));
    EXPECT_TRUE(tempHoldsOnlyNothing());
}

TEST_F(InstallRunTest, FolderThatCannotBeCreatedIsFailureA) {
    ship();
    package_.files.insert(package_.files.begin() + 2, TFileRecord{frFolder, 0, "[INSTALLDIR]\\bad|name"});
    run();
    EXPECT_EQ(host_.messages,
              (std::vector<std::string>{"Can't create directory!!!\nIf you don't have permissions to create directories "
                                        "or work with files please ask your administrator!",
                                        "Installation is not compleated!"}));
    EXPECT_EQ(host_.labels.back(), "Deleting temporary files...");
    EXPECT_TRUE(host_.terminated);
    EXPECT_TRUE(tempHoldsOnlyNothing());
    EXPECT_EQ(host_.nextActions, 0);
}

// A read-only file where an item goes is failure B and stays as it was.
void InstallRunTest::expectFailureBAt(const std::string& place) {
    ship();
    const std::string locked = state_.destinationFolder + place;
    fs::create_directories(state_.destinationFolder + "\\docs");
    std::ofstream(locked) << "old";
    SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_READONLY);
    run();
    SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(host_.messages, (std::vector<std::string>{"The file '" + locked +
                                                         "' is unaccessible and can't be removed. Installation is not compleated!"}));
    EXPECT_EQ(host_.labels.back(), "Coping files...");
    EXPECT_EQ(readFile(locked), "old");
    EXPECT_TRUE(host_.terminated);
    EXPECT_TRUE(tempHoldsOnlyNothing());
}

// Item 1 is copied there: a later record names it again.
TEST_F(InstallRunTest, ReadOnlyDestinationFileIsFailureB) { expectFailureBAt("\\docs\\first.txt"); }

// Item 3 is moved there, its only place.
TEST_F(InstallRunTest, ReadOnlyDestinationOfAMovedItemIsFailureB) { expectFailureBAt("\\program.exe"); }

TEST_F(InstallRunTest, KeyThatCannotBeCreatedIsFailureC) {
    ship();
    package_.registry.push_back({rrKey, rvNone, "HKEY_CURRENT_USER\\" + userKey_ + "\\" + std::string(300, 'k'), ""});
    run();
    EXPECT_EQ(host_.messages, (std::vector<std::string>{"Can't access registers!!!\nIf you don't have permissions to "
                                                         "work with registers please ask your administrator!",
                                                         "Installation is not compleated!"}));
    EXPECT_TRUE(host_.terminated);
    EXPECT_TRUE(fs::exists(state_.destinationFolder + "\\program.exe")); // no undo
    EXPECT_EQ(regString(HKEY_LOCAL_MACHINE, std::string(kUninstallKey) + "\\" + state_.productName, "DisplayName"),
              "<no key>");
}

TEST_F(InstallRunTest, BadNumberEscapesAfterTheTemporaryItemsAreGone) {
    ship();
    package_.registry.push_back({rrValue, rvNumber, "HKEY_CURRENT_USER\\" + userKey_ + "\\App\\Bad", "twelve"});
    EXPECT_THROW(run(), EConvertError);
    EXPECT_TRUE(tempHoldsOnlyNothing());
}

// A damaged download: the plain archive or its enciphered container cut or changed. Damage to an
// item's data or to its record stops the run with one message naming the data file, before any
// file is placed or registry value written, and leaves the temporary folder empty. Damage behind
// the last item (the directory, the end record) loses nothing: the archive component rebuilds the
// directory from the local records, and every item still passes its checksum.
struct TDataDamage {
    const char* name;
    bool enciphered;                          // damage the shipped container, not the archive in it
    std::function<void(std::string&)> damage;
    bool recovered = false;                   // every item is still there whole: the run completes
};

// Where the archive's central directory starts, as its end record says.
std::size_t centralDirectoryOffset(const std::string& zip) {
    const std::size_t end = zip.rfind(std::string("PK\x05\x06", 4));
    std::uint32_t offset = 0;
    for (int i = 3; i >= 0; --i) offset = offset << 8 | static_cast<unsigned char>(zip[end + 16 + i]);
    return offset;
}

const TDataDamage kDataDamages[] = {
    {"ContainerCutInsideItsLastBlock", true, [](std::string& b) { b.resize(b.size() - 3); }, true},
    {"ContainerCutInHalf", true, [](std::string& b) { b.resize(b.size() / 2); }},
    {"ContainerEmpty", true, [](std::string& b) { b.clear(); }},
    {"ArchiveCutInsideTheSecondItem", false, [](std::string& b) { b.resize(200); }},
    {"ArchiveCutInsideTheCentralDirectory", false, [](std::string& b) { b.resize(centralDirectoryOffset(b) + 20); },
     true},
    {"ArchiveCutInsideItsEndRecord", false, [](std::string& b) { b.resize(b.size() - 5); }, true},
    // 1.twi is stored: its data starts behind the 30-byte local header and the 5-byte name.
    {"ByteFlippedInAStoredItem", false, [](std::string& b) { b[30 + 5 + 2] ^= 0x20; }},
    {"ByteFlippedInACompressedItem", false, [](std::string& b) { b[47 + 30 + 5 + 40] ^= 0x55; }},
    // The first central record's checksum, and the last character of its name.
    {"ByteFlippedInTheDirectorysChecksum", false, [](std::string& b) { b[centralDirectoryOffset(b) + 16] ^= 0x01; }},
    {"ByteFlippedInTheDirectorysName", false, [](std::string& b) { b[centralDirectoryOffset(b) + 46 + 4] ^= 0x01; }},
};

class DamagedDataTest : public InstallRunTest, public ::testing::WithParamInterface<TDataDamage> {};

TEST_P(DamagedDataTest, StopsBeforeAnythingIsPlacedOrCompletesWhole) {
    const TDataDamage& damage = GetParam();
    std::string zip = readFile(fixturePath("data.zip"));
    if (!damage.enciphered) damage.damage(zip);
    {
        std::ofstream(root_ + "\\Setup\\_setup", std::ios::binary) << zip;
    }
    ASSERT_EQ(cipher_.Encrypt_File((root_ + "\\Setup\\_setup").c_str()), TMyBlowfish::kDone);
    fs::remove(root_ + "\\Setup\\_setup");
    std::string shipped = readFile(root_ + "\\Setup\\_setupBLW");
    fs::remove(root_ + "\\Setup\\_setupBLW");
    if (damage.enciphered) damage.damage(shipped);
    {
        std::ofstream(root_ + "\\Setup\\_setup.dat", std::ios::binary) << shipped;
    }
    ship(false);

    run();

    if (damage.recovered) {
        EXPECT_TRUE(host_.messages.empty());
        EXPECT_EQ(host_.nextActions, 1);
        EXPECT_EQ(readFile(state_.destinationFolder + "\\docs\\first.txt"), "first item\r\n");
        EXPECT_EQ(readFile(state_.destinationFolder + "\\program.exe"), "MZ pretend program");
        EXPECT_EQ(readFile(state_.destinationFolder + "\\docs\\deep\\second.txt"), readFile(fixturePath("items\\2.twi")));
        EXPECT_TRUE(tempHoldsOnlyNothing());
        return;
    }
    const std::string dataFile = state_.setupFolder + "\\_setup.dat";
    ASSERT_EQ(host_.messages.size(), 1u);
    EXPECT_EQ(host_.messages[0].rfind("The setup's data file '" + dataFile + "' is damaged (", 0), 0u) << host_.messages[0];
    EXPECT_NE(host_.messages[0].find("Please download the setup again. Installation is not compleated!"), std::string::npos)
        << host_.messages[0];
    EXPECT_TRUE(host_.terminated);
    EXPECT_EQ(host_.nextActions, 0);
    EXPECT_FALSE(archiver_.GetActive());
    EXPECT_FALSE(archiver_.OnProcessFileFailure); // the window's own handler (none) is back
    EXPECT_TRUE(tempHoldsOnlyNothing());
    EXPECT_FALSE(fs::exists(state_.destinationFolder));
    EXPECT_EQ(regString(HKEY_CURRENT_USER, userKey_ + "\\App", "Path"), "<no key>");
    EXPECT_EQ(regString(HKEY_LOCAL_MACHINE, std::string(kUninstallKey) + "\\" + state_.productName, "DisplayName"),
              "<no key>");
    EXPECT_EQ(regString(HKEY_LOCAL_MACHINE, "SOFTWARE\\" + state_.publisherName + "\\" + state_.productName, "Name"),
              "<no key>");
}

INSTANTIATE_TEST_SUITE_P(DamagedDownloads, DamagedDataTest, ::testing::ValuesIn(kDataDamages),
                         [](const ::testing::TestParamInfo<TDataDamage>& param) { return std::string(param.param.name); });

// A damaged package: its records, all read before anything changes, end before the counts do.
struct TPackageDamage {
    const char* name;
    std::function<void(std::vector<unsigned char>&, TRunState&)> damage;
    const char* reason;
};

const TPackageDamage kPackageDamages[] = {
    {"CutInsideTheThirdFileRecord",
     [](std::vector<unsigned char>& b, TRunState&) { b.resize(kPackageHeaderSize + 2 * kFileRecordSize + 10); },
     "its file records end early"},
    {"CutInsideTheSecondRegistryRecord",
     [](std::vector<unsigned char>& b, TRunState& s) {
         b.resize(kPackageHeaderSize + static_cast<std::size_t>(s.fileRecordCount) * kFileRecordSize +
                  kRegistryRecordSize + 10);
     },
     "its registry records end early"},
    {"FileCountFarAboveTheFile", [](std::vector<unsigned char>&, TRunState& s) { s.fileRecordCount = 0x7FFFFFFF; },
     "its file records end early"},
    {"RegistryCountFarAboveTheFile",
     [](std::vector<unsigned char>&, TRunState& s) { s.registryRecordCount = 0x7FFFFFFF; },
     "its registry records end early"},
};

class DamagedPackageTest : public InstallRunTest, public ::testing::WithParamInterface<TPackageDamage> {};

TEST_P(DamagedPackageTest, StopsWithOneMessageBeforeAnythingChanges) {
    ship();
    damagePackage_ = GetParam().damage;
    run();
    EXPECT_EQ(host_.messages, (std::vector<std::string>{"The setup's package file '" + state_.setupFolder +
                                                         "\\_setup.pkg' is damaged (" + GetParam().reason +
                                                         "). Please download the setup again. Installation is not "
                                                         "compleated!"}));
    EXPECT_TRUE(host_.terminated);
    EXPECT_EQ(host_.nextActions, 0);
    EXPECT_TRUE(tempHoldsOnlyNothing());
    EXPECT_FALSE(fs::exists(state_.destinationFolder));
    EXPECT_EQ(regString(HKEY_CURRENT_USER, userKey_ + "\\App", "Path"), "<no key>");
    EXPECT_EQ(regString(HKEY_LOCAL_MACHINE, std::string(kUninstallKey) + "\\" + state_.productName, "DisplayName"),
              "<no key>");
}

INSTANTIATE_TEST_SUITE_P(DamagedDownloads, DamagedPackageTest, ::testing::ValuesIn(kPackageDamages),
                         [](const ::testing::TestParamInfo<TPackageDamage>& param) { return std::string(param.param.name); });

TEST(ExtractionProgress, EachItemAddsUpToAHundredWithTruncation) {
    testing::RecordingHost host;
    host.SetProgressMax(1000);
    double last = 0;
    for (double p : {0.0, 33.3, 66.6, 100.0, 0.0, 49.9, 100.0, 50.0, 100.0}) advanceExtractionProgress(host, last, p);
    // 0, +33, +33 (33.3 lost), +33, new item: 0, +49, +50, new item (50 < 100): +50, +50.
    EXPECT_EQ(host.positions, (std::vector<int>{0, 33, 66, 99, 99, 148, 198, 248, 298}));
}

} // namespace
} // namespace tarnwick
