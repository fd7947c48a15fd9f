// Path operations on 260-byte buffers, with double-byte text whose trail
// byte is 0x5C: 表 is 95 5C, ソ is 83 5C.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "ground/device_name.h"
#include "ground/path.h"
#include "ground/temporary_name.h"

namespace {

struct Buffer {
    char text[PATH_BUFFER_SIZE + 8];
    explicit Buffer(const char* value)
    {
        std::memset(text, '#', sizeof text);
        std::strcpy(text, value);
    }
};

}  // namespace

TEST(FindChar, StepsByCharacters)
{
    const char* text = "C:\\表\\ソ";  // 43 3A 5C 95 5C 5C 83 5C
    EXPECT_EQ(FindChar(text, '\\'), text + 2);
    EXPECT_EQ(FindChar(text + 3, '\\'), text + 5);
    EXPECT_EQ(FindLastChar(text, nullptr, '\\'), text + 5);
    EXPECT_EQ(FindLastChar(text, text + 5, '\\'), text + 2);
    EXPECT_EQ(FindLastChar(text, text + 2, '\\'), nullptr);
    EXPECT_EQ(FindChar("ソ", '\\'), nullptr);
    // A double-byte wanted character: first byte in the low half.
    EXPECT_EQ(FindChar(text, 0x5C95), text + 3);
    EXPECT_EQ(FindLastChar(text, nullptr, 0x5C83), text + 6);
    EXPECT_EQ(FindChar(text, 0x4095), nullptr);
    EXPECT_EQ(FindChar(static_cast<const char*>(nullptr), '\\'), nullptr);
}

TEST(PathTests, RootRelativeUnc)
{
    struct Case {
        const char* path;
        bool root;
        bool relative;
        bool unc;
    };
    const Case cases[] = {
        {"C:\\", true, false, false},
        {"c:\\", true, false, false},
        {"\\", true, false, false},
        {"\\\\", true, false, true},
        {"\\\\server", true, false, true},
        {"\\\\server\\share", true, false, true},
        {"C:", false, false, false},
        {"C:\\a", false, false, false},
        {"\\a", false, false, false},
        {"\\\\server\\", false, false, true},
        {"\\\\server\\share\\", false, false, true},
        {"\\\\server\\share\\a", false, false, true},
        {"\\\\表\\ソ", true, false, true},  // trail bytes are no separators
        {"", false, true, false},
        {"a\\b", false, true, false},
        {"C:a", false, false, false},
        {"表:\\", false, true, false},  // a lead byte is no drive letter
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(IsRootPath(c.path), c.root);
        EXPECT_EQ(IsRelativePath(c.path), c.relative);
        EXPECT_EQ(IsUncPath(c.path), c.unc);
    }
    EXPECT_FALSE(IsRootPath(nullptr));
    EXPECT_TRUE(IsRelativePath(nullptr));
    EXPECT_FALSE(IsUncPath(nullptr));
}

