// Package registry records applied and undone against the real registry, below a key of this
// process's own.
#include "engine/registry_entries.h"
#include "engine/registry_entry_rules.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <string>
#include <vector>

namespace tarnwick {
namespace {

class RegistryEntriesTest : public ::testing::Test {
protected:
    void SetUp() override {
        base_ = "Software\\TarnwickTests\\entries" + std::to_string(GetCurrentProcessId()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name();
    }
    void TearDown() override { SHDeleteKeyA(HKEY_CURRENT_USER, base_.c_str()); }

    TRegistryRecord key(const std::string& sub) const { return {rrKey, rvNone, "HKEY_CURRENT_USER\\" + base_ + sub, ""}; }
    TRegistryRecord value(std::int32_t kind, const std::string& sub, const std::string& data) const {
        return {rrValue, kind, "HKEY_CURRENT_USER\\" + base_ + sub, data};
    }

    struct Raw {
        LONG result;
        DWORD type;
        std::vector<unsigned char> bytes;
    };
    Raw raw(const std::string& sub, const std::string& name) const {
        Raw v{ERROR_SUCCESS, REG_NONE, std::vector<unsigned char>(1024)};
        DWORD size = 1024;
        HKEY h;
        v.result = RegOpenKeyExA(HKEY_CURRENT_USER, (base_ + sub).c_str(), 0, KEY_READ, &h);
        if (v.result == ERROR_SUCCESS) {
            v.result = RegQueryValueExA(h, name.c_str(), nullptr, &v.type, v.bytes.data(), &size);
            RegCloseKey(h);
        }
        v.bytes.resize(v.result == ERROR_SUCCESS ? size : 0);
        return v;
    }
    bool keyExists(const std::string& sub) const {
        HKEY h;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, (base_ + sub).c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
        RegCloseKey(h);
        return true;
    }

    const TPlaceholderFolders folders_{"C:\\Dest", "C:\\Program Files", "C:\\windows\\system32", "C:\\windows"};
    std::string base_;
};

std::vector<unsigned char> sz(const std::string& s, int zeros = 1) {
    std::vector<unsigned char> v(s.begin(), s.end());
    v.insert(v.end(), static_cast<std::size_t>(zeros), 0);
    return v;
}

TEST_F(RegistryEntriesTest, InstallWritesEveryKindWithPlaceholdersExpanded) {
    TRegistryAccess reg(HKEY_LOCAL_MACHINE);
    const std::vector<TRegistryRecord> records = {
        key("\\App\\"),
        value(rvString, "\\App\\Path", "[INSTALLDIR]\\bin"),
        value(rvString, "\\App\\(Default)", "the default"),
        value(rvBinaryDigits, "\\App\\Flags", "101"),
        value(rvNumber, "\\App\\Count", "-2"),
        value(rvMultiString, "\\App\\List", "[WINDIR]\\x"),
        value(rvExpandString, "\\App\\Expand", "%SystemRoot%\\[WINDIR]"), // only a leading placeholder
        value(rvNone, "\\App\\Skipped", "x"),
        value(7, "\\App\\OddKind", "x"),
        value(rvString, "\\Missing\\Value", "x"), // no key: nothing written, no error
        {rrValue, rvString, "HKLM\\" + base_ + "\\App\\Unknown", "x"},                // no root name: skipped
        {rrValue, rvString, "hkey_current_user\\" + base_ + "\\App\\Lower", "lower"}, // any letter case
        {5, rvString, "HKEY_CURRENT_USER\\" + base_ + "\\App\\OddType", "x"},
    };
    for (const auto& r : records) EXPECT_EQ(applyRegistryRecord(reg, r, folders_), TRegistryApplyResult::Done) << r.keyPath;

    const struct {
        const char* name;
        DWORD type;
        std::vector<unsigned char> bytes;
    } expected[] = {
        {"Path", REG_SZ, sz("C:\\Dest\\bin")},
        {"", REG_SZ, sz("the default")},
        {"Flags", REG_BINARY, {5}},
        {"Count", REG_DWORD, {0xFE, 0xFF, 0xFF, 0xFF}},
        {"List", REG_MULTI_SZ, sz("C:\\windows\\x", 2)},
        {"Expand", REG_EXPAND_SZ, sz("%SystemRoot%\\[WINDIR]")},
        {"Lower", REG_SZ, sz("lower")},
    };
    for (const auto& e : expected) {
        const Raw v = raw("\\App", e.name);
        EXPECT_EQ(v.result, ERROR_SUCCESS) << e.name;
        EXPECT_EQ(v.type, e.type) << e.name;
        EXPECT_EQ(v.bytes, e.bytes) << e.name;
    }
    for (const char* absent : {"Skipped", "OddKind", "Unknown", "OddType", "(Default)"})
        EXPECT_EQ(raw("\\App", absent).result, ERROR_FILE_NOT_FOUND) << absent;
    EXPECT_FALSE(keyExists("\\Missing"));
}

TEST_F(RegistryEntriesTest, KeyThatCannotBeCreatedIsReported) {
    TRegistryAccess reg(HKEY_LOCAL_MACHINE);
    // A key name longer than the registry allows (255 characters).
    EXPECT_EQ(applyRegistryRecord(reg, key("\\" + std::string(300, 'k')), folders_), TRegistryApplyResult::KeyNotCreated);
    // An empty sub-key path creates nothing and is no failure.
    EXPECT_EQ(applyRegistryRecord(reg, {rrKey, rvNone, "HKEY_CURRENT_USER\\", ""}, folders_), TRegistryApplyResult::Done);
}

TEST_F(RegistryEntriesTest, BadNumberRaisesWithTheText) {
    TRegistryAccess reg(HKEY_LOCAL_MACHINE);
    applyRegistryRecord(reg, key("\\App"), folders_);
    try {
        applyRegistryRecord(reg, value(rvNumber, "\\App\\N", "12a"), folders_);
        FAIL() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'12a' is not a valid integer value");
    }
}

TEST_F(RegistryEntriesTest, UninstallDeletesValuesAndEmptiedKeysOneLevel) {
    TRegistryAccess reg(HKEY_LOCAL_MACHINE);
    for (const auto& r : {key("\\Outer\\Inner"), value(rvString, "\\Outer\\Inner\\A", "a"),
                          value(rvString, "\\Outer\\Inner\\(Default)", "d"), value(rvString, "\\Outer\\Keep", "k"),
                          value(rvString, "\\Outer\\Inner\\B", "b")})
        applyRegistryRecord(reg, r, folders_);
    // A value literally named "(Default)" goes too.
    HKEY h;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, (base_ + "\\Outer\\Inner").c_str(), 0, KEY_SET_VALUE, &h), ERROR_SUCCESS);
    RegSetValueExA(h, "(Default)", 0, REG_SZ, reinterpret_cast<const BYTE*>("lit"), 4);
    RegCloseKey(h);

