// The uninstallation run against the real file system and registry of the Wine prefix, with a
// recording double in place of the window. Every test works in folders and keys of its own.
#include "engine/uninstall_run.h"
#include "engine/registry_entries.h"
#include "package/package_writer.h"
#include "recording_host.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <filesystem>
#include <fstream>

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

class UninstallRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string unique = std::to_string(GetCurrentProcessId()) + "_" +
                                   ::testing::UnitTest::GetInstance()->current_test_info()->name();
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        root_ = std::string(temp) + "tw-uninstall-" + unique;
        fs::create_directories(root_ + "\\App");
        fs::create_directories(root_ + "\\Programs");
        fs::create_directories(root_ + "\\Desktop");

        state_.setupFolder = root_ + "\\App";
        state_.destinationFolder = root_ + "\\App";
        state_.programFilesFolder = "C:\\Program Files";
        state_.programsMenuFolder = root_ + "\\Programs";
        state_.desktopFolder = root_ + "\\Desktop";
        state_.productName = "Uninst Product";
        state_.publisherName = "TarnwickTestPublisher" + unique;
        state_.programFolderName = "From FolderEdit";
        userKey_ = "Software\\TarnwickTests\\uninstall" + unique;

        package_.header.productName = state_.productName;
        package_.header.publisherName = state_.publisherName;
        package_.header.itemCount = 3;
        package_.files = {
            {frFolder, 0, "[INSTALLDIR]\\data"},
            {frFolder, 0, "[INSTALLDIR]\\data\\nested"},
            {frFolder, 0, "[INSTALLDIR]\\never made"},
            {frFile, 1, "[INSTALLDIR]\\data\\a.txt"},
            {frFile, 2, "[INSTALLDIR]\\data\\nested\\b.txt"},
            {frFile, 3, "[INSTALLDIR]\\app.exe"},
            {frFile, kUntrackedItem, "[INSTALLDIR]\\settings.ini"},
        };
        package_.registry = {
            {rrKey, rvNone, "HKEY_CURRENT_USER\\" + userKey_ + "\\Prod", ""},
            {rrValue, rvString, "HKEY_CURRENT_USER\\" + userKey_ + "\\Prod\\Path", "[INSTALLDIR]"},
            {rrValue, rvNone, "HKEY_CURRENT_USER\\" + userKey_ + "\\Prod\\Nothing", ""},
            {rrValue, rvNumber, "HKEY_CURRENT_USER\\" + userKey_ + "\\Prod\\Count", "3"},
        };
        package_.shortcuts = {{"[INSTALLDIR]\\data\\a.txt", "Read Me"}};
        state_.itemCount = package_.header.itemCount;
        state_.fileRecordCount = static_cast<std::int32_t>(package_.files.size());
        state_.registryRecordCount = static_cast<std::int32_t>(package_.registry.size());
    }

    void TearDown() override {
        std::error_code ec;
        fs::remove_all(root_, ec);
        SHDeleteKeyA(HKEY_CURRENT_USER, userKey_.c_str());
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, ("SOFTWARE\\" + state_.publisherName).c_str());
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(kUninstallKey) + "\\" + state_.productName).c_str());
    }

    static void touch(const std::string& path) { std::ofstream(path) << "x"; }
    bool exists(const std::string& relative) const { return fs::exists(root_ + "\\" + relative); }

    // What an installation would have left: files, folders, registry, shortcuts, product key.
    void install(const std::string& programFolder, bool createdProgramFolder) {
        fs::create_directories(root_ + "\\App\\data\\nested");
        for (const char* f : {"data\\a.txt", "data\\nested\\b.txt", "app.exe", "settings.ini", "uninst.exe"})
            touch(root_ + "\\App\\" + f);
        TRegistryAccess reg(HKEY_LOCAL_MACHINE);
        for (const auto& r : package_.registry) applyRegistryRecord(reg, r, placeholderFolders(state_));
        reg.SetRoot(HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(reg.CreateKey(std::string(kUninstallKey) + "\\" + state_.productName));
        reg.WriteString("DisplayName", state_.productName);
        reg.WriteString("UninstallString", "\"" + state_.destinationFolder + "\\uninst.exe\" -uninstall");
        reg.WriteString("QuietUninstallString", "\"" + state_.destinationFolder + "\\uninst.exe\" /S");
        ASSERT_TRUE(reg.CreateKey(productKeyPath(state_)));
        reg.WriteString("Company", "Co");
        reg.WriteString("Name", "Me");
        reg.WriteString("Program Folder", programFolder);
        if (createdProgramFolder) reg.WriteString(kProgramFolderCreatedValue, "1");
        touch(state_.desktopFolder + "\\" + state_.productName + ".lnk");
    }

    void run() {
        const std::vector<unsigned char> bytes = writePackage(package_);
        TMemoryByteSource source(bytes);
        TPackageReader reader(source);
        reader.ReadHeader();
        TRegistryAccess reg(HKEY_LOCAL_MACHINE);
        runUninstallation(host_, state_, reader, reg);
        SetCurrentDirectoryA("C:\\"); // the run made the setup folder current
    }

    bool hklmKeyExists(const std::string& path) const {
        HKEY h;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
        RegCloseKey(h);
        return true;
    }
    bool hkcuKeyExists(const std::string& path) const {
        HKEY h;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
        RegCloseKey(h);
        return true;
    }

    std::string root_;
    std::string userKey_;
    TRunState state_;
    TPackage package_;
    testing::RecordingHost host_;
};

