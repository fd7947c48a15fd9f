// Every Windows test relies on a Japanese system; fail loudly when Wine
// silently fell back to another ANSI code page.
#include <windows.h>

#include <gtest/gtest.h>

TEST(SystemCodePage, AnsiCodePageIs932)
{
    EXPECT_EQ(GetACP(), 932u);
    // Narrow literals are compiled to code page 932: 表 is 95 5C.
    const char* hyo = "表";
    EXPECT_EQ(static_cast<unsigned char>(hyo[0]), 0x95);
    EXPECT_EQ(static_cast<unsigned char>(hyo[1]), 0x5C);
    EXPECT_TRUE(IsDBCSLeadByte(0x95));
}