TEST(RemoveLastComponent, Table)
{
    struct Case {
        const char* path;
        const char* expected;
        bool result;
    };
    const Case cases[] = {
        {"C:\\dir\\file", "C:\\dir", true},
        {"C:\\dir", "C:\\", true},
        {"C:\\dir\\", "C:\\dir", true},
        {"C:file", "C:", true},
        {"file", "", true},
        {"\\file", "\\", true},
        {"\\\\server\\share", "\\\\server", true},
        {"\\\\server", "\\\\", true},
        {"C:\\", "C:\\", false},
        {"C:", "C:", false},
        {"\\", "\\", false},
        {"\\\\", "\\\\", false},
        {"", "", false},
        {"C:\\表", "C:\\", true},
        {"C:\\表\\ソ", "C:\\表", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        Buffer buffer(c.path);
        EXPECT_EQ(RemoveLastComponent(buffer.text), c.result);
        EXPECT_STREQ(buffer.text, c.expected);
    }
    EXPECT_FALSE(RemoveLastComponent(nullptr));
}

TEST(StripToRoot, Table)
{
    struct Case {
        const char* path;
        const char* expected;
        bool result;
    };
    const Case cases[] = {
        {"C:\\a\\b\\c", "C:\\", true},
        {"C:\\", "C:\\", false},
        {"\\\\server\\share", "\\\\server\\share", false},
        {"\\\\server\\share\\dir\\x", "\\\\server\\share", true},
        {"C:\\表\\ソ", "C:\\", true},
        {"a\\b", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        Buffer buffer(c.path);
        EXPECT_EQ(StripToRoot(buffer.text), c.result);
        EXPECT_STREQ(buffer.text, c.expected);
    }
}

TEST(AddBackslash, Table)
{
    struct Case {
        const char* path;
        const char* expected;
    };
    const Case cases[] = {
        {"", ""},
        {"C:\\dir", "C:\\dir\\"},
        {"C:\\dir\\", "C:\\dir\\"},
        {"C:\\表", "C:\\表\\"},  // ends in 5C, but as a trail byte
        {"C:\\ソ\\", "C:\\ソ\\"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        Buffer buffer(c.path);
        char* end = AddBackslash(buffer.text);
        EXPECT_STREQ(buffer.text, c.expected);
        EXPECT_EQ(end, buffer.text + std::strlen(c.expected));
    }
    EXPECT_EQ(AddBackslash(nullptr), nullptr);
}

TEST(AddBackslash, LengthLimit)
{
    Buffer fits(std::string(257, 'a').c_str());
    EXPECT_EQ(AddBackslash(fits.text), fits.text + 258);
    EXPECT_EQ(std::strlen(fits.text), 258u);

    const std::string tooLong(258, 'a');
    Buffer full(tooLong.c_str());
    EXPECT_EQ(AddBackslash(full.text), nullptr);
    EXPECT_EQ(std::string(full.text), tooLong);
    // Already ending in a separator needs no room.
    Buffer ends((std::string(258, 'a') + "\\").c_str());
    EXPECT_EQ(AddBackslash(ends.text), ends.text + 259);
}

TEST(RemoveBackslash, Table)
{
    struct Case {
        const char* path;
        const char* expected;
        size_t resultOffset;
    };
    const Case cases[] = {
        {"C:\\dir\\", "C:\\dir", 6},
        {"C:\\dir", "C:\\dir", 5},
        {"C:\\", "C:\\", 2},
        {"\\", "\\", 0},
        {"\\\\server\\share\\", "\\\\server\\share", 14},
        {"C:\\ソ", "C:\\ソ", 3},  // 83 5C is a character, not a separator
        {"C:\\ソ\\", "C:\\ソ", 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        Buffer buffer(c.path);
        EXPECT_EQ(RemoveBackslash(buffer.text), buffer.text + c.resultOffset);
        EXPECT_STREQ(buffer.text, c.expected);
    }
    Buffer empty("");
    EXPECT_EQ(RemoveBackslash(empty.text), nullptr);
    EXPECT_EQ(RemoveBackslash(nullptr), nullptr);
}

TEST(CopyAtMost, Table)
{
    struct Case {
        const char* source;
        size_t size;
        size_t maxCount;
        HRESULT expected;
        const char* copied;
    };
    const Case cases[] = {
        {"abcdef", 10, 3, S_OK, "abc"},
        {"abc", 10, 8, S_OK, "abc"},
        {"abcdef", 4, 3, S_OK, "abc"},
        {"abcdef", 4, 4, RESULT_INSUFFICIENT_BUFFER, "abc"},
        {"abcdef", 4, 10, RESULT_INSUFFICIENT_BUFFER, "abc"},
        {"abc", 4, 10, S_OK, "abc"},
        {"abc", 10, 0, S_OK, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.source << " " << c.size << " " << c.maxCount);
        Buffer buffer("");
        EXPECT_EQ(CopyAtMost(buffer.text, c.size, c.source, c.maxCount), c.expected);
        EXPECT_STREQ(buffer.text, c.copied);
        EXPECT_EQ(buffer.text[c.size], '#');
    }
    Buffer untouched("keep");
    EXPECT_EQ(CopyAtMost(untouched.text, 0, "x", 1), E_INVALIDARG);
    EXPECT_STREQ(untouched.text, "keep");
}

TEST(CanonicalizePath, Table)
{
    struct Case {
        const char* source;
        const char* expected;
    };
    const Case cases[] = {
        {"C:\\a\\.\\b", "C:\\a\\b"},
        {"C:\\a\\b\\..\\c", "C:\\a\\c"},
        {"C:\\a\\..", "C:\\"},
        {"C:\\..\\x", "C:\\x"},
        {"C:\\a\\.", "C:\\a"},
        {"C:\\.", "C:\\"},
        {"C:\\a\\\\b", "C:\\a\\\\b"},
        {"C:\\a\\\\..", "C:\\a"},
        {"C:\\a\\", "C:\\a\\"},
        {"\\\\server\\share\\..\\x", "\\\\server\\x"},
        {"..\\a", "\\a"},
        {".", "\\"},
        {"", "\\"},
        {"C:", "C:\\"},
        {"\\\\..", "\\\\"},
        {"C:\\...\\.cfg", "C:\\...\\.cfg"},
        {"C:\\表\\..\\x", "C:\\x"},
        {"C:\\a\\ソ\\..\\..\\x", "C:\\x"},
        {"C:\\表\\.\\ソ", "C:\\表\\ソ"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        Buffer output("stale");
        EXPECT_TRUE(CanonicalizePath(output.text, c.source));
        EXPECT_STREQ(output.text, c.expected);
    }
}

TEST(CanonicalizePath, FailsWhenAPieceDoesNotFit)
{
    const std::string source = "C:\\" + std::string(300, 'a');
    Buffer output("");
    EXPECT_FALSE(CanonicalizePath(output.text, source.c_str()));
    EXPECT_EQ(std::strlen(output.text), 259u);
    EXPECT_EQ(output.text[PATH_BUFFER_SIZE], '#');

    const std::string exact = "C:\\" + std::string(256, 'a');
    EXPECT_TRUE(CanonicalizePath(output.text, exact.c_str()));
    EXPECT_EQ(std::string(output.text), exact);

    EXPECT_FALSE(CanonicalizePath(nullptr, "C:\\"));
    EXPECT_FALSE(CanonicalizePath(output.text, nullptr));
}

TEST(FindExtension, Table)
{
    struct Case {
        const char* path;
        const char* expected;  // null: the terminator
    };
    const Case cases[] = {
        {"a.b.c", ".c"},
        {"file.", "."},
        {".cfg", ".cfg"},
        {"dir.d\\file", nullptr},
        {"a.b c", nullptr},
        {"C:\\ソ.txt", ".txt"},
        {"C:\\表.d\\ソ", nullptr},
        {"", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const char* result = FindExtension(c.path);
        if (c.expected == nullptr)
            EXPECT_EQ(result, c.path + std::strlen(c.path));
        else
            EXPECT_STREQ(result, c.expected);
    }
    EXPECT_EQ(FindExtension(static_cast<const char*>(nullptr)), nullptr);
}

TEST(JoinKeyPath, Table)
{
    struct Case {
        const char* key;
        const char* subkey;
        const char* expected;
    };
    const Case cases[] = {
        {"Software\\Velmar\\Orvik", "6.0", "Software\\Velmar\\Orvik\\6.0"},
        {"Software\\Velmar\\Orvik\\", "6.0", "Software\\Velmar\\Orvik\\6.0"},
        {"Software\\表", "ソ", "Software\\表\\ソ"},  // 表 ends in 5C, not a separator
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        Buffer output("");
        EXPECT_EQ(JoinKeyPath(output.text, PATH_BUFFER_SIZE, c.key, c.subkey), S_OK);
        EXPECT_STREQ(output.text, c.expected);
    }
}

TEST(JoinKeyPath, Failures)
{
    Buffer output("keep");
    EXPECT_EQ(JoinKeyPath(output.text, -1, "a", "b"), E_INVALIDARG);
    EXPECT_STREQ(output.text, "keep");
    EXPECT_EQ(JoinKeyPath(output.text, 0, "a", "b"), E_INVALIDARG);

    const std::string longKey(300, 'k');
    EXPECT_EQ(JoinKeyPath(output.text, PATH_BUFFER_SIZE, longKey.c_str(), "b"), RESULT_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::strlen(output.text), 259u);

    const std::string key(250, 'k');
    EXPECT_EQ(JoinKeyPath(output.text, PATH_BUFFER_SIZE, key.c_str(), "123456789"), RESULT_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::string(output.text), key + "\\12345678");
    EXPECT_EQ(output.text[PATH_BUFFER_SIZE], '#');

    // A smaller buffer than a path buffer is never overrun.
    Buffer small("");
    EXPECT_EQ(JoinKeyPath(small.text, 8, "abc", "defgh"), RESULT_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(small.text, "abc\\def");
    EXPECT_EQ(small.text[8], '#');
}

// A byte-wise cut may leave the first byte of 表 (95) or ソ (83) at the end;
// a "\" appended there would be read as its trail byte and name another file.
TEST(LoneLeadByte, RefusedByEveryJoin)
{
    const char* const texts[] = {"C:\\dir\\\x95", "\x83", "C:\\表\\\x83"};
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        Buffer path(text);
        EXPECT_EQ(AddBackslash(path.text), nullptr);
        EXPECT_STREQ(path.text, text);

        Buffer joined("keep");
        EXPECT_EQ(JoinPath(joined.text, text, "ORVIK.exe"), RESULT_INVALID_NAME);
        EXPECT_STREQ(joined.text, "");
        EXPECT_EQ(JoinKeyPath(joined.text, PATH_BUFFER_SIZE, text, "6.0"), RESULT_INVALID_NAME);
    }
}

// The install destination: full paths only, judged by characters, so 表 (95 5C),
// ソ (83 5C) and ポ (83 7C) are names like any other.
TEST(IsFullDirectoryPath, Table)
{
    const char* const allowed[] = {
        "C:\\", "c:\\Orvik", "C:\\Program Files\\Orvik\\", "\\\\server\\share", "\\\\server\\share\\",
        "\\\\server\\share\\Orvik", "C:\\表\\ソ\\ポ", "C:\\表", "C:\\ﾌﾞﾚﾝﾅ", "C:\\a.b\\.hidden", "C:\\CONSOLE\\COM0"};
    const char* const refused[] = {
        "", "Orvik", "..\\x", "C:Orvik", "C:", "\\Orvik", "\\", "\\\\", "\\\\server", "\\\\server\\",
        "\\\\\\share", "1:\\x", "C:\\Apps\\\\Orvik", "C:\\\\", "C:/Orvik", "C:\\Apps/Orvik", "C:\\.",
        "C:\\Apps\\.\\x", "C:\\..\\x", "C:\\Orvik.", "C:\\Orvik \\x", "C:\\con", "C:\\Apps\\NUL.txt",
        "C:\\lpt1", "C:\\Com9\\x", "C:\\CONIN$", "C:\\Apps\\Con .txt", "C:\\clock$\\x", "C:\\a<b", "C:\\a>b", "C:\\a\"b", "C:\\a|b", "C:\\a?b", "C:\\a*b",
        "C:\\a:b", "C:\\a\tb", "C:\\x\x95", "\\\\se|rver\\share"};
    for (const char* path : allowed)
        EXPECT_TRUE(IsFullDirectoryPath(path)) << path;
    for (const char* path : refused)
        EXPECT_FALSE(IsFullDirectoryPath(path)) << path;
    EXPECT_FALSE(IsFullDirectoryPath(nullptr));
}

// The devices: the part before the first dot, blanks before it dropped, in
// any letter case; only the given length counts.
TEST(IsDeviceName, Table)
{
    const char* const devices[] = {"CON", "con", "Prn.txt", "AUX.", "nul.tar.gz", "Con .log", "NUL  ", "CONIN$",
                                   "conout$.x", "Clock$", "COM1", "com9.txt", "LPT1", "lpt9 .a"};
    const char* const names[] = {"", ".", "CO", "CONS", "CONSOLE", "ACON", " CON", "C ON", "NUL1", "COM", "COM0",
                                 "COM10", "LPT0", "LPTA", "CONIN", "CONOUT", "CLOCK", "CLOCK$$", ".CON",
                                 "\x83\x52ON", "表"};
    for (const char* name : devices)
        EXPECT_TRUE(IsDeviceName(name, std::strlen(name))) << name;
    for (const char* name : names)
        EXPECT_FALSE(IsDeviceName(name, std::strlen(name))) << name;
    EXPECT_TRUE(IsDeviceName("COM1\\x", 4));
    EXPECT_FALSE(IsDeviceName("CONSOLE", 4));
    EXPECT_TRUE(IsDeviceName("CONSOLE", 3));
}

// The temporary names of members: made and recognised by one rule, in any
// letter case, and nothing near it.
TEST(TemporaryName, MadeAndRecognisedByOneRule)
{
    char name[kTemporaryNameLength + 1];
    for (uint64_t unique : {0ULL, 1ULL, 0x0123456789ABCDEFULL, ~0ULL}) {
        FormatTemporaryName(name, unique);
        EXPECT_EQ(std::strlen(name), kTemporaryNameLength);
        EXPECT_TRUE(IsTemporaryName(name)) << name;
    }
    FormatTemporaryName(name, 0x0123456789ABCDEFULL);
    EXPECT_STREQ(name, "ORV0123456789ABCDEF.TMP");
    EXPECT_TRUE(IsTemporaryName("orv0123456789abcdef.tmp"));
    for (const char* other : {"ORV0123.TMP", "ORV0123456789ABCDE.TMP", "ORV0123456789ABCDEF0.TMP",
                              "ORV0123456789ABCDEG.TMP", "ORV0123456789ABCDEF.TMPX", "XORV0123456789ABCDEF.TMP",
                              "ORV0123456789ABCDEF.TM", "ORV0123456789ABCDEF", "ORVIK.exe", ""})
        EXPECT_FALSE(IsTemporaryName(other)) << other;
}