TEST_F(UninstallRunTest, RemovesWhatTheInstallationPlaced) {
    install("Uninst Product", true);
    fs::create_directories(root_ + "\\Programs\\Uninst Product\\user folder");
    touch(root_ + "\\Programs\\Uninst Product\\Uninst Product.lnk");
    touch(root_ + "\\Programs\\Uninst Product\\user folder\\note.txt");
    run();

    for (const char* gone : {"App\\data\\a.txt", "App\\data\\nested\\b.txt", "App\\app.exe", "App\\data\\nested",
                             "App\\data", "Desktop\\Uninst Product.lnk", "Programs\\Uninst Product"})
        EXPECT_FALSE(exists(gone)) << gone;
    for (const char* kept : {"App\\settings.ini", "App\\uninst.exe", "App", "Programs"}) EXPECT_TRUE(exists(kept)) << kept;

    EXPECT_FALSE(hkcuKeyExists(userKey_ + "\\Prod"));
    EXPECT_TRUE(hkcuKeyExists(userKey_)); // only the emptied level goes
    EXPECT_FALSE(hklmKeyExists(std::string(kUninstallKey) + "\\" + state_.productName));
    EXPECT_TRUE(hklmKeyExists(kUninstallKey));
    EXPECT_FALSE(hklmKeyExists("SOFTWARE\\" + state_.publisherName));

    EXPECT_EQ(host_.labels, (std::vector<std::string>{"Deleting files...", "Setup is deleting icons...",
                                                      "Setup is updating registry information..."}));
    // Max N = 3; four file records step (one past full stays full); two fills; three value records.
    EXPECT_EQ(host_.positions, (std::vector<int>{1, 2, 3, 3, 3, 0, 3, 0, 1, 2, 3, 3}));
    EXPECT_TRUE(host_.terminated);
    EXPECT_TRUE(host_.messages.empty());
}

TEST_F(UninstallRunTest, UserFilesKeepTheirFoldersAndTheOtherProductKeepsThePublisher) {
    install("Uninst Product", true);
    touch(root_ + "\\App\\data\\mine.txt");
    TRegistryAccess reg(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.CreateKey("SOFTWARE\\" + state_.publisherName + "\\Other Product"));
    run();
    EXPECT_TRUE(exists("App\\data\\mine.txt"));
    EXPECT_FALSE(exists("App\\data\\nested")); // emptied child first, then the parent stays
    EXPECT_TRUE(hklmKeyExists("SOFTWARE\\" + state_.publisherName + "\\Other Product"));
    EXPECT_FALSE(hklmKeyExists(productKeyPath(state_)));
}

