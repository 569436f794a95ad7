#include <gtest/gtest.h>

#include "zip/zaconst.h"
#include "zip/zaexcept.h"
#include "zip/ziparchiver.h"

namespace tarnwick {
namespace {

struct MessageCase {
    const char* label;
    int native;
    const char* componentName;  // nullptr: no component
    std::vector<TZAFormatArg> args;
    int errorCode;
    const char* message;
};

class ExceptionMessage : public ::testing::TestWithParam<MessageCase> {};

TEST_P(ExceptionMessage, IsBuiltFromNameTableTextAndNativeCode) {
    const MessageCase& c = GetParam();
    TComponent owner(nullptr);
    TComponent* component = nullptr;
    if (c.componentName != nullptr) {
        component = new TComponent(&owner);
        component->Name = c.componentName;
    }
    const EZAException e = c.args.empty() ? EZAException(c.native, component)
                                          : c.args.size() == 1 ? EZAException(c.native, {c.args[0]}, component)
                                                               : EZAException(c.native, {c.args[0], c.args[1]}, component);
    EXPECT_EQ(e.ErrorCode, c.errorCode);
    EXPECT_EQ(e.NativeError, c.native);
    EXPECT_EQ(e.Message, c.message);
    EXPECT_STREQ(e.what(), c.message);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExceptionMessage,
    ::testing::Values(
        MessageCase{"inactive", 13, "ZipArchiver1", {}, 7, "ZipArchiver1: Archive is not open - Native error: 00013"},
        MessageCase{"notFoundWithPath", 12, "ZipArchiver1", {std::string("C:\\data\\x.zip")}, 6,
                    "ZipArchiver1: File \"C:\\data\\x.zip\" not found - Native error: 00012"},
        MessageCase{"unnamedComponent", 13, "", {}, 7, "Archive is not open - Native error: 00013"},
        MessageCase{"noComponent", 55, nullptr, {}, 32, "Deflate64 compression method is not supported - Native error: 00055"},
        MessageCase{"twoNumbers", 34, "Z", {std::int64_t{5}, std::int64_t{7}}, 17,
                    "Z: Invalid compressed size, rfs.size = 5, count = 7 - Native error: 00034"},
        MessageCase{"unmappedCode", 99, "Z", {}, 0, "Z: Unknown error - Native error: 00099"},
        MessageCase{"codeWithoutMessage", 58, "Z", {}, 0, "Z: Unknown error - Native error: 00058"},
        MessageCase{"sixDigits", 123456, nullptr, {}, 0, "Unknown error - Native error: 123456"}),
    [](const ::testing::TestParamInfo<MessageCase>& p) { return std::string(p.param.label); });

TEST(ErrorTables, MapEveryNativeCodeInOrder) {
    const int expected[61] = {0,  1,  1,  1,  1,  2,  3,  1,  4,  5,  5,  6,  6,  7,  7,  6,  1,  8,  6,  9,  10,
                              1,  11, 9,  1,  11, 13, 14, 15, 5,  6,  6,  16, 12, 17, 18, 19, 20, 6,  21, 22, 23,
                              6,  23, 24, 24, 25, 26, 27, 28, 29, 30, 31, 6,  6,  32, 33, -1, -1, -1, -1};
    for (int i = 0; i < 61; ++i) {
        EXPECT_EQ(static_cast<int>(ZAErrorTable[i].native), i);
        EXPECT_EQ(ZAErrorTable[i].errorCode, expected[i]) << "native " << i;
    }
    EXPECT_EQ(ZAErrorMessageText(20), "Archive is open. You should close it beore performing this operation.");
    EXPECT_EQ(ZAErrorMessageText(33), "MakeSFX error");
    EXPECT_EQ(ZAErrorMessageText(34), "");
}

TEST(ErrorTables, FormatLeavesMissingArgumentsEmptyAndIgnoresExtras) {
    EXPECT_EQ(ZAFormat("File \"%s\" not found", {}), "File \"\" not found");
    EXPECT_EQ(ZAFormat("%s and %d%%", {std::string("a"), std::int64_t{3}, std::string("extra")}), "a and 3%");
}

} // namespace
} // namespace tarnwick
