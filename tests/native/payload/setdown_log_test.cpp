// The uninstaller's reading of INSTALL.LOG and its command line.
#include <gtest/gtest.h>

#include "setdown_fake.h"

namespace {

// 表 is 95 5C in code page 932: its trail byte is a backslash.
const std::string HYO = "\x95\x5C";

TEST(SetdownLog, ReadsSectionsInOrderAcrossRepeats)
{
    std::string text =
        "[Files]\r\nC:\\Orvik\\ORVIK.exe\r\nC:\\Orvik\\ORVIK.DAT\r\n"
        "[Dirs]\r\nC:\\Menu\\" + HYO + "\r\n"
        "[Files]\r\nC:\\Menu\\" + HYO + "\\a.lnk\r\n"
        "[RegKeys]\r\nHKEY_LOCAL_MACHINE\\Software\\Velmar\\Orvik\r\n"
        "HKEY_CLASSES_ROOT\\.kdw\r\nHKEY_CURRENT_USER\\Software\\Velmar\\Orvik\r\n"
        "\r\n";
    auto log = Parse(text);
    ASSERT_TRUE(log->ok) << log->error.line;
    EXPECT_EQ(Strings(log->contents.files), (std::vector<std::string>{"C:\\Orvik\\ORVIK.exe", "C:\\Orvik\\ORVIK.DAT",
                                                                      "C:\\Menu\\" + HYO + "\\a.lnk"}));
    EXPECT_EQ(Strings(log->contents.dirs), std::vector<std::string>{"C:\\Menu\\" + HYO});
    ASSERT_EQ(log->contents.keys.count, 3u);
    EXPECT_EQ(log->contents.keys.items[0].root, RegRoot::LocalMachine);
    EXPECT_STREQ(log->contents.keys.items[0].path, "Software\\Velmar\\Orvik");
    EXPECT_EQ(log->contents.keys.items[1].root, RegRoot::ClassesRoot);
    EXPECT_EQ(log->contents.keys.items[2].root, RegRoot::CurrentUser);

    // Empty file and LF-only line ends are fine too.
    EXPECT_TRUE(Parse("")->ok);
    log = Parse("[Dirs]\nC:\\a\n");
    EXPECT_TRUE(log->ok);
    EXPECT_EQ(Strings(log->contents.dirs), std::vector<std::string>{"C:\\a"});

    // A last line without its end, as a power cut leaves one, is left out,
    // whatever it holds; the lines before it count.
    for (const std::string& cut : std::vector<std::string>{"C:\\a\\b", "C:", "HKEY_LOC", "[Fil", std::string("C:\\a\0\0", 6), "C:\\a\r"}) {
        log = Parse("[Dirs]\r\nC:\\a\r\n" + cut);
        EXPECT_TRUE(log->ok) << cut;
        EXPECT_EQ(Strings(log->contents.dirs), std::vector<std::string>{"C:\\a"}) << cut;
    }
}

TEST(SetdownLog, RejectsEveryKindOfBadLine)
{
    const std::string longName(256, 'n');
    const std::string longPath = "C:\\" + std::string(200, 'a') + "\\" + std::string(56, 'b');  // 260 bytes
    struct Case {
        std::string log;
        LogProblem problem;
        int line;
    } cases[] = {
        {"[Files]\r\n[Shortcuts]\r\n", LogProblem::UnknownSection, 2},
        {"[files]\r\nC:\\a\r\n", LogProblem::UnknownSection, 1},
        {"C:\\a\r\n", LogProblem::EntryBeforeSection, 1},
        {"[Files]\r\nORVIK.exe\r\n", LogProblem::NotAbsolutePath, 2},
        {"[Files]\r\n\\Orvik\\ORVIK.exe\r\n", LogProblem::NotAbsolutePath, 2},
        {"[Files]\r\nC:ORVIK.exe\r\n", LogProblem::NotAbsolutePath, 2},
        {"[Dirs]\r\nC:\\\r\n", LogProblem::NotAbsolutePath, 2},
        {"[Dirs]\r\n\\\\server\\share\r\n", LogProblem::NotAbsolutePath, 2},
        {"[Files]\r\nC:\\Orvik\\..\\Windows\\x.dll\r\n", LogProblem::NotAbsolutePath, 2},
        {"[Files]\r\nC:\\Orvik\\\\x\r\n", LogProblem::NotAbsolutePath, 2},
        {"[Files]\r\nC:\\Orvik\\a?b\r\n", LogProblem::NotAbsolutePath, 2},
        {"[Files]\r\nC:\\Orvik\\\x95\r\n", LogProblem::NotAbsolutePath, 2},
        // A lead byte whose next byte cannot be a trail byte.
        {"[Files]\r\nC:\\Orvik\\\x95 x\r\n", LogProblem::NotAbsolutePath, 2},
        {"[Files]\r\nC:\\Orvik\\\x81\x7F\r\n", LogProblem::NotAbsolutePath, 2},
        {"[Dirs]\r\nC:\\\xE0\xFD\r\n", LogProblem::NotAbsolutePath, 2},
        {"[RegKeys]\r\nHKEY_CLASSES_ROOT\\\x81\x1F\r\n", LogProblem::MalformedKey, 2},
        // What Windows cannot hold.
        {"[Files]\r\nC:\\Orvik\\" + longName + "\r\n", LogProblem::TooLong, 2},
        {"[Dirs]\r\n" + longPath + "\r\n", LogProblem::TooLong, 2},
        {"[RegKeys]\r\nHKEY_CLASSES_ROOT\\" + longName + "\r\n", LogProblem::TooLong, 2},
        {"[RegKeys]\r\nHKEY_USERS\\.DEFAULT\\x\r\n", LogProblem::UnknownRootKey, 2},
        {"[RegKeys]\r\nSoftware\\Velmar\r\n", LogProblem::UnknownRootKey, 2},
        {"[RegKeys]\r\nHKEY_LOCAL_MACHINE\r\n", LogProblem::RootKey, 2},
        {"[RegKeys]\r\nHKEY_CLASSES_ROOT\\\r\n", LogProblem::RootKey, 2},
        {"[RegKeys]\r\nHKEY_CURRENT_USER\\Software\\\\Velmar\r\n", LogProblem::MalformedKey, 2},
        {"[RegKeys]\r\nHKEY_CURRENT_USER\\Software\\Velmar\\\r\n", LogProblem::MalformedKey, 2},
        {std::string("[Files]\r\nC:\\a\0b\r\n", 17), LogProblem::NulByte, 2},
        {std::string(kMaxLogSize + 1, 'x'), LogProblem::TooLarge, 0},
    };
    for (const Case& c : cases) {
        auto log = Parse(c.log);
        EXPECT_FALSE(log->ok) << c.log.substr(0, 60);
        EXPECT_EQ(log->error.problem, c.problem) << c.log.substr(0, 60);
        EXPECT_EQ(log->error.line, c.line) << c.log.substr(0, 60);
    }
}

TEST(SetdownLog, AcceptsJapaneseAndUncPaths)
{
    const std::string good[] = {
        "C:\\" + HYO,
        "c:\\Program Files\\" + HYO + "\\ORVIK.exe",
        "\\\\server\\share\\dir",
        // A trail byte that looks like a forbidden character is data; the
        // trail bytes' range ends are characters.
        "C:\\\x83\x7C",
        "C:\\\x81\x40\x9F\x7E\xE0\x80\xFC\xFC",
        // The longest a component and a path can be.
        "C:\\" + std::string(255, 'n'),
        "C:\\" + std::string(200, 'a') + "\\" + std::string(55, 'b'),
    };
    for (const std::string& path : good)
        EXPECT_TRUE(IsAbsoluteFilePath(path.c_str())) << path;
}

TEST(SetdownPlan, SplitsTheUninstallCommandLine)
{
    auto split = [](const std::string& line) {
        char buffer[1024];
        const char* args[8];
        int count = SplitCommandLine(line.c_str(), buffer, sizeof(buffer), args, 8);
        return count < 0 ? std::vector<std::string>{"(too long)"} : std::vector<std::string>(args, args + count);
    };
    std::string dir = "C:\\Program Files\\" + HYO;
    EXPECT_EQ(split("\"" + dir + "\\setdown.exe\" \"" + dir + "\\INSTALL.LOG\"  /S"),
              (std::vector<std::string>{dir + "\\setdown.exe", dir + "\\INSTALL.LOG", "/S"}));
    // The trail byte before the closing quote does not escape it; an empty
    // quoted argument stays one.
    EXPECT_EQ(split("a.exe \"C:\\" + HYO + "\" \"\" x"), (std::vector<std::string>{"a.exe", "C:\\" + HYO, "", "x"}));
    EXPECT_EQ(split("a b c d e f g h i"), std::vector<std::string>{"(too long)"});
    char parent[300];
    ASSERT_TRUE(ParentDirectory((dir + "\\INSTALL.LOG").c_str(), parent, sizeof(parent)));
    EXPECT_EQ(parent, dir);
    ASSERT_TRUE(ParentDirectory(("C:\\" + HYO).c_str(), parent, sizeof(parent)));
    EXPECT_STREQ(parent, "C:");
}

}  // namespace
