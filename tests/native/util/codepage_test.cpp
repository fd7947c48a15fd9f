// The host's code page 932 rules must step exactly like the system's.
#include <gtest/gtest.h>

#include "ground/codepage.h"

TEST(CodePage, LeadBytesOf932)
{
    for (int byte = 0; byte < 256; ++byte) {
        const bool lead = (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
        EXPECT_EQ(IsLeadByte(static_cast<unsigned char>(byte)), lead) << std::hex << byte;
    }
}

TEST(CodePage, StepsOverDoubleByteCharacters)
{
    const char* text = "a表ソb";  // 61 95 5C 83 5C 62
    ASSERT_EQ(std::char_traits<char>::length(text), 6u);
    EXPECT_EQ(NextChar(text), text + 1);
    EXPECT_EQ(NextChar(text + 1), text + 3);
    EXPECT_EQ(NextChar(text + 3), text + 5);
    EXPECT_EQ(NextChar(text + 6), text + 6);  // stays on the terminator

    EXPECT_EQ(PrevChar(text, text + 6), text + 5);
    EXPECT_EQ(PrevChar(text, text + 5), text + 3);
    EXPECT_EQ(PrevChar(text, text + 3), text + 1);
    EXPECT_EQ(PrevChar(text, text + 1), text);
    EXPECT_EQ(PrevChar(text, text), text);
}

TEST(CodePage, LoneLeadByteBeforeTheTerminator)
{
    const char text[] = {'a', static_cast<char>(0x95), '\0'};
    EXPECT_EQ(NextChar(text + 1), text + 2);
    EXPECT_EQ(PrevChar(text, text + 2), text + 1);
}
