// Windows-1252 both ways, the DOS times of the data archive, and TOML strings as inspect writes them.
#include "cp1252.h"
#include "data_archive.h"
#include "inspect_command.h"

#include <gtest/gtest.h>

namespace {

using namespace tarnwick::pack;

TEST(Cp1252, ConvertsWhatTheCodePageHoldsAndNamesTheFirstCharacterItCannot) {
    const struct {
        const char* utf8;
        const char* ansi;        // expected bytes when it converts
        int faultIndex;          // -1: converts
        char32_t faultCodePoint;
    } cases[] = {
        {"plain", "plain", -1, 0},
        {"caf\xC3\xA9 \xE2\x82\xAC \xC5\x92", "caf\xE9 \x80 \x8C", -1, 0}, // é € Œ
        {"\xC5\x81\xC3\xB3" "d\xC5\xBA", "", 0, 0x141},                     // Łódź: Ł first
        {"ab\xE6\x97\xA5", "", 2, 0x65E5},                                   // a CJK character
        {"x\xC2\x81", "", 1, 0x81},                                          // a C1 control 1252 leaves undefined
        {"bad\xC3", "", 3, 0xFFFFFFFF},                                      // cut UTF-8
    };
    for (const auto& c : cases) {
        const TAnsiResult r = utf8ToAnsi(c.utf8);
        if (c.faultIndex < 0) {
            EXPECT_FALSE(r.fault) << c.utf8;
            EXPECT_EQ(r.bytes, c.ansi);
            EXPECT_EQ(ansiToUtf8(r.bytes), c.utf8);
        } else {
            ASSERT_TRUE(r.fault) << c.utf8;
            EXPECT_EQ(r.fault->characterIndex, static_cast<std::size_t>(c.faultIndex)) << c.utf8;
            EXPECT_EQ(r.fault->codePoint, c.faultCodePoint) << c.utf8;
        }
    }
    EXPECT_EQ(foldAnsiCase("readme \xE9\x9A.TXT"), "README \xC9\x8A.TXT");
}

TEST(DosTimes, UtcCalendarAndTheFormatsLimits) {
    const struct {
        std::int64_t unix;
        std::uint32_t dos;
    } cases[] = {
        {315532800, (0u << 25) | (1u << 21) | (1u << 16)},                                  // 1980-01-01 00:00:00
        {1715904000 + 13 * 3600 + 45 * 60 + 31, (44u << 25) | (5u << 21) | (17u << 16) | (13u << 11) | (45u << 5) | 15u},
        {0, (0u << 25) | (1u << 21) | (1u << 16)},                                          // before 1980: its first second
        {1709164800, (44u << 25) | (2u << 21) | (29u << 16)},                               // 2024-02-29
    };
    for (const auto& c : cases) {
        EXPECT_EQ(dosDateTime(c.unix), c.dos) << c.unix;
        if (c.unix >= 315532800) {
            EXPECT_EQ(unixTimeOfDos(static_cast<std::uint16_t>(c.dos >> 16), static_cast<std::uint16_t>(c.dos)), c.unix / 2 * 2);
        }
    }
}

TEST(TomlStrings, LiteralWhenPossibleEscapedOtherwise) {
    EXPECT_EQ(tomlString("[INSTALLDIR]\\bin"), "'[INSTALLDIR]\\bin'");
    EXPECT_EQ(tomlString("it's"), "\"it's\"");
    EXPECT_EQ(tomlString("a\\b'\"\t"), "\"a\\\\b'\\\"\\u0009\"");
}

} // namespace