    undoRegistryRecord(reg, value(rvString, "\\Outer\\Inner\\A", ""));
    EXPECT_TRUE(keyExists("\\Outer\\Inner")); // B and the defaults remain
    undoRegistryRecord(reg, value(rvString, "\\Outer\\Inner\\(Default)", ""));
    EXPECT_EQ(raw("\\Outer\\Inner", "").result, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(raw("\\Outer\\Inner", "(Default)").result, ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(keyExists("\\Outer\\Inner"));
    undoRegistryRecord(reg, value(rvBinaryDigits, "\\Outer\\Inner\\B", "")); // data and kind do not matter
    EXPECT_FALSE(keyExists("\\Outer\\Inner"));
    EXPECT_TRUE(keyExists("\\Outer")); // one level only, and Keep is still there
    EXPECT_EQ(raw("\\Outer", "Keep").result, ERROR_SUCCESS);

    // Key records, kind -1, other types and unknown roots are left alone.
    applyRegistryRecord(reg, value(rvString, "\\Outer\\Z", "z"), folders_);
    for (const auto& r : {key("\\Outer"), value(rvNone, "\\Outer\\Z", ""), TRegistryRecord{4, rvString, value(0, "\\Outer\\Z", "").keyPath, ""},
                          TRegistryRecord{rrValue, rvString, "HKCU\\" + base_ + "\\Outer\\Z", ""}})
        undoRegistryRecord(reg, r);
    EXPECT_EQ(raw("\\Outer", "Z").result, ERROR_SUCCESS);
}

} // namespace
} // namespace tarnwick
