// Result conversion and error texts, for the codes every platform describes
// the same way: the program's own and those the system has no text for.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "ground/result.h"

namespace {

const char kCorruptText[] =
    "データが壊れています。\n正常なデータを入手してください。\nハードウェアが故障している場合もあります。\n";

std::string Compose(HRESULT code, const char* message, size_t size = 1024)
{
    std::string buffer(size, '#');
    ComposeErrorText(size, &buffer[0], code, message == nullptr ? nullptr : "%s", message);
    return buffer.c_str();
}

}  // namespace

TEST(ResultFromWin32, MapsErrorNumbers)
{
    struct Case {
        uint32_t error;
        uint32_t expected;
    };
    const Case cases[] = {
        {0, 0x80004005u},  // no error number is still a failure
        {2, 0x80070002u},
        {3, 0x80070003u},
        {5, 0x80070005u},
        {183, 0x800700B7u},
        {0x12345, 0x80072345u},  // only the low word survives
    };
    for (const Case& c : cases)
        EXPECT_EQ(static_cast<uint32_t>(ResultFromWin32(c.error)), c.expected) << c.error;
}

TEST(DescribeResult, OwnTextsByLowWordAnyFacility)
{
    char text[1024];
    const std::string corrupt = std::string(kCorruptText) + "\n";
    for (HRESULT code : {E_CORRUPT_DATA, static_cast<HRESULT>(0x80071001u), static_cast<HRESULT>(0x00001001)}) {
        ASSERT_TRUE(DescribeResult(code, sizeof text, text));
        EXPECT_EQ(std::string(text), corrupt);
    }
    ASSERT_TRUE(DescribeResult(static_cast<HRESULT>(0x80041000u), sizeof text, text));
    EXPECT_EQ(std::string(text), "成功しました。\n\n");
}

TEST(DescribeResult, OwnTextCutToSize)
{
    char text[8];
    ASSERT_TRUE(DescribeResult(E_CORRUPT_DATA, sizeof text, text));
    EXPECT_EQ(std::string(text), std::string(kCorruptText, 7));
}

TEST(DescribeResult, UnknownCodeGivesEmptyText)
{
    char text[16] = "stale";
    EXPECT_FALSE(DescribeResult(static_cast<HRESULT>(0xA00F7777u), sizeof text, text));
    EXPECT_STREQ(text, "");
}

TEST(ComposeErrorText, Layouts)
{
    const HRESULT unknown = static_cast<HRESULT>(0xA00F7777u);
    EXPECT_EQ(Compose(E_CORRUPT_DATA, "展開できません。"),
              std::string("展開できません。\n\n") + kCorruptText + "\n");
    EXPECT_EQ(Compose(unknown, "失敗"), "失敗\n\nHRESULT: 0xa00f7777");
    EXPECT_EQ(Compose(unknown, nullptr), "HRESULT: 0xa00f7777");
    EXPECT_EQ(Compose(static_cast<HRESULT>(0x0000ABCD), nullptr), "HRESULT: 0x0000abcd");
}

TEST(ComposeErrorText, CutsAndGoesOn)
{
    const HRESULT unknown = static_cast<HRESULT>(0xA00F7777u);
    // The message is cut; the appends then find the buffer full.
    EXPECT_EQ(Compose(unknown, "abcdefghij", 6), "abcde");
    // The message fits, the blank line only partly, the number line not.
    EXPECT_EQ(Compose(unknown, "abcd", 6), "abcd\n");
    std::string large(1020, 'm');
    const std::string text = Compose(unknown, large.c_str(), 1024);
    EXPECT_EQ(text.size(), 1023u);
    EXPECT_EQ(text.substr(1020), "\n\nH");
}
