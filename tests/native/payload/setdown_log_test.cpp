// The uninstaller's reading of INSTALL.LOG and its removal plan.
#include <gtest/gtest.h>

#include "removal_plan.h"
#include "uninstall_log.h"

namespace {

// 表 is 95 5C in code page 932: its trail byte is a backslash.
const std::string HYO = "\x95\x5C";

TEST(SetdownLog, ReadsSectionsInOrderAcrossRepeats)
{
    std::string log =
        "[Files]\r\nC:\\Orvik\\ORVIK.exe\r\nC:\\Orvik\\ORVIK.DAT\r\n"
        "[Dirs]\r\nC:\\Menu\\" + HYO + "\r\n"
        "[Files]\r\nC:\\Menu\\" + HYO + "\\a.lnk\r\n"
        "[RegKeys]\r\nHKEY_LOCAL_MACHINE\\Software\\Velmar\\Orvik\r\n"
        "HKEY_CLASSES_ROOT\\.kdw\r\nHKEY_CURRENT_USER\\Software\\Velmar\\Orvik\r\n"
        "\r\n";
    InstallLogContents contents;
    LogError error;
    ASSERT_TRUE(ParseInstallLog(log, &contents, &error)) << error.line;
    EXPECT_EQ(contents.files, (std::vector<std::string>{"C:\\Orvik\\ORVIK.exe", "C:\\Orvik\\ORVIK.DAT",
                                                        "C:\\Menu\\" + HYO + "\\a.lnk"}));
    EXPECT_EQ(contents.dirs, std::vector<std::string>{"C:\\Menu\\" + HYO});
    ASSERT_EQ(contents.keys.size(), 3u);
    EXPECT_EQ(contents.keys[0].root, RegRoot::LocalMachine);
    EXPECT_EQ(contents.keys[0].path, "Software\\Velmar\\Orvik");
    EXPECT_EQ(contents.keys[1].root, RegRoot::ClassesRoot);
    EXPECT_EQ(contents.keys[2].root, RegRoot::CurrentUser);

    // Empty file and LF-only line ends are fine too.
    EXPECT_TRUE(ParseInstallLog("", &contents, &error));
    EXPECT_TRUE(ParseInstallLog("[Dirs]\nC:\\a\n", &contents, &error));
    EXPECT_EQ(contents.dirs, std::vector<std::string>{"C:\\a"});
}

TEST(SetdownLog, RejectsEveryKindOfBadLine)
{
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
        InstallLogContents contents;
        LogError error;
        EXPECT_FALSE(ParseInstallLog(c.log, &contents, &error)) << c.log.substr(0, 60);
        EXPECT_EQ(error.problem, c.problem) << c.log.substr(0, 60);
        EXPECT_EQ(error.line, c.line) << c.log.substr(0, 60);
    }
}

TEST(SetdownLog, AcceptsJapaneseAndUncPaths)
{
    const std::string good[] = {
        "C:\\" + HYO,
        "c:\\Program Files\\" + HYO + "\\ORVIK.exe",
        "\\\\server\\share\\dir",
        // A trail byte that looks like a forbidden character is data.
        "C:\\\x83\x7C",
    };
    for (const std::string& path : good)
        EXPECT_TRUE(IsAbsoluteFilePath(path.c_str())) << path;
}

TEST(SetdownPlan, SplitsTheUninstallCommandLine)
{
    std::string dir = "C:\\Program Files\\" + HYO;
    std::string line = "\"" + dir + "\\setdown.exe\" \"" + dir + "\\INSTALL.LOG\"  /S";
    EXPECT_EQ(SplitCommandLine(line.c_str()),
              (std::vector<std::string>{dir + "\\setdown.exe", dir + "\\INSTALL.LOG", "/S"}));
    // The trail byte before the closing quote does not escape it.
    std::string tricky = "a.exe \"C:\\" + HYO + "\" x";
    EXPECT_EQ(SplitCommandLine(tricky.c_str()), (std::vector<std::string>{"a.exe", "C:\\" + HYO, "x"}));
    EXPECT_EQ(ParentDirectory(dir + "\\INSTALL.LOG"), dir);
    EXPECT_EQ(ParentDirectory("C:\\" + HYO), "C:");
}

}  // namespace
