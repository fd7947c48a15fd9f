// Error texts with the system's own message texts.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "ground/result.h"

namespace {

const char kCorruptText[] =
    "データが壊れています。\n正常なデータを入手してください。\nハードウェアが故障している場合もあります。\n";

std::string SystemText(HRESULT code)
{
    char text[1024];
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                        static_cast<DWORD>(code), 0, text, sizeof text, nullptr);
    return length == 0 ? std::string() : std::string(text, length);
}

std::string Compose(HRESULT code, const char* message)
{
    char text[1024];
    ComposeErrorText(sizeof text, text, code, message == nullptr ? nullptr : "%s", message);
    return text;
}

}  // namespace

TEST(ResultFromLastError, TakesTheThreadsValue)
{
    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(static_cast<uint32_t>(ResultFromLastError()), 0x80070005u);
    SetLastError(ERROR_ALREADY_EXISTS);
    EXPECT_EQ(ResultFromLastError(), RESULT_ALREADY_EXISTS);
    SetLastError(0);
    EXPECT_EQ(ResultFromLastError(), E_FAIL);
}

TEST(DescribeResult, SystemTexts)
{
    for (HRESULT code : {E_FAIL, static_cast<HRESULT>(0x80070005), RESULT_PATH_NOT_FOUND}) {
        SCOPED_TRACE(code);
        const std::string expected = SystemText(code);
        ASSERT_FALSE(expected.empty());
        char text[1024];
        EXPECT_TRUE(DescribeResult(code, sizeof text, text));
        EXPECT_EQ(std::string(text), expected);

        char small[6];
        EXPECT_TRUE(DescribeResult(code, sizeof small, small));
        EXPECT_EQ(std::string(small), expected.substr(0, 5));
    }
}

TEST(DescribeResult, OwnTextWhereTheSystemHasNone)
{
    ASSERT_TRUE(SystemText(E_CORRUPT_DATA).empty());
    char text[1024];
    EXPECT_TRUE(DescribeResult(E_CORRUPT_DATA, sizeof text, text));
    EXPECT_EQ(std::string(text), std::string(kCorruptText) + "\n");

    const HRESULT unknown = static_cast<HRESULT>(0xA00F7777u);
    ASSERT_TRUE(SystemText(unknown).empty());
    EXPECT_FALSE(DescribeResult(unknown, sizeof text, text));
    EXPECT_STREQ(text, "");
}

TEST(ComposeErrorText, SystemErrorHasMessageBlankLineTextAndNumber)
{
    const std::string message = "インストールできませんでした。";
    EXPECT_EQ(Compose(E_FAIL, message.c_str()),
              message + "\n\n" + SystemText(E_FAIL) + "HRESULT: 0x80004005");
    EXPECT_EQ(Compose(static_cast<HRESULT>(0x80070005), nullptr),
              SystemText(static_cast<HRESULT>(0x80070005)) + "HRESULT: 0x80070005");
}

TEST(ComposeErrorText, CorruptDataHasNoNumberLine)
{
    const std::string message = "展開できませんでした。";
    EXPECT_EQ(Compose(E_CORRUPT_DATA, message.c_str()), message + "\n\n" + kCorruptText + "\n");
}