TEST_F(UninstallRunTest, SharedProgramFolderLosesOnlyThisProductsShortcuts) {
    install("Accessories", false);
    const std::string shared = root_ + "\\Programs\\Accessories";
    fs::create_directories(shared);
    for (const char* f : {"Uninst Product.lnk", "Read Me.lnk", "Other Program.lnk"}) touch(shared + "\\" + f);
    run();
    EXPECT_FALSE(exists("Programs\\Accessories\\Uninst Product.lnk"));
    EXPECT_FALSE(exists("Programs\\Accessories\\Read Me.lnk"));
    EXPECT_TRUE(exists("Programs\\Accessories\\Other Program.lnk"));
}

TEST_F(UninstallRunTest, ProgramFolderFromFolderEditWhenTheKeyHasNone) {
    install("", false);
    fs::create_directories(root_ + "\\Programs\\From FolderEdit");
    touch(root_ + "\\Programs\\From FolderEdit\\Uninst Product.lnk");
    touch(root_ + "\\Programs\\From FolderEdit\\Other.lnk");
    run();
    // No saved name: the folder is not known to be the product's own, so only its shortcut goes.
    EXPECT_FALSE(exists("Programs\\From FolderEdit\\Uninst Product.lnk"));
    EXPECT_TRUE(exists("Programs\\From FolderEdit\\Other.lnk"));
}

TEST_F(UninstallRunTest, ProgramFolderNamesThatLeaveTheProgramsFolderDeleteNothingThere) {
    for (const char* name : {"..", "", "C:\\Windows"}) {
        SCOPED_TRACE(name);
        install(name, true);
        state_.programFolderName = name;
        touch(root_ + "\\Programs\\Uninst Product.lnk"); // made in the Programs folder itself for ""
        touch(root_ + "\\Programs\\Other.lnk");
        touch(root_ + "\\outside.txt");
        host_ = {};
        run();
        EXPECT_TRUE(exists("Programs"));
        EXPECT_TRUE(exists("Programs\\Other.lnk"));
        EXPECT_TRUE(exists("outside.txt"));
        EXPECT_TRUE(exists("App"));
        EXPECT_EQ(exists("Programs\\Uninst Product.lnk"), std::string(name) != "");
    }
}

TEST_F(UninstallRunTest, ShortPackageActsOnNothingItCouldNotReadWhole) {
    install("Uninst Product", true);
    // Cut inside the path of the file record for app.exe: a truncated path must not be used.
    std::vector<unsigned char> bytes = writePackage(package_);
    bytes.resize(kPackageHeaderSize + 5 * kFileRecordSize + 8 + 10);
    TMemoryByteSource source(bytes);
    TPackageReader reader(source);
    reader.ReadHeader();
    touch(root_ + "\\App\\data\\a"); // what the cut path "...\\app.exe" -> "...\\a" could name
    TRegistryAccess reg(HKEY_LOCAL_MACHINE);
    runUninstallation(host_, state_, reader, reg);
    SetCurrentDirectoryA("C:\\");
    EXPECT_FALSE(exists("App\\data\\a.txt"));
    EXPECT_TRUE(exists("App\\app.exe"));
    EXPECT_TRUE(host_.terminated);
}

TEST(EmptyFolder, EmptiesRecursivelyAndKeepsTheFolder) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string root = std::string(temp) + "tw-empty-" + std::to_string(GetCurrentProcessId());
    fs::create_directories(root + "\\a\\b\\c");
    std::ofstream(root + "\\top.txt") << "x";
    std::ofstream(root + "\\a\\b\\c\\deep.txt") << "x";
    EmptyFolder(root);
    EXPECT_TRUE(fs::exists(root));
    EXPECT_TRUE(fs::is_empty(root));
    EmptyFolder(root + "\\missing"); // nothing to enumerate: no error
    fs::remove_all(root);
}

} // namespace
} // namespace tarnwick
