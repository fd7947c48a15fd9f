// Bounded text: never past the size, always terminated, cuts reported.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "ground/result.h"

namespace {

constexpr size_t kSize = 260;

// A buffer with guard bytes behind it to catch writes past the size.
struct Guarded {
    char bytes[kSize + 8];
    Guarded() { std::memset(bytes, '#', sizeof bytes); }
    char* data() { return bytes; }
    bool GuardIntact() const
    {
        for (size_t i = kSize; i < sizeof bytes; ++i) {
            if (bytes[i] != '#')
                return false;
        }
        return true;
    }
};

HRESULT Format(char* dest, size_t size, const char* format, ...) __attribute__((format(printf, 3, 4)));
HRESULT Format(char* dest, size_t size, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const HRESULT result = FormatBoundedV(dest, size, format, args);
    va_end(args);
    return result;
}

}  // namespace

TEST(CopyBounded, FitsOrCutsAtTheLastByte)
{
    struct Case {
        size_t length;
        HRESULT expected;
        size_t kept;
    };
    const Case cases[] = {
        {0, S_OK, 0},
        {1, S_OK, 1},
        {259, S_OK, 259},
        {260, RESULT_INSUFFICIENT_BUFFER, 259},
        {600, RESULT_INSUFFICIENT_BUFFER, 259},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        const std::string source(c.length, 'x');
        Guarded buffer;
        EXPECT_EQ(CopyBounded(buffer.data(), kSize, source.c_str()), c.expected);
        EXPECT_EQ(std::strlen(buffer.data()), c.kept);
        EXPECT_TRUE(buffer.GuardIntact());
    }
}

TEST(CopyBounded, SizeZeroTouchesNothing)
{
    char buffer[4] = {'a', 'b', 'c', '\0'};
    EXPECT_EQ(CopyBounded(buffer, 0, "x"), E_INVALIDARG);
    EXPECT_STREQ(buffer, "abc");
}

TEST(CopyBounded, CutsBetweenTheBytesOfADoubleByteCharacter)
{
    char buffer[4];
    // 表 is 95 5C: a cut by bytes may keep the lead byte alone.
    EXPECT_EQ(CopyBounded(buffer, sizeof buffer, "ab表"), RESULT_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::strlen(buffer), 3u);
    EXPECT_EQ(static_cast<unsigned char>(buffer[2]), 0x95);
}

TEST(AppendBounded, Outcomes)
{
    struct Case {
        size_t existing;
        size_t added;
        HRESULT expected;
        size_t total;
    };
    const Case cases[] = {
        {0, 0, S_OK, 0},
        {100, 159, S_OK, 259},
        {100, 160, RESULT_INSUFFICIENT_BUFFER, 259},
        {259, 0, S_OK, 259},  // full buffer, nothing to add
        {259, 1, RESULT_INSUFFICIENT_BUFFER, 259},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.existing << "+" << c.added);
        Guarded buffer;
        ASSERT_EQ(CopyBounded(buffer.data(), kSize, std::string(c.existing, 'a').c_str()), S_OK);
        EXPECT_EQ(AppendBounded(buffer.data(), kSize, std::string(c.added, 'b').c_str()), c.expected);
        EXPECT_EQ(std::strlen(buffer.data()), c.total);
        EXPECT_TRUE(buffer.GuardIntact());
    }
}

TEST(AppendBounded, TargetWithoutTerminatorIsRefusedUntouched)
{
    Guarded buffer;
    std::memset(buffer.data(), 'a', kSize);
    EXPECT_EQ(AppendBounded(buffer.data(), kSize, "b"), E_INVALIDARG);
    EXPECT_EQ(std::string(buffer.data(), kSize), std::string(kSize, 'a'));
    EXPECT_TRUE(buffer.GuardIntact());
    EXPECT_EQ(AppendBounded(buffer.data(), 0, "b"), E_INVALIDARG);
}

TEST(FormatBounded, FitsOrCuts)
{
    Guarded buffer;
    EXPECT_EQ(FormatBounded(buffer.data(), kSize, "%s-%d", "abc", 42), S_OK);
    EXPECT_STREQ(buffer.data(), "abc-42");

    const std::string long259(259, 'z');
    EXPECT_EQ(FormatBounded(buffer.data(), kSize, "%s", long259.c_str()), S_OK);
    EXPECT_EQ(std::strlen(buffer.data()), 259u);

    EXPECT_EQ(FormatBounded(buffer.data(), kSize, "%s!", long259.c_str()), RESULT_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::string(buffer.data()), long259);
    EXPECT_TRUE(buffer.GuardIntact());

    char small[5];
    EXPECT_EQ(Format(small, sizeof small, "%d", 123456), RESULT_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(small, "1234");
}

TEST(FormatBounded, BadSizesTouchNothing)
{
    char buffer[4] = {'a', 'b', 'c', '\0'};
    EXPECT_EQ(FormatBounded(buffer, 0, "x"), E_INVALIDARG);
    EXPECT_EQ(FormatBounded(buffer, size_t{0x80000000u}, "x"), E_INVALIDARG);
    EXPECT_STREQ(buffer, "abc");
}

TEST(CopyTruncated, CutsSilentlyAtSizeMinusOne)
{
    char buffer[4];
    CopyTruncated(buffer, sizeof buffer, "abcdef");
    EXPECT_STREQ(buffer, "abc");
    CopyTruncated(buffer, sizeof buffer, "ab");
    EXPECT_STREQ(buffer, "ab");
}
