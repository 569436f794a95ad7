// TRegistryAccess against the real registry (Wine's under CI). Each test works below a key of its
// own, named after the process, and removes it afterwards.
#include "engine/registry_access.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <string>
#include <vector>

namespace tarnwick {
namespace {

struct RawValue {
    LONG result = ERROR_SUCCESS;
    DWORD type = REG_NONE;
    std::vector<unsigned char> bytes;
};

class RegistryAccessTest : public ::testing::Test {
protected:
    void SetUp() override {
        base_ = "Software\\TarnwickTests\\" + std::to_string(GetCurrentProcessId()) + "\\" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name();
    }
    void TearDown() override { SHDeleteKeyA(HKEY_CURRENT_USER, base_.c_str()); }

    RawValue rawValue(const std::string& key, const std::string& name) const {
        RawValue v;
        HKEY h = nullptr;
        v.result = RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &h);
        if (v.result != ERROR_SUCCESS) return v;
        DWORD size = 4096;
        v.bytes.resize(size);
        v.result = RegQueryValueExA(h, name.c_str(), nullptr, &v.type, v.bytes.data(), &size);
        v.bytes.resize(v.result == ERROR_SUCCESS ? size : 0);
        RegCloseKey(h);
        return v;
    }

    bool keyExists(const std::string& key) const {
        HKEY h = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
        RegCloseKey(h);
        return true;
    }

    std::string base_;
};

std::vector<unsigned char> bytesOf(std::string s) { return {s.begin(), s.end()}; }

TEST_F(RegistryAccessTest, CreateMakesMissingParentsAndOpenFindsIt) {
    TRegistryAccess reg(HKEY_CURRENT_USER);
    EXPECT_FALSE(reg.OpenKey(base_ + "\\a\\b"));
    EXPECT_EQ(reg.LastError, ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(reg.HasOpenKey());
    ASSERT_TRUE(reg.CreateKey(base_ + "\\a\\b"));
    EXPECT_EQ(reg.LastError, ERROR_SUCCESS);
    EXPECT_TRUE(keyExists(base_ + "\\a\\b"));
    // Creating an existing key just opens it.
    EXPECT_TRUE(reg.CreateKey(base_ + "\\a\\b"));
    EXPECT_TRUE(reg.OpenKey(base_ + "\\a"));
    EXPECT_EQ(reg.SubKeyCount(), 1);
}

TEST_F(RegistryAccessTest, PathsAreRelativeToTheRootNotTheOpenKey) {
    TRegistryAccess reg(HKEY_CURRENT_USER);
    ASSERT_TRUE(reg.CreateKey(base_ + "\\outer"));
    ASSERT_TRUE(reg.CreateKey(base_ + "\\inner"));
    EXPECT_TRUE(keyExists(base_ + "\\inner"));
    EXPECT_FALSE(keyExists(base_ + "\\outer\\" + base_ + "\\inner"));
}

TEST_F(RegistryAccessTest, EmptyPathOpensTheRoot) {
    TRegistryAccess reg(HKEY_CURRENT_USER);
    ASSERT_TRUE(reg.OpenKey(""));
    EXPECT_GT(reg.SubKeyCount(), 0); // HKCU has Software at least
}

TEST_F(RegistryAccessTest, WritesStoreExactTypesAndBytes) {
    TRegistryAccess reg(HKEY_CURRENT_USER);
    ASSERT_TRUE(reg.CreateKey(base_));
    ASSERT_TRUE(reg.WriteString("s", "abc"));
    ASSERT_TRUE(reg.WriteExpandString("e", "%WINDIR%\\x"));
    ASSERT_TRUE(reg.WriteMultiString("m", "one"));
    ASSERT_TRUE(reg.WriteInteger("d", 0x12345678));
    ASSERT_TRUE(reg.WriteInteger("neg", -2));
    ASSERT_TRUE(reg.WriteBinary("b", 0x1FE));
    ASSERT_TRUE(reg.WriteString("", "default"));
    ASSERT_TRUE(reg.WriteString("empty", ""));

    const struct {
        const char* name;
        DWORD type;
        std::vector<unsigned char> bytes;
    } cases[] = {
        {"s", REG_SZ, bytesOf(std::string("abc\0", 4))},
        {"e", REG_EXPAND_SZ, bytesOf(std::string("%WINDIR%\\x\0", 11))},
        {"m", REG_MULTI_SZ, bytesOf(std::string("one\0\0", 5))},
        {"d", REG_DWORD, {0x78, 0x56, 0x34, 0x12}},
        {"neg", REG_DWORD, {0xFE, 0xFF, 0xFF, 0xFF}},
        {"b", REG_BINARY, {0xFE}}, // one byte: the value's lowest
        {"", REG_SZ, bytesOf(std::string("default\0", 8))},
        {"empty", REG_SZ, {0}},
    };
    for (const auto& c : cases) {
        const RawValue v = rawValue(base_, c.name);
        EXPECT_EQ(v.result, ERROR_SUCCESS) << c.name;
        EXPECT_EQ(v.type, c.type) << c.name;
        EXPECT_EQ(v.bytes, c.bytes) << c.name;
    }
    EXPECT_EQ(reg.ValueCount(), 8);
}

TEST_F(RegistryAccessTest, ReadStringOnlyReadsStringsThatFit) {
    TRegistryAccess reg(HKEY_CURRENT_USER);
    ASSERT_TRUE(reg.CreateKey(base_));
    reg.WriteString("short", "hello");
    reg.WriteString("fits", std::string(511, 'x'));  // 512 bytes with its zero
    reg.WriteString("toolong", std::string(512, 'y'));
    reg.WriteExpandString("expand", "x");
    reg.WriteInteger("number", 5);
    HKEY h = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, base_.c_str(), 0, KEY_SET_VALUE, &h), ERROR_SUCCESS);
    RegSetValueExA(h, "unterminated", 0, REG_SZ, reinterpret_cast<const BYTE*>("abc"), 3);
    RegSetValueExA(h, "innerzero", 0, REG_SZ, reinterpret_cast<const BYTE*>("ab\0cd"), 6);
    RegCloseKey(h);

