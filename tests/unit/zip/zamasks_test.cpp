#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "zip/zamasks.h"
#include "zip/zastrfunc.h"
#include "zip_fixture.h"

namespace tarnwick {
namespace {

TEST(StrMatchPattern, Table) {
    struct Case {
        const char* name;
        const char* pattern;
        bool ignoreCase;
        bool expected;
    };
    const Case cases[] = {
        {"abc", "a*c", true, true},     {"abc", "a?", true, false},     {"ABC", "abc", false, false},
        {"ABC", "abc", true, true},     {"abc", "*", false, true},      {"", "*", false, true},
        {"anything", "*.*", false, true}, {"abc", "abc*", true, true},   {"abc", "abc**", true, false},
        {"a.b.c", "*.c", true, true},   {"ab", "a?c", true, false},     {"readme.txt", "*.TXT", true, true},
        {"\xC9t\xE9", "\xE9T\xC9", true, true},  // accented letters compare without case in the locale order
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsStrMatchPattern(c.name, c.pattern, c.ignoreCase), c.expected) << c.name << " vs " << c.pattern;
    }
}

// The plain definition of a match: every skip of every star tried in turn. Exponential in the
// number of stars, so only for short strings.
bool referenceMatch(const std::string& name, std::size_t n, const std::string& pattern, std::size_t p) {
    if (pattern.size() - p == 1 && pattern[p] == '*') return true;
    if (n >= name.size()) return p >= pattern.size();
    if (p >= pattern.size()) return false;
    if (pattern[p] == '*') {
        for (std::size_t i = n; i < name.size(); ++i)
            if (referenceMatch(name, i, pattern, p + 1)) return true;
        return false;
    }
    if (pattern[p] != '?' && pattern[p] != name[n]) return false;
    return referenceMatch(name, n + 1, pattern, p + 1);
}

// Every string of up to five characters from a small alphabet, with and without wildcards.
std::vector<std::string> allStrings(const std::string& alphabet, std::size_t maxLength) {
    std::vector<std::string> out{""};
    for (std::size_t begin = 0, length = 1; length <= maxLength; ++length) {
        const std::size_t end = out.size();
        for (std::size_t i = begin; i < end; ++i)
            for (char c : alphabet) out.push_back(out[i] + c);
        begin = end;
    }
    return out;
}

TEST(StrMatchPattern, AgreesWithTryingEverySkip) {
    const std::vector<std::string> names = allStrings("ab", 5);
    int disagreements = 0;
    for (const std::string& pattern : allStrings("ab*?", 5)) {
        if (pattern == "*.*") continue;
        for (const std::string& name : names) {
            const bool expected = referenceMatch(name, 0, pattern, 0);
            if (IsStrMatchPattern(name, pattern, false) != expected && ++disagreements <= 10)
                ADD_FAILURE() << "'" << name << "' vs '" << pattern << "': expected " << expected;
        }
    }
    EXPECT_EQ(disagreements, 0);
}

TEST(StrMatchPattern, ManyStarsInAHostileNameDoNotBacktrackForEver) {
    // An item name used as a mask (renaming, replacing an item): forty stars between letters that
    // never complete a match would take 2^40 steps to reject by trying every skip.
    std::string pattern, name(400, 'a');
    for (int i = 0; i < 40; ++i) pattern += "a*";
    pattern += "b";
    EXPECT_FALSE(IsStrMatchPattern(name, pattern, true));
    EXPECT_TRUE(IsStrMatchPattern(name + "b", pattern, true));
    EXPECT_FALSE(IsInternalFileMatchMask(name, pattern));
}

TEST(InternalFileMatchMask, Table) {
    struct Case {
        const char* name;
        const char* mask;
        bool expected;
    };
    const Case cases[] = {
        {"readme", "*", true},           {"readme", "*.*", true},           {"readme", "readme.", true},
        {"README", "readme.", true},     {"readme.txt", "readme.", false},  {"readme.", "readme.", true},
        {"file.txt", "", false},         {"a.txt", "*.*.*", true},         {"3.twi", "3.twi", true},
        {"13.twi", "3.twi", false},      {"data/1.twi", "data/*.twi", true}, {"x/data/1.twi", "data/*.twi", false},
        {"3.TWI", "3.twi", true},        {"3.twi", "13.twi", false},        {"3.twi.", "3.twi", true},
        {"3.twi", "3.twi.", false},      {"3.", "3.", true},                {"3", "3.", true},
        {"", ".", true},                 {"a", ".", false},                 {"data/1.twi", "DATA/1.TWI", true},
    };
    for (const Case& c : cases) EXPECT_EQ(IsInternalFileMatchMask(c.name, c.mask), c.expected) << c.name << " vs " << c.mask;
}

TEST(Mask, MatchesWithStarsQuestionMarksAndAsciiCase) {
    struct Case {
        const char* mask;
        const char* name;
        bool expected;
    };
    const Case cases[] = {
        {"*.txt", "A.TXT", true}, {"*.txt", "a.txt.bak", false}, {"a?c", "abc", true}, {"a?c", "ac", false},
        {"*", "", true},          {"a*", "a", true},             {"*b*", "aXbY", true}, {"[ab]", "[AB]", true},
        {"*?", "", true},         {"a*b*c", "aXbXbXc", true},    {"a*b*c", "aXbXbX", false},
    };
    for (const Case& c : cases) EXPECT_EQ(MatchesMask(c.name, c.mask), c.expected) << c.mask << " vs " << c.name;
}

TEST(Mask, MoreThanThirtyStarGroupsIsInvalid) {
    std::string thirty, thirtyOne;
    for (int i = 0; i < 30; ++i) thirty += "*a";
    thirtyOne = thirty + "*b";
    EXPECT_NO_THROW(TMask{thirty});
    try {
        TMask{thirtyOne};
        FAIL() << "no exception";
    } catch (const EZAException&) {
        FAIL() << "the invalid mask is a plain exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message.rfind("'" + thirtyOne + "' is an invalid mask at (", 0), 0u) << e.Message;
    }
}

TEST(CompareFunctions, Table) {
    EXPECT_LT(Q_PCompStr("abc", "abd"), 0);
    EXPECT_EQ(Q_PCompStr(nullptr, ""), 0);
    EXPECT_GT(Q_PCompStr("b", nullptr), 0);
    EXPECT_EQ(Q_CompStrL("abcX", "abcY", 3), 0);
    EXPECT_EQ(Q_CompStrL("x", "y", 0), 0);
    EXPECT_LT(Q_CompStrL("ab", "abc", 5), 0);  // the terminator takes part
    EXPECT_EQ(Q_PCompText("HeLLo", "hello"), 0);
    EXPECT_EQ(Q_CompTextL("ABCx", "abcy", 3), 0);
    EXPECT_EQ(Q_AnsiPCompText("\xC4rger", "\xE4RGER"), 0);
    EXPECT_NE(Q_AnsiPCompStr("\xC4rger", "\xE4rger"), 0);
    EXPECT_EQ(Q_AnsiCompTextL("abcdef", "ABCxyz", 3), 0);
    // Locale order, not byte order: "a" sorts before "B" although 'a' > 'B' as bytes.
    EXPECT_LT(Q_AnsiPCompText("a", "B"), 0);
    EXPECT_GT(Q_PCompStr("a", "B"), 0);
}

TEST(StrTables, TurkishLocaleRanksDistinctlyAndMapsDottedI) {
    const TZAStrTables t = ZABuildStrTables(kTurkishLocaleId);
    EXPECT_TRUE(t.IsPermutation);
    EXPECT_EQ(TurkishToUpperChars['i'], 0xDD);
    EXPECT_EQ(TurkishToUpperChars[0xFD], 'I');
    EXPECT_EQ(TurkishToLowerChars['I'], 0xFD);
    EXPECT_EQ(TurkishToLowerChars[0xDD], 'i');
    // Upper-casing happens on ranks: the rank of "i" maps to the rank of the dotted capital.
    EXPECT_EQ(t.ToUpperChars[t.ToAnsiChars['i']], t.ToAnsiChars[0xDD]);
    for (int n = 0; n < 256; ++n) EXPECT_EQ(t.ToOemChars[t.ToAnsiChars[n]], n);
}

TEST(StrTables, UsEnglishOrderHasTiesSoCodePageTablesAreUsed) {
    const TZAStrTables& t = ZAStrTables();
    EXPECT_FALSE(t.IsPermutation);
    EXPECT_EQ(t.ToAnsiChars[0x82], 0xE9);  // OEM e-acute
    EXPECT_EQ(t.ToOemChars[0xE9], 0x82);
    EXPECT_EQ(ZAOemToAnsi("\x80\x81"), "\xC7\xFC");
}

// Searches through the archiver: which items a mask selects.
class MaskSearch : public ::testing::Test {
protected:
    MaskSearch() : archive(test::buildZip(fixture())) {}
    static test::FixtureArchive fixture() {
        test::FixtureArchive a;
        for (const char* name : {"1.twi", "data/1.twi", "data/2.twi", "readme", "readme.txt", "docs/"}) {
            test::FixtureEntry e;
            e.name = name;
            e.data = std::string(name).back() == '/' ? "" : name;
            if (e.name == "docs/") e.attributes = 0x10;
            a.entries.push_back(e);
        }
        test::FixtureEntry hidden;
        hidden.name = "hidden.txt";
        hidden.data = "h";
        hidden.attributes = 0x22;
        a.entries.push_back(hidden);
        return a;
    }
    std::vector<std::string> found(const std::string& mask, int attributes = 63, const std::string& exclusion = "") {
        std::vector<std::string> names;
        TZAArchiveItem item;
        for (bool f = archive.archiver.FindFirst(mask, item, exclusion, attributes); f; f = archive.archiver.FindNext(item)) {
            names.push_back(item.StoredPath + item.FileName);
        }
        return names;
    }
    test::MemoryArchive archive;
};

TEST_F(MaskSearch, ArgumentMasksSelectByNameOrByPath) {
    using V = std::vector<std::string>;
    EXPECT_EQ(found("1.twi"), (V{"1.twi", "data\\1.twi"}));
    EXPECT_EQ(found("data/*.twi"), (V{"data\\1.twi", "data\\2.twi"}));
    EXPECT_EQ(found("DATA\\1.TWI"), (V{"data\\1.twi"}));
    EXPECT_EQ(found("C:1.twi"), (V{"1.twi", "data\\1.twi"}));  // the drive is dropped
    EXPECT_EQ(found("readme."), (V{"readme"}));
    EXPECT_EQ(found("*.twi", 63, "2.twi"), (V{"1.twi", "data\\1.twi"}));
    EXPECT_EQ(found("*", 63, "data/*"), (V{"1.twi", "readme", "readme.txt", "docs", "hidden.txt"}));
}

TEST_F(MaskSearch, AttributeFilterExcludesOnlyUnaskedHiddenSystemVolumeAndFolderBits) {
    using V = std::vector<std::string>;
    EXPECT_EQ(found("hidden.txt", 0), V{});
    EXPECT_EQ(found("hidden.txt", 63), (V{"hidden.txt"}));
    EXPECT_EQ(found("docs", 0), V{});
    EXPECT_EQ(found("docs", 16), (V{"docs"}));
    EXPECT_TRUE(TZABaseArchiver::CheckAttributesMatch(0x21, 0));  // read-only and archive never exclude
    EXPECT_FALSE(TZABaseArchiver::CheckAttributesMatch(0x04, 0x3B));
}

TEST_F(MaskSearch, WithoutRecurseOnlyTheMasksOwnFolderCounts) {
    using V = std::vector<std::string>;
    archive.archiver.Options.Recurse = false;
    EXPECT_EQ(found("*.twi"), (V{"1.twi"}));
    EXPECT_EQ(found("data/*.twi"), (V{"data\\1.twi", "data\\2.twi"}));
}

TEST_F(MaskSearch, PropertyDrivenSearchUsesTheMaskLists) {
    TZAArchiveItem item;
    EXPECT_FALSE(archive.archiver.FindFirst(item)) << "an empty FileMasks selects nothing";
    archive.archiver.Options.Recurse = true;
    archive.archiver.FileMasks = {"data\\*.twi", "readme"};
    archive.archiver.ExclusionMasks = {"*2.twi"};
    std::vector<std::string> names;
    for (bool f = archive.archiver.FindFirst(item); f; f = archive.archiver.FindNext(item)) names.push_back(item.StoredPath + item.FileName);
    EXPECT_EQ(names, (std::vector<std::string>{"data\\1.twi", "readme"}));
}

TEST_F(MaskSearch, FoundItemCarriesItsFields) {
    TZAArchiveItem item;
    ASSERT_TRUE(archive.archiver.FindFirst("docs", item, "", 63));
    EXPECT_EQ(item.FileName, "docs");
    EXPECT_EQ(item.StoredPath, "");
    EXPECT_EQ(item.CompressionRate, 100);
    ASSERT_TRUE(archive.archiver.FindFirst("2.twi", item, "", 63));
    EXPECT_EQ(item.StoredPath, "data\\");
    EXPECT_EQ(item.UncompressedSize, 10);
    EXPECT_EQ(item.CRC, ZACrc32("data/2.twi", 10));
    EXPECT_EQ(item.LastModFileDate, 0x5A21);
    EXPECT_FALSE(item.Encrypted);
}

} // namespace
} // namespace tarnwick
