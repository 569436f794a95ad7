// The directory's index on plain masks and its list of tagged items against the scans they
// replace: with the indexes turned off, every search compares the mask with every item and every
// batch looks at every item's tag, which is what the component did before. Both ways must select
// the same items and raise the same events in the same order.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "zip/zadirmanager.h"
#include "zip/zamasks.h"
#include "zip/zanameindex.h"
#include "zip_fixture.h"

namespace tarnwick {
namespace {

// Turns the indexes off for a scope.
struct IndexesOff {
    IndexesOff() { zadetail::directoryIndexes() = false; }
    ~IndexesOff() { zadetail::directoryIndexes() = true; }
};

class TaggingArchiver : public TZipArchiver {
public:
    TaggingArchiver() : TZipArchiver(nullptr) {}
    using TZABaseArchiver::TagFiles;

    std::vector<int> tagged() const {
        std::vector<int> out;
        const TZADirArray& dir = const_cast<TaggingArchiver*>(this)->DirManager()->CentralDir;
        for (int i = 0; i < dir.GetCount(); ++i)
            if (dir.GetItemPtr(i)->Tag != 0) out.push_back(i);
        return out;
    }
};

struct Stored {
    const char* name;
    std::uint32_t attributes;
};

// Names a plain mask may find in several ways: in another letter case, in any folder, as a
// folder itself, with or without a trailing dot, more than once; names in the ANSI code page
// that the locale folds (accents, sharp s, ligatures, soft hyphen); names that look like masks.
const Stored kStored[] = {
    {"Setup.twi", 0x20}, {"SETUP.TWI", 0x20}, {"data/1.twi", 0x20}, {"DATA/1.TWI", 0x21}, {"other/data/1.twi", 0x20},
    {"1.twi", 0x20}, {"data/sub/1.twi", 0x20}, {"sub/1.twi", 0x20}, {"readme", 0x20}, {"readme.", 0x20},
    {"readme.txt", 0x20}, {"a.b.", 0x20}, {"x..", 0x20}, {"docs/", 0x10}, {"Docs/sub/", 0x10}, {"docs", 0x20},
    {"dup.twi", 0x20}, {"dup.twi", 0x22}, {"Dup.TWI", 0x24}, {"hid.twi", 0x22}, {"sys/hid.twi", 0x26},
    {"vol", 0x08}, {"a[1].txt", 0x20}, {"what?.txt", 0x20}, {"star*.txt", 0x20}, {"caf\xE9.txt", 0x20},
    {"CAF\xC9.TXT", 0x20}, {"cafe.txt", 0x20}, {"stra\xDF" "e", 0x20}, {"strasse", 0x20}, {"\xC6on", 0x20},
    {"aeon", 0x20}, {"a\xAD" "b", 0x20}, {"ab", 0x20}, {"co-op", 0x20}, {"coop", 0x20}, {"x y", 0x20},
    {"X  Y", 0x20}, {"back\\slash.txt", 0x20}, {"dir.with.dots/file", 0x20}, {".", 0x20}, {"dot/.", 0x20},
};

class PlainMaskIndex : public ::testing::Test {
protected:
    PlainMaskIndex() : memory(archiveBytes()) {
        archiver.Name = "ZipArchiver1";
        archiver.OpenArchive(&memory.memory, false);
        // Loading turns "\" into "/"; a name set afterwards keeps it.
        TZADirArray& dir = archiver.DirManager()->CentralDir;
        for (int i = 0; i < dir.GetCount(); ++i) {
            if (dir.GetItemPtr(i)->FileName == "back/slash.txt") dir.GetItemPtr(i)->FileName = "back\\slash.txt";
        }
    }
    static std::string archiveBytes() {
        test::FixtureArchive a;
        for (const Stored& s : kStored) {
            test::FixtureEntry e;
            e.name = s.name;
            e.data = (s.attributes & 0x10) != 0 ? "" : s.name;
            e.attributes = s.attributes;
            a.entries.push_back(e);
        }
        return test::buildZip(a);
    }
    struct Holder {
        explicit Holder(const std::string& bytes) { memory.Write(bytes.data(), bytes.size()); }
        TMemoryStream memory;
    } memory;
    TaggingArchiver archiver;
};

std::vector<std::string> plainMasks() {
    std::vector<std::string> masks;
    for (const Stored& s : kStored) {
        std::string name = s.name;
        masks.push_back(name);
        std::string upper = name;
        for (char& c : upper) c = static_cast<char>(zaos::ansiUpper(static_cast<unsigned char>(c)));
        masks.push_back(upper);
        masks.push_back(name + ".");
        std::string back = name;
        for (char& c : back) c = c == '/' ? '\\' : c;
        masks.push_back(back);
    }
    for (const char* m : {"1.twi", "DATA\\1.TWI", "C:1.twi", "c:DATA/1.twi", "sub/1.twi", "readme.", "README",
                          "a.b", "x.", "x", ".", "..", "/", "\\", "docs/", "DOCS", "sub", "nothing", "hid.twi",
                          "VOL", "CAFE.TXT", "Stra\xDF" "E", "STRASSE", "\xE6on", "AB", "A\xAD" "B", "coop.",
                          "back/slash.txt", "slash.txt", "file", "dir.with.dots", "data/sub/1.twi", "D"}) {
        masks.push_back(m);
    }
    return masks;
}

TEST_F(PlainMaskIndex, TagsExactlyWhatTheScanTagged) {
    std::string key;
    ASSERT_TRUE(PlainMaskKey("1.twi", key)) << "the locale's sameness of characters gives classes: the index is in use";
    const std::vector<std::string> masks = plainMasks();
    const char* const exclusions[] = {"", "*.txt", "data/*", "1.twi", "DATA\\1.TWI", "*", "readme."};
    const int attributes[] = {63, 0, 16, 2, 0x3B};
    int selected = 0;
    for (const bool recurse : {true, false}) {
        archiver.Options.Recurse = recurse;
        for (const std::string& mask : masks) {
            for (const char* exclusion : exclusions) {
                for (const int attr : attributes) {
                    std::vector<int> scanned;
                    {
                        IndexesOff off;
                        archiver.TagFiles(mask, attr, exclusion);
                        scanned = archiver.tagged();
                    }
                    archiver.TagFiles(mask, attr, exclusion);
                    EXPECT_EQ(archiver.tagged(), scanned)
                        << "mask \"" << mask << "\", exclusion \"" << exclusion << "\", attributes " << attr
                        << (recurse ? "" : ", not recursing");
                    selected += static_cast<int>(scanned.size());
                }
            }
        }
    }
    EXPECT_GT(selected, 1000) << "the table selects items in many ways, not only none";
}

// FindNext goes on from the item found, also after names changed between the calls.
TEST_F(PlainMaskIndex, FindNextFollowsNamesChangedBetweenCalls) {
    const auto searchAll = [&](const std::string& mask) {
        std::vector<int> found;
        TZAArchiveItem item;
        for (bool f = archiver.FindFirst(mask, item, "", 63); f; f = archiver.FindNext(item)) {
            found.push_back(item.InternalSearchRec.Index);
            // Each item found is renamed away, and the item after it renamed to the mask's name.
            TZADirArray& dir = archiver.DirManager()->CentralDir;
            dir.GetItemPtr(found.back())->FileName = "renamed";
            if (found.back() + 2 < dir.GetCount()) dir.GetItemPtr(found.back() + 2)->FileName = "Folder/" + mask;
        }
        return found;
    };
    std::vector<int> scanned;
    {
        IndexesOff off;
        scanned = searchAll("dup.twi");
    }
    memory.memory.SetPosition(0);
    archiver.CloseArchive();
    archiver.OpenArchive(&memory.memory, false);
    EXPECT_EQ(searchAll("dup.twi"), scanned);
    EXPECT_GT(scanned.size(), 5u) << "the renames carried the search on";
}

// Every event of a batch, as text.
using TRecordedRun = std::function<void(TZipArchiver&, std::vector<std::string>& events)>;

void recordNames(TZipArchiver& archiver, std::vector<std::string>& events) {
    const TZADirArray& dir = archiver.DirManager()->CentralDir;
    for (int i = 0; i < dir.GetCount(); ++i) events.push_back("left " + dir.GetItemPtr(i)->FileName);
}

std::vector<std::string> recordBatch(TZipArchiver& archiver, const TRecordedRun& run) {
    std::vector<std::string> events;
    archiver.OnConfirmProcessFile = [&](TObject*, const std::string& name, TZAProcessOperation op, bool& confirm) {
        events.push_back("confirm " + name + " " + std::to_string(op));
        confirm = name.find("skip") == std::string::npos;
    };
    archiver.OnFileProgress = [&](TObject*, const std::string& name, double progress, TZAProcessOperation,
                                  TZAProgressPhase phase, bool&) {
        events.push_back("file " + name + " " + std::to_string(static_cast<int>(progress)) + " " + std::to_string(phase));
    };
    archiver.OnOverallProgress = [&](TObject*, double progress, TZAProcessOperation, TZAProgressPhase phase, bool&) {
        events.push_back("overall " + std::to_string(static_cast<int>(progress)) + " " + std::to_string(phase));
    };
    archiver.OnProcessFileFailure = [&](TObject*, const std::string& name, TZAProcessOperation, int native, int,
                                        const std::string&, TZAAction& action) {
        events.push_back("failure " + name + " " + std::to_string(native));
        action = fxaIgnore;
    };
    run(archiver, events);
    return events;
}

// Forty items in two folders, names repeated; "skip" ones are not confirmed.
const std::vector<std::string> kBatchNames = [] {
    std::vector<std::string> names;
    for (int i = 0; i < 40; ++i)
        names.push_back((i % 3 == 0 ? "top/" : "deep/er/") + std::string(i % 7 == 0 ? "skip" : "item") + std::to_string(i % 10) + ".twi");
    return names;
}();

TEST(TaggedBatch, VisitsTheTaggedItemsInOrderWithTheSameEvents) {
    test::FixtureArchive a;
    for (int i = 0; i < 40; ++i) {
        test::FixtureEntry e;
        e.name = kBatchNames[static_cast<std::size_t>(i)];
        e.data = std::string(static_cast<std::size_t>(100 + i), static_cast<char>('a' + i % 26));
        if (i % 11 == 0) e.crcOverride = 1;  // a failure event
        a.entries.push_back(e);
    }
    const std::string bytes = test::buildZip(a);
    struct Case {
        const char* label;
        TRecordedRun run;
    };
    const Case cases[] = {
        {"test one name", [](TZipArchiver& z, auto&) { z.TestFiles("item3.twi", 63, ""); }},
        {"test one name twice",
         [](TZipArchiver& z, auto&) {
             z.TestFiles("ITEM3.TWI", 63, "");
             z.TestFiles("skip0.twi", 63, "");
         }},
        {"test by folder", [](TZipArchiver& z, auto&) { z.TestFiles("deep/er/item4.twi", 63, ""); }},
        {"test with exclusion", [](TZipArchiver& z, auto&) { z.TestFiles("*.twi", 63, "top/*"); }},
        {"test by the mask lists",
         [](TZipArchiver& z, auto&) {
             z.Options.Recurse = true;
             z.FileMasks = {"deep\\er\\*", "top\\skip*"};
             z.ExclusionMasks = {"*3.twi"};
             z.TestFiles();
         }},
        {"delete by name and by mask",
         [](TZipArchiver& z, auto& events) {
             z.BeginUpdate();
             z.DeleteFiles("item2.twi", 63, "");
             z.DeleteFiles("*5.twi", 63, "");
             recordNames(z, events);
             z.CancelUpdate();
         }},
        {"delete all but a few",
         [](TZipArchiver& z, auto& events) {
             z.BeginUpdate();
             z.DeleteFiles("*", 63, "item1.twi");
             recordNames(z, events);
             // Left: what was excluded and what was not confirmed, each once.
             const TZADirArray& dir = z.DirManager()->CentralDir;
             std::vector<std::string> left, expected;
             for (int i = 0; i < dir.GetCount(); ++i) left.push_back(dir.GetItemPtr(i)->FileName);
             for (int i = 0; i < 40; ++i) {
                 const std::string& name = kBatchNames[static_cast<std::size_t>(i)];
                 if (name.find("skip") != std::string::npos || name.find("item1.") != std::string::npos) expected.push_back(name);
             }
             EXPECT_EQ(left, expected);
             z.CancelUpdate();
         }},
    };
    for (const Case& c : cases) {
        std::vector<std::string> scanned;
        {
            IndexesOff off;
            test::MemoryArchive archive(bytes);
            scanned = recordBatch(archive.archiver, c.run);
        }
        test::MemoryArchive archive(bytes);
        EXPECT_EQ(recordBatch(archive.archiver, c.run), scanned) << c.label;
        EXPECT_GT(scanned.size(), 3u) << c.label;
    }
}

// The list of tagged items follows every way the array changes.
TEST(DirArray, TaggedListFollowsEveryChange) {
    TZADirArray array;
    array.SetCount(30);
    for (int i = 0; i < 30; ++i) array.GetItemPtr(i)->FileName = "n" + std::to_string(i);
    const auto scan = [&] {
        std::vector<int> out;
        for (int i = 0; i < array.GetCount(); ++i)
            if (array.GetItemPtr(i)->Tag != 0) out.push_back(i);
        return out;
    };
    const auto listed = [&] {
        std::vector<int> out;
        for (int i = array.NextTagged(0); i >= 0; i = array.NextTagged(i + 1)) out.push_back(i);
        EXPECT_EQ(array.TaggedCount(), static_cast<int>(out.size()));
        return out;
    };
    TDirItem taggedItem;
    taggedItem.FileName = "copied";
    taggedItem.Tag = 1;
    TDirItem plainItem;
    plainItem.FileName = "plain";
    TZADirArray copy;
    struct Step {
        const char* label;
        std::function<void()> change;
    };
    const Step steps[] = {
        {"tagged out of order", [&] { for (int i : {7, 3, 20, 3, 29, 0}) array.SetTag(i, 1); }},
        {"untagged", [&] { array.SetTag(20, 0); array.SetTag(21, 0); }},
        {"item with a tag set", [&] { array.SetItem(12, taggedItem); }},
        {"tagged item overwritten", [&] { array.SetItem(7, plainItem); }},
        {"items deleted before, at and after tags", [&] { array.DeleteItem(1); array.DeleteItem(2); array.DeleteItem(25); }},
        {"shrunk below a tag", [&] { array.SetCount(20); }},
        {"grown back over the old tagged slots", [&] { array.SetCount(27); }},
        {"tags cleared", [&] { array.ClearTags(); array.SetTag(5, 2); }},
        {"assigned", [&] { copy.Assign(&array); copy.SetTag(9, 1); array.Assign(&copy); }},
        {"cleared and grown", [&] { array.SetTag(1, 1); array.Clear(); array.SetCount(3); }},
    };
    for (const Step& step : steps) {
        step.change();
        EXPECT_EQ(listed(), scan()) << step.label;
    }
}

} // namespace
} // namespace tarnwick