    const struct {
        const char* name;
        std::string expected;
        bool succeeds;
    } cases[] = {
        {"short", "hello", true},
        {"fits", std::string(511, 'x'), true},
        {"toolong", "", false},
        {"expand", "", true},   // read fine, but not REG_SZ
        {"number", "", true},
        {"missing", "", false},
        {"unterminated", "abc", true},
        {"innerzero", "ab", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(reg.ReadString(c.name), c.expected) << c.name;
        EXPECT_EQ(reg.LastError == ERROR_SUCCESS, c.succeeds) << c.name << " LastError " << reg.LastError;
    }
}

TEST_F(RegistryAccessTest, DeleteValueWithEmptyNameDeletesTheDefault) {
    TRegistryAccess reg(HKEY_CURRENT_USER);
    ASSERT_TRUE(reg.CreateKey(base_));
    reg.WriteString("", "default");
    reg.WriteString("named", "x");
    EXPECT_TRUE(reg.DeleteValue(""));
    EXPECT_EQ(rawValue(base_, "").result, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(rawValue(base_, "named").result, ERROR_SUCCESS);
    EXPECT_FALSE(reg.DeleteValue("missing"));
    EXPECT_EQ(reg.LastError, ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryAccessTest, DeleteKeyIsRelativeToTheOpenKeyAndRefusedWithSubKeys) {
    TRegistryAccess reg(HKEY_CURRENT_USER);
    ASSERT_TRUE(reg.CreateKey(base_ + "\\parent\\child"));
    ASSERT_TRUE(reg.OpenKey(base_));
    EXPECT_FALSE(reg.DeleteKey("parent"));
    EXPECT_NE(reg.LastError, ERROR_SUCCESS);
    EXPECT_TRUE(keyExists(base_ + "\\parent\\child"));
    ASSERT_TRUE(reg.OpenKey(base_ + "\\parent"));
    EXPECT_TRUE(reg.DeleteKey("child"));
    ASSERT_TRUE(reg.OpenKey(base_));
    EXPECT_TRUE(reg.DeleteKey("parent"));
    EXPECT_FALSE(keyExists(base_ + "\\parent"));
}

TEST_F(RegistryAccessTest, WithoutAnOpenKeyEverythingFails) {
    TRegistryAccess reg(HKEY_CURRENT_USER);
    EXPECT_EQ(reg.SubKeyCount(), -1);
    EXPECT_EQ(reg.ValueCount(), -1);
    EXPECT_FALSE(reg.WriteString("x", "y"));
    EXPECT_NE(reg.LastError, ERROR_SUCCESS);
    EXPECT_FALSE(reg.DeleteValue("x"));
    EXPECT_FALSE(reg.DeleteKey("x"));
    EXPECT_EQ(reg.ReadString("x"), "");

    // A failed open leaves no key open, even when one was open before.
    ASSERT_TRUE(reg.CreateKey(base_));
    EXPECT_FALSE(reg.OpenKey(base_ + "\\missing"));
    EXPECT_EQ(reg.ValueCount(), -1);
    EXPECT_FALSE(reg.WriteInteger("x", 1));
}

TEST_F(RegistryAccessTest, SetRootClosesTheKeyAndSwitchesRoots) {
    TRegistryAccess reg(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenKey("SOFTWARE\\Microsoft\\Windows\\CurrentVersion"));
    EXPECT_FALSE(reg.ReadString("ProgramFilesDir").empty());
    reg.SetRoot(HKEY_CURRENT_USER);
    EXPECT_FALSE(reg.HasOpenKey());
    EXPECT_EQ(reg.ValueCount(), -1);
    ASSERT_TRUE(reg.CreateKey(base_));
    EXPECT_TRUE(keyExists(base_));
}

TEST_F(RegistryAccessTest, HklmIsWritable) {
    // The installation writes its uninstall entry and product key under HKEY_LOCAL_MACHINE.
    const std::string key = "SOFTWARE\\TarnwickTests\\" + std::to_string(GetCurrentProcessId());
    TRegistryAccess reg(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.CreateKey(key));
    EXPECT_TRUE(reg.WriteString("DisplayName", "Sample"));
    EXPECT_EQ(reg.ReadString("DisplayName"), "Sample");
    ASSERT_TRUE(reg.OpenKey("SOFTWARE\\TarnwickTests"));
    EXPECT_TRUE(reg.DeleteKey(std::to_string(GetCurrentProcessId())));
}

} // namespace
} // namespace tarnwick
