#include "engine/registry_entry_rules.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(RegistryKeyPath, RootNameSeparatorAndTrailingBackslash) {
    const struct {
        const char* keyPath;
        std::uint32_t root;
        const char* subKey;
    } cases[] = {
        {"HKEY_CURRENT_USER\\Software\\Example\\", kRootCurrentUser, "Software\\Example"},
        {"hkey_users\\.DEFAULT\\Example\\Value", kRootUsers, ".DEFAULT\\Example\\Value"},
        {"HKEY_CLASSES_ROOT\\Example", kRootClassesRoot, "Example"},
        {"HKEY_LOCAL_MACHINE/SOFTWARE\\X", kRootLocalMachine, "SOFTWARE\\X"}, // separator not examined
        {"HKEY_CURRENT_CONFIG\\A\\%PATH%", kRootCurrentConfig, "A\\%PATH%"},  // no special characters
        {"HKEY_LOCAL_MACHINE", kRootLocalMachine, ""},
        {"HKEY_LOCAL_MACHINE\\", kRootLocalMachine, ""},
        {"HKEY_LOCAL_MACHINE\\\\", kRootLocalMachine, ""},                    // one backslash dropped
        {"HKEY_LOCAL_MACHINE\\A\\\\", kRootLocalMachine, "A\\"},             // only one
        {"HKEY_USERSX\\Y", kRootUsers, "\\Y"},                               // the character after the name is skipped, whatever it is
    };
    for (const auto& c : cases) {
        const auto parsed = parseRegistryKeyPath(c.keyPath);
        ASSERT_TRUE(parsed.has_value()) << c.keyPath;
        EXPECT_EQ(parsed->rootHandle, c.root) << c.keyPath;
        EXPECT_EQ(parsed->subKeyPath, c.subKey) << c.keyPath;
    }
}

TEST(RegistryKeyPath, UnknownRootIsNoPath) {
    for (const char* keyPath : {"", "HKLM\\Software", "HKEY_LOCAL\\X", " HKEY_USERS\\X", "SOFTWARE\\X"})
        EXPECT_FALSE(parseRegistryKeyPath(keyPath).has_value()) << keyPath;
}

TEST(RegistryValuePath, SplitAtTheLastBackslash) {
    const struct {
        const char* subKey;
        const char* key;
        const char* name;
    } cases[] = {
        {"Software\\Example\\Path", "Software\\Example", "Path"},
        {"Example", "", "Example"}, // a value of the root key itself
        {"Software\\(Default)", "Software", "(Default)"},
        {"Software\\", "Software", ""},
        {"", "", ""},
    };
    for (const auto& c : cases) {
        const TRegistryValuePath split = splitValuePath(c.subKey);
        EXPECT_EQ(split.keyPath, c.key) << c.subKey;
        EXPECT_EQ(split.valueName, c.name) << c.subKey;
    }
}

TEST(BinaryDigits, PlacesWeighPowersOfTwoAndEveryCharacterCounts) {
    const struct {
        std::string text;
        std::int32_t value;
        unsigned storedByte; // WriteBinary keeps the low 8 bits
    } cases[] = {
        {"", 0, 0},
        {"0", 0, 0},
        {"101", 5, 5},
        {"11111111", 255, 255},
        {"100000000", 256, 0},
        {"2", 2, 2},
        {"20", 4, 4},
        {"A", 17, 17},
        {" ", -16, 0xF0},                          // below '0' counts negative
        {"1" + std::string(30, '0'), 1 << 30, 0},
        {std::string(31, '1'), 0x7FFFFFFF, 255},
        // Longer than fits: the low bits stay exact. 40 characters, last 8 "10100101".
        {std::string(32, '1') + "10100101", static_cast<std::int32_t>(0xFFFFFFA5u), 0xA5},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(binaryDigitsValue(c.text), c.value) << '"' << c.text << '"';
        EXPECT_EQ(static_cast<unsigned>(binaryDigitsValue(c.text)) & 0xFFu, c.storedByte) << '"' << c.text << '"';
    }
}

TEST(DecimalInteger, ConvertsOrNamesTheText) {
    const struct {
        const char* text;
        std::int32_t value;
    } good[] = {{"0", 0}, {"42", 42}, {"-7", -7}, {"+7", 7}, {"  12", 12}, {"2147483647", 2147483647},
                {"-2147483648", -2147483647 - 1}, {"007", 7}};
    for (const auto& c : good) EXPECT_EQ(convertDecimalInteger(c.text), c.value) << c.text;

    for (const char* text : {"", " ", "-", "12 ", "1.5", "0x10", "abc", "2147483648", "-2147483649",
                             "99999999999999999999"}) {
        try {
            convertDecimalInteger(text);
            ADD_FAILURE() << '"' << text << "\" converted";
        } catch (const EConvertError& e) {
            EXPECT_EQ(std::string(e.what()), "'" + std::string(text) + "' is not a valid integer value");
        }
    }
}

} // namespace
} // namespace tarnwick
