// JoinPath: the one way file names are formed.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "ground/path.h"

namespace {

std::string Join(const char* directory, const char* name, HRESULT expected = S_OK)
{
    char output[PATH_BUFFER_SIZE + 4];
    std::memset(output, '#', sizeof output);
    EXPECT_EQ(JoinPath(output, directory, name), expected);
    EXPECT_EQ(output[PATH_BUFFER_SIZE], '#');
    return output;
}

}  // namespace

TEST(JoinPath, Table)
{
    struct Case {
        const char* directory;
        const char* name;
        const char* expected;
    };
    const Case cases[] = {
        {"C:\\dir", "x.txt", "C:\\dir\\x.txt"},
        {"C:\\dir\\", "x.txt", "C:\\dir\\x.txt"},
        {"C:\\dir\\sub", "\\x", "C:\\x"},
        {"\\\\server\\share\\dir", "\\x", "\\\\server\\share\\x"},
        {"\\\\server\\share", "\\x", "\\\\server\\share\\x"},
        {"C:\\dir", "D:\\x", "D:\\x"},
        {"C:\\dir", "\\\\srv\\s\\x", "\\\\srv\\s\\x"},
        {"C:\\dir", "..\\x", "C:\\x"},
        {"C:\\dir", "", "C:\\dir"},
        {"C:\\dir", nullptr, "C:\\dir"},
        {"", "x", "x"},
        {nullptr, "C:\\a\\.\\b", "C:\\a\\b"},
        {"C:\\表", "x", "C:\\表\\x"},
        {"C:\\ソ\\", "x", "C:\\ソ\\x"},
        {"C:\\表\\sub", "..\\ソ.txt", "C:\\表\\ソ.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.directory ? c.directory : "(null)") << " + "
                                        << (c.name ? c.name : "(null)"));
        EXPECT_EQ(Join(c.directory, c.name), c.expected);
    }
}

TEST(JoinPath, FailuresEmptyTheOutput)
{
    EXPECT_EQ(Join("", "", E_FAIL), "");
    EXPECT_EQ(Join(nullptr, nullptr, E_FAIL), "");
    EXPECT_EQ(JoinPath(nullptr, "C:\\", "x"), E_FAIL);
}

TEST(JoinPath, LengthLimits)
{
    const std::string dir258 = "C:\\" + std::string(255, 'd');
    EXPECT_EQ(Join(dir258.c_str(), "x", E_FAIL), "");
    EXPECT_EQ(Join(dir258.c_str(), "\\x"), "C:\\x");  // cut to the root first

    const std::string dir250 = "C:\\" + std::string(247, 'd');
    EXPECT_EQ(Join(dir250.c_str(), "123456789", E_FAIL), "");
    const std::string joined = Join(dir250.c_str(), "12345678");
    EXPECT_EQ(joined, dir250 + "\\12345678");
    EXPECT_EQ(joined.size(), 259u);

    // A whole input taken over is cut to 259 bytes without complaint.
    const std::string name300 = "D:\\" + std::string(297, 'n');
    EXPECT_EQ(Join("C:\\dir", name300.c_str()), name300.substr(0, 259));
    EXPECT_EQ(Join(name300.c_str(), ""), name300.substr(0, 259));
}

TEST(JoinPath, OutputMayBeAnInput)
{
    char buffer[PATH_BUFFER_SIZE] = "C:\\dir";
    EXPECT_EQ(JoinPath(buffer, buffer, "x.txt"), S_OK);
    EXPECT_STREQ(buffer, "C:\\dir\\x.txt");

    char name[PATH_BUFFER_SIZE] = "..\\y";
    EXPECT_EQ(JoinPath(name, "C:\\a\\b", name), S_OK);
    EXPECT_STREQ(name, "C:\\a\\y");
}
