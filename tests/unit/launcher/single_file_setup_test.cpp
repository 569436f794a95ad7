// The one-file setup's writer: the launcher's bytes first, then a stored archive of the setup
// folder that the archive component opens as a self-extracting archive (as the launcher does) and
// Info-ZIP's unzip tests, the same bytes from the same inputs, and refusals that name the path.
#include "launcher/single_file_setup.h"

#include "../zip/zip_fixture.h"
#include "zip/ziparchiver.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>

namespace tarnwick {
namespace {

using test::TempFolder;

class SingleFileSetup : public ::testing::Test {
protected:
    void SetUp() override {
        // A launcher-shaped stub: an MZ header and enough bytes that a wrong offset would show.
        launcherBytes_ = "MZ" + std::string(5000, '\x90') + "end of the launcher";
        dir_.write("launcher.exe", launcherBytes_);
        files_ = {{"setup.exe", "MZ the setup program"},
                  {"_setup.pkg", std::string(700, '\x17')},
                  {"_setup.dat", std::string(70000, '\xA5') + "tail"},
                  {"readme.txt", "Read me.\r\n"},
                  {"intro.jpg", "\xFF\xD8 picture"}};
        for (const auto& [name, bytes] : files_) dir_.write("setup/" + name, bytes);
        dir_.write("setup/sub/ignored.txt", "sub-folders are not part of a setup folder");
    }

    std::map<std::string, std::string> extracted(const std::string& target) {
        TempFolder out;
        TZipArchiver archive(nullptr);
        archive.FileName = target;
        archive.BaseDir = out.str();
        EXPECT_TRUE(TZipArchiver::IsSFXArchive(target));
        archive.OpenArchive(0);
        archive.ExtractFiles("*", 63, "");
        archive.CloseArchive();
        std::map<std::string, std::string> files;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(out.path()))
            if (entry.is_regular_file())
                files[std::filesystem::relative(entry.path(), out.path()).generic_string()] = *out.read(
                    std::filesystem::relative(entry.path(), out.path()).string());
        return files;
    }

    TempFolder dir_;
    std::string launcherBytes_;
    std::map<std::string, std::string> files_;
};

TEST_F(SingleFileSetup, LauncherFirstThenTheSetupFoldersFilesStored) {
    const std::string target = dir_.file("product-setup.exe");
    writeSingleFileSetup(dir_.file("setup"), dir_.file("launcher.exe"), target);
    const std::string bytes = *dir_.read("product-setup.exe");
    ASSERT_GT(bytes.size(), launcherBytes_.size());
    EXPECT_EQ(bytes.substr(0, launcherBytes_.size()), launcherBytes_);
    // Stored: every file's bytes appear as they are right behind its local header.
    for (const auto& [name, content] : files_)
        EXPECT_NE(bytes.find(content), std::string::npos) << name << " is not stored as it is";
    EXPECT_EQ(extracted(target), files_);
    EXPECT_FALSE(std::filesystem::exists(target + ".zip.part"));
#ifndef _WIN32
    // Info-ZIP reads it as a self-extractor with correct offsets: no warning about extra bytes.
    const std::string command = "unzip -tq '" + target + "' >'" + dir_.file("unzip.txt") + "' 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << dir_.read("unzip.txt").value_or("");
    EXPECT_EQ(dir_.read("unzip.txt").value_or("").find("warning"), std::string::npos) << *dir_.read("unzip.txt");
#endif
}

TEST_F(SingleFileSetup, SameInputsGiveTheSameBytes) {
    writeSingleFileSetup(dir_.file("setup"), dir_.file("launcher.exe"), dir_.file("a.exe"));
    writeSingleFileSetup(dir_.file("setup"), dir_.file("launcher.exe"), dir_.file("b.exe"));
    EXPECT_EQ(dir_.read("a.exe"), dir_.read("b.exe"));
}

TEST_F(SingleFileSetup, RefusesWhatCannotStartAndLeavesNoTarget) {
    struct Case {
        const char* label;
        std::string setupFolder, launcher, expectedPath;
    } cases[] = {
        {"no launcher", dir_.file("setup"), dir_.file("missing.exe"), dir_.file("missing.exe")},
        {"no setup folder", dir_.file("nothing"), dir_.file("launcher.exe"), dir_.file("nothing")},
        {"no data file", dir_.file("setup"), dir_.file("launcher.exe"), "_setup.dat"},
    };
    for (const Case& c : cases) {
        if (std::string(c.label) == "no data file") std::filesystem::remove(dir_.file("setup/_setup.dat"));
        const std::string target = dir_.file("out.exe");
        try {
            writeSingleFileSetup(c.setupFolder, c.launcher, target);
            ADD_FAILURE() << c.label << ": no error";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(c.expectedPath), std::string::npos) << c.label << ": " << e.what();
        }
        EXPECT_FALSE(std::filesystem::exists(target)) << c.label;
        EXPECT_FALSE(std::filesystem::exists(target + ".zip.part")) << c.label;
    }
}

} // namespace
} // namespace tarnwick
