// Extraction batches decode each next item on a second thread while the current one is written.
// Whatever the archive and whatever the handlers do, the files and every event must be exactly
// what the one-thread extraction gives: each case runs both ways and compares.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <sstream>

#include "zip/zadecode.h"
#include "zip_fixture.h"

namespace tarnwick {
namespace {

using test::buildZip;
using test::FixtureArchive;
using test::FixtureEntry;
using test::TempFolder;

std::string randomBytes(std::size_t n, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(n, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    return bytes;
}

std::string text(std::size_t n) {
    std::string s;
    for (std::size_t i = 0; s.size() < n; ++i) s += "line " + std::to_string(i * 7919 % 1000) + " of the product\n";
    s.resize(n);
    return s;
}

// What one extraction did: every event in order, and the files it left.
struct Outcome {
    std::vector<std::string> events;
    std::map<std::string, std::string> files;
};

struct Case {
    const char* name;
    std::function<FixtureArchive()> archive;
    // Sets handlers on the archiver; they append what they decide to the log.
    std::function<void(TZipArchiver&, std::vector<std::string>&)> handlers;
    // The extraction calls; one batch of everything when empty.
    std::function<void(TZipArchiver&)> calls = nullptr;
    bool decodesAhead = true;  // whether some item goes through the second thread
};

Outcome extract(const Case& c, bool ahead) {
    zadetail::extractionPrefetch() = ahead;
    TempFolder out;
    Outcome outcome;
    {
        test::MemoryArchive archive(buildZip(c.archive()));
        TZipArchiver& z = archive.archiver;
        z.BaseDir = out.str();
        z.Password = "secret";
        auto& log = outcome.events;
        z.OnFileProgress = [&log](TObject*, const std::string& name, double progress, TZAProcessOperation,
                                  TZAProgressPhase phase, bool&) {
            std::ostringstream line;
            line << "file " << name << ' ' << progress << ' ' << phase;
            log.push_back(line.str());
        };
        z.OnOverallProgress = [&log](TObject*, double progress, TZAProcessOperation, TZAProgressPhase phase, bool&) {
            std::ostringstream line;
            line << "overall " << progress << ' ' << phase;
            log.push_back(line.str());
        };
        if (c.handlers) c.handlers(z, log);
        if (c.calls)
            c.calls(z);
        else
            z.ExtractFiles("*", 63, "");
        for (const test::Failure& f : archive.failures)
            log.push_back("failure " + f.name + " " + std::to_string(f.native) + " " + f.message);
    }
    for (const auto& entry : std::filesystem::recursive_directory_iterator(out.path())) {
        const std::string relative = std::filesystem::relative(entry.path(), out.path()).generic_string();
        outcome.files[relative] = entry.is_directory() ? "<folder>" : *out.read(relative);
    }
    zadetail::extractionPrefetch() = true;
    return outcome;
}

FixtureArchive mixed() {
    FixtureArchive a;
    a.entries = {{.name = "readme.txt", .data = text(3000)},
                 {.name = "bin/tool.dll", .data = randomBytes(70000, 1), .method = 0},
                 {.name = "empty.txt", .data = "", .method = 0},
                 {.name = "docs/", .data = "", .method = 0, .attributes = 0x10},
                 {.name = "docs/manual.txt", .data = text(2500000)},  // several input blocks
                 {.name = "data/big.bin", .data = text(9 << 20)},     // too large to decode ahead
                 {.name = "data/secret.txt", .data = text(5000), .password = "secret"},
                 {.name = "data/zeros.bin", .data = std::string(3 << 20, '\0')},
                 {.name = "last.txt", .data = "the end"}};
    return a;
}

FixtureArchive withDamage() {
    FixtureArchive a = mixed();
    a.entries[0].crcOverride = 0x12345678;                      // a checksum that does not match
    a.entries[4].payload = std::string("not deflate data at all");  // data that does not inflate
    // More output than the directory declares: stops before it fills the disk.
    a.entries[7].payload = test::rawDeflate(std::string(5 << 20, '\0'));
    return a;
}

const Case kCases[] = {
    {"every kind of item", mixed, nullptr},
    {"damaged items among good ones", withDamage, nullptr},
    {"a handler that cancels in the middle of an item", mixed,
     [](TZipArchiver& z, std::vector<std::string>& log) {
         z.OnFileProgress = [&log](TObject*, const std::string& name, double progress, TZAProcessOperation,
                                   TZAProgressPhase phase, bool& cancel) {
             std::ostringstream line;
             line << "file " << name << ' ' << progress << ' ' << phase;
             log.push_back(line.str());
             if (name == "docs/manual.txt" && phase == ppProcess && progress > 0) cancel = true;
         };
     }},
    {"items declined before they are written", mixed,
     [](TZipArchiver& z, std::vector<std::string>& log) {
         z.OnConfirmProcessFile = [&log](TObject*, const std::string& name, TZAProcessOperation, bool& confirm) {
             confirm = name.rfind("bin", 0) != 0 && name != "last.txt";
             log.push_back("confirm " + name + (confirm ? " yes" : " no"));
         };
     }},
    {"a failed item retried once, then the batch aborted", withDamage,
     [](TZipArchiver& z, std::vector<std::string>& log) {
         auto retried = std::make_shared<std::map<std::string, int>>();
         z.OnProcessFileFailure = [&log, retried](TObject*, const std::string& name, TZAProcessOperation, int native,
                                                  int, const std::string&, TZAAction& action) {
             action = (*retried)[name]++ == 0 ? fxaRetry : (name == "docs\\manual.txt" ? fxaAbort : fxaIgnore);
             log.push_back("failure " + name + " " + std::to_string(native) + " -> " + std::to_string(action));
         };
     }},
    {"a handler that renames items on the way out", mixed,
     [](TZipArchiver& z, std::vector<std::string>& log) {
         z.OnExtractFile = [&log](TObject*, std::string& name, std::uint32_t&, const std::string&) {
             log.push_back("extract " + name);
             name = "renamed/" + name;
         };
     }},
    {"testing instead of extracting", withDamage, nullptr, [](TZipArchiver& z) { z.TestFiles("*", 63, ""); }},
    // One call per item without a plan: each decoded as it is written.
    {"one item per call", mixed, nullptr,
     [](TZipArchiver& z) {
         for (const FixtureEntry& e : mixed().entries) z.ExtractFiles(e.name, 63, "");
     },
     false},
    // As an installation takes its items: one call each, in a planned order that is not the
    // directory's (the main program last), damaged items among them.
    {"one planned item per call", withDamage, nullptr,
     [](TZipArchiver& z) {
         std::vector<std::string> order;
         for (const FixtureEntry& e : mixed().entries) order.insert(order.begin(), e.name);
         std::rotate(order.begin(), order.begin() + 1, order.end());
         z.PlanExtractions(order);
         for (const std::string& name : order) z.ExtractFiles(name, 63, "");
     }},
    // Calls that leave the plan, a name the archive lacks, and a change of the archive between
    // calls: whatever was decoded ahead for another item is dropped.
    {"calls that do not follow the plan", mixed, nullptr,
     [](TZipArchiver& z) {
         z.PlanExtractions({"readme.txt", "bin/tool.dll", "missing.txt", "docs/manual.txt", "last.txt", "empty.txt"});
         for (const char* name : {"readme.txt", "bin/tool.dll", "docs/manual.txt", "readme.txt", "last.txt"})
             z.ExtractFiles(name, 63, "");
         z.PlanExtractions({"data/secret.txt", "last.txt", "empty.txt"});
         z.ExtractFiles("data/secret.txt", 63, "");
         z.DeleteFiles("data/secret.txt", 63, "");
         z.ExtractFiles("last.txt", 63, "");
         z.ExtractFiles("empty.txt", 63, "");
     }},
};

TEST(ExtractAhead, FilesAndEventsAreThoseOfTheOneThreadExtraction) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        const int before = zadetail::prefetchedItems();
        const Outcome ahead = extract(c, true);
        const int decodedAhead = zadetail::prefetchedItems() - before;
        const Outcome alone = extract(c, false);
        EXPECT_EQ(zadetail::prefetchedItems() - before, decodedAhead) << "the one-thread run decoded nothing ahead";
        if (c.decodesAhead)
            EXPECT_GT(decodedAhead, 0) << "the case never reached the second thread";
        else
            EXPECT_EQ(decodedAhead, 0);
        ASSERT_EQ(ahead.events.size(), alone.events.size());
        for (std::size_t i = 0; i < ahead.events.size(); ++i) EXPECT_EQ(ahead.events[i], alone.events[i]) << "event " << i;
        EXPECT_EQ(ahead.files, alone.files);
    }
}

// The decode ahead is bounded: an item larger than the bound is decoded as it is written, and
// what the batch holds in memory stays within two items of the bound.
TEST(ExtractAhead, LargeItemsAreDecodedAsTheyAreWritten) {
    FixtureArchive a;
    a.entries = {{.name = "a.txt", .data = text(1000)},
                 {.name = "large.bin", .data = text(TZAPrefetcher::kLargestItem + 1)},
                 {.name = "c.txt", .data = text(1000)}};
    const Case c{"one large item", [&a] { return a; }, nullptr};
    const int before = zadetail::prefetchedItems();
    const Outcome outcome = extract(c, true);
    EXPECT_EQ(zadetail::prefetchedItems() - before, 1) << "only c.txt is decoded ahead (a.txt is the first)";
    EXPECT_EQ(outcome.files.at("large.bin"), text(TZAPrefetcher::kLargestItem + 1));
}

} // namespace
} // namespace tarnwick
