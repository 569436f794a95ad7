// Hostile archives, made here: each is stopped with the component's own error, writes no more
// than the test's stated bound of bytes, and nothing outside the destination folder.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>

#include "zip_fixture.h"

namespace tarnwick {
namespace {

using test::buildZip;
using test::FixtureArchive;
using test::FixtureEntry;
using test::MemoryArchive;
using test::TempFolder;

namespace fs = std::filesystem;

constexpr std::size_t kMiB = 1 << 20;

std::size_t endRecord(const std::string& zip) { return zip.rfind(std::string("PK\x05\x06", 4)); }

// One deflated MiB of zeros, named by 200 central records that all point at its one local record:
// each record alone is sound, together they would write 200 MiB from a 1 KiB region.
std::string overlappingItems() {
    FixtureArchive a;
    a.entries = {{.name = "shared.bin", .data = std::string(kMiB, '\0')}};
    const std::string one = buildZip(a);
    const std::size_t central = one.find("PK\x01\x02");
    const std::size_t end = endRecord(one);
    const std::string record = one.substr(central, end - central);
    std::string zip = one.substr(0, central);
    constexpr int kCopies = 200;
    for (int i = 0; i < kCopies; ++i) {
        std::string copy = record;
        char name[11]; // as long as "shared.bin"
        std::snprintf(name, sizeof name, "s%04dx.bin", 1000 + i);
        copy.replace(46, 10, name);
        zip += copy;
    }
    std::string tail = one.substr(end);
    storeLE16(&tail[8], kCopies);
    storeLE16(&tail[10], kCopies);
    storeLE32(&tail[12], static_cast<std::uint32_t>(record.size() * kCopies));
    return zip + tail;
}

// Five bytes of data declared as almost 4 GiB in both headers.
std::string hugeDeclaredSize() {
    FixtureArchive a;
    a.entries = {{.name = "huge.bin", .data = "tiny!", .method = 0}};
    std::string zip = buildZip(a);
    storeLE32(&zip[22], 0xFFFFFFF0u);
    storeLE32(&zip[zip.find("PK\x01\x02") + 24], 0xFFFFFFF0u);
    return zip;
}

// The end record counts 65535 entries; the directory holds one.
std::string countAboveTheDirectory() {
    FixtureArchive a;
    a.entries = {{.name = "one.txt", .data = "one"}};
    std::string zip = buildZip(a);
    const std::size_t end = endRecord(zip);
    storeLE16(&zip[end + 8], 0xFFFF);
    storeLE16(&zip[end + 10], 0xFFFF);
    return zip;
}

std::string oneEntry(const std::string& name) {
    FixtureArchive a;
    a.entries = {{.name = name, .data = "deep"}, {.name = "after.txt", .data = "after"}};
    return buildZip(a);
}

std::string deepNesting() {
    std::string name;
    for (int i = 0; i < 3000; ++i) name += "d/";
    return oneEntry(name + "deep.txt");
}

std::string nameLongerThanWindowsAllows() { return oneEntry("folder/" + std::string(300, 'n') + ".txt"); }

std::uintmax_t bytesBelow(const fs::path& folder) {
    std::uintmax_t total = 0;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        if (it->is_regular_file(ec)) total += it->file_size(ec);
    return total;
}

struct THostileCase {
    const char* name;
    std::function<std::string()> make;
    std::uintmax_t writtenBound; // bytes the extraction may leave below the destination
};

const THostileCase kHostileCases[] = {
    {"OverlappingItems", overlappingItems, 2 * kMiB},
    {"HugeDeclaredSizeWithTinyData", hugeDeclaredSize, 64 * 1024},
    {"EntryCountFarAboveTheDirectory", countAboveTheDirectory, 64 * 1024},
    {"DeepFolderNesting", deepNesting, 64 * 1024},
    {"NameLongerThanWindowsAllows", nameLongerThanWindowsAllows, 64 * 1024},
};

class HostileArchiveTest : public ::testing::TestWithParam<THostileCase> {};

TEST_P(HostileArchiveTest, StopsWithTheComponentsErrorWithinItsBound) {
    const THostileCase& hostile = GetParam();
    TempFolder root;
    const fs::path destination = root.path() / "dest";
    fs::create_directories(destination);

    bool raised = false;
    std::vector<test::Failure> failures;
    try {
        MemoryArchive archive(hostile.make());
        archive.archiver.BaseDir = destination.string();
        archive.archiver.ExtractFiles("*", 63, "");
        failures = archive.failures;
    } catch (const Exception& e) { // the component's errors: its own, or a stream's read error
        raised = true;
        EXPECT_FALSE(std::string(e.what()).empty());
    }
    EXPECT_TRUE(raised || !failures.empty()) << "no error from the component";
    for (const test::Failure& f : failures) EXPECT_NE(f.native, 0) << f.name << ": " << f.message;
    EXPECT_LE(bytesBelow(destination), hostile.writtenBound);
    std::vector<std::string> outside;
    for (const auto& entry : fs::directory_iterator(root.path()))
        if (entry.path() != destination) outside.push_back(entry.path().filename().string());
    EXPECT_TRUE(outside.empty()) << "written outside the destination: " << outside.front();
}

INSTANTIATE_TEST_SUITE_P(HostileArchives, HostileArchiveTest, ::testing::ValuesIn(kHostileCases),
                         [](const ::testing::TestParamInfo<THostileCase>& param) { return std::string(param.param.name); });

} // namespace
} // namespace tarnwick
