// The reading of INSTALL.LOG by the uninstaller and by the setup's merge of
// an earlier log, and the uninstaller's command line.
#include <chrono>
#include <random>

#include <gtest/gtest.h>

#include "installlog/log_merge.h"
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
        // The setup's check of an earlier log refuses the same.
        std::vector<char> bytes(c.log.begin(), c.log.end());
        EXPECT_EQ(CheckInstallLog(bytes.data(), bytes.size()), c.problem) << c.log.substr(0, 60);
    }
}

// The earlier log as the setup merges it, with what is still there given by
// name (keys as the reader names them).
bool NamedStillThere(void* context, const LogLine& entry)
{
    const auto& there = *static_cast<const std::set<std::string>*>(context);
    char name[600];
    if (entry.section == LogSection::RegKeys)
        return FormatKeyName(entry.key, name, sizeof(name)) && there.count(name) > 0;
    return there.count(entry.text) > 0;
}

std::string Taken(LogText* text)
{
    std::string bytes = text->bytes != nullptr ? std::string(text->bytes, text->size) : std::string();
    FreeLogText(text);
    return bytes;
}

// The setup's check of an earlier log also names the file a run stopped
// dead may have left half-written: the last entry, when it is a file.
TEST(EarlierLog, NamesTheLastEntryWhenItIsAFile)
{
    const struct {
        std::string log;
        std::string lastFile;  // empty: none
    } cases[] = {
        {"[Dirs]\r\nC:\\a\r\n[Files]\r\nC:\\a\\1\r\nC:\\a\\" + HYO + "\r\n", "C:\\a\\" + HYO},
        {"[Files]\r\nC:\\a\\1\r\n[Files]\r\n", "C:\\a\\1"},
        {"[Files]\r\nC:\\a\\1\r\nC:\\a\\2", "C:\\a\\1"},  // its line cut: not yet made
        {"[Files]\r\nC:\\a\\1\r\nC:\\a\\2\r\n[RegKeys]\r\nHKEY_CLASSES_ROOT\\.kdw\r\n", ""},
        {"[Files]\r\nC:\\a\\1\r\n[Dirs]\r\nC:\\a\\d\r\n", ""},
        {"[Files]\r\nC:\\a\\1\r\nORVIK.exe\r\n", ""},  // no log of ours at all
        {"", ""},
    };
    for (const auto& c : cases) {
        std::vector<char> bytes(c.log.begin(), c.log.end());
        const char* lastFile = "unset";
        CheckInstallLog(bytes.data(), bytes.size(), &lastFile);
        EXPECT_EQ(lastFile != nullptr ? lastFile : "", c.lastFile) << c.log;
    }
}

TEST(EarlierLog, KeepsTheEntriesStillThereUnderTheirSections)
{
    const std::string files = "[Files]\r\nC:\\O\\a.exe\r\nC:\\O\\gone.dat\r\n";
    const std::string menu = "[Dirs]\r\nC:\\M\r\n[Files]\r\nC:\\M\\x.lnk\r\n";
    const std::string keys = "[RegKeys]\r\nHKEY_LOCAL_MACHINE\\Software\\V\r\nhkey_classes_root\\.kdw\r\n";
    struct Case {
        std::string earlier;
        std::set<std::string> there;
        std::string kept;
        LogProblem problem;
    } cases[] = {
        // A section line only before an entry kept under it; repeated
        // sections stay apart; keys are probed by their name.
        {files + menu + keys, {"C:\\O\\a.exe", "C:\\M\\x.lnk", "HKEY_CLASSES_ROOT\\.kdw"},
         "[Files]\r\nC:\\O\\a.exe\r\n[Files]\r\nC:\\M\\x.lnk\r\n[RegKeys]\r\nhkey_classes_root\\.kdw\r\n",
         LogProblem::None},
        {files + menu + keys, {}, "", LogProblem::None},
        {"", {"C:\\O"}, "", LogProblem::None},
        // Every line ends in CR LF; no empty line, no half-written last line.
        {"[Dirs]\nC:\\O\n\nC:\\O\\sub\n[Files]\nC:\\O\\half", {"C:\\O", "C:\\O\\sub", "C:\\O\\half"},
         "[Dirs]\r\nC:\\O\r\nC:\\O\\sub\r\n", LogProblem::None},
        // What the uninstaller would refuse is never merged.
        {files + "[Shortcuts]\r\nC:\\O\\a.lnk\r\n", {"C:\\O\\a.exe"}, "", LogProblem::UnknownSection},
        {"C:\\O\\a.exe\r\n", {"C:\\O\\a.exe"}, "", LogProblem::EntryBeforeSection},
        {"[Files]\r\nC:\\O\\" + std::string(300, 'n') + "\r\n", {}, "", LogProblem::TooLong},
        {"[RegKeys]\r\nHKEY_USERS\\.DEFAULT\r\n", {}, "", LogProblem::UnknownRootKey},
    };
    for (const Case& c : cases) {
        std::vector<char> bytes(c.earlier.begin(), c.earlier.end());
        ItemProbe probe;
        probe.context = const_cast<std::set<std::string>*>(&c.there);
        probe.stillThere = NamedStillThere;
        LogText kept;
        EXPECT_EQ(KeepExistingEntries(bytes.data(), bytes.size(), probe, &kept), c.problem) << c.earlier;
        const std::string text = Taken(&kept);
        if (c.problem == LogProblem::None) {
            EXPECT_EQ(text, c.kept) << c.earlier;
        }
    }
}

std::string Dropped(const std::string& earlier, const std::string& fresh, LogProblem* problem = nullptr)
{
    std::vector<char> bytes(earlier.begin(), earlier.end());
    bytes.insert(bytes.end(), fresh.begin(), fresh.end());
    LogText merged;
    const LogProblem found = DropRelistedEntries(bytes.data(), earlier.size(), bytes.size(), &merged);
    if (problem != nullptr)
        *problem = found;
    return Taken(&merged);
}

TEST(EarlierLog, AfterACompleteRunKeepsOnlyFilesAndDirectoriesNotListedAgain)
{
    const std::string fresh = "[Files]\r\nC:\\O\\a.exe\r\n[RegKeys]\r\nHKEY_LOCAL_MACHINE\\Software\\V\r\n";
    struct Case {
        std::string earlier;
        std::string fresh;
        std::string merged;
    } cases[] = {
        // A plain reinstallation: nothing but the new lines.
        {fresh, fresh, fresh},
        // Found in place, so not listed again: still the installation's.
        // Keys are the run's to list.
        {"[Files]\r\nC:\\O\\kept.dat\r\nC:\\O\\a.exe\r\n[Dirs]\r\nC:\\O\\sub\r\n[RegKeys]\r\nHKEY_CLASSES_ROOT\\.kdw\r\n",
         fresh, "[Files]\r\nC:\\O\\kept.dat\r\n[Dirs]\r\nC:\\O\\sub\r\n" + fresh},
        // The run's lines follow as they are, a half-written last one too,
        // which lists nothing.
        {"[Files]\r\nC:\\O\\a.exe\r\nC:\\O\\b\r\n", "[Files]\nC:\\O\\a.exe\nC:\\O\\b",
         "[Files]\r\nC:\\O\\b\r\n[Files]\nC:\\O\\a.exe\nC:\\O\\b"},
        {"[Dirs]\r\nC:\\O\r\n", "", "[Dirs]\r\nC:\\O\r\n"},
    };
    for (const Case& c : cases) {
        LogProblem problem;
        EXPECT_EQ(Dropped(c.earlier, c.fresh, &problem), c.merged) << c.earlier << "|" << c.fresh;
        EXPECT_EQ(problem, LogProblem::None);
    }

    // Many lines: each earlier one is looked up, not compared with every
    // new one.
    std::string earlier = "[Files]\r\n", again = "[Files]\r\n", left = "[Files]\r\n";
    for (int i = 0; i < 200000; ++i) {
        const std::string line = "C:\\O\\" + std::to_string(i) + ".dat\r\n";
        earlier += line;
        (i % 1000 == 0 ? left : again) += line;
    }
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Dropped(earlier, again), left + again);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
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

// Whatever the earlier log and the run hold, the merged log is one the
// uninstaller reads, and lists what was still there and was not listed again
// in front of the run's own entries.
TEST(EarlierLog, RandomMergesStayReadableAndLoseNothing)
{
    const unsigned seed = std::random_device()();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    const std::vector<std::string> entries[] = {
        {"C:\\O\\ORVIK.exe", "C:\\O\\" + HYO + ".dat", "c:\\o\\orvik.exe", "C:\\M\\a.lnk", "\\\\s\\h\\x"},
        {"C:\\O\\sub", "C:\\M", "C:\\M\\" + HYO},
        {"HKEY_LOCAL_MACHINE\\Software\\V", "hkey_classes_root\\.kdw", "HKEY_CURRENT_USER\\Software\\V"}};
    const char* headers[] = {"[Files]", "[Dirs]", "[RegKeys]"};
    auto listOf = [](ParsedLog& log, int kind) {
        if (kind < 2)
            return Strings(kind == 0 ? log.contents.files : log.contents.dirs);
        std::vector<std::string> keys;
        char name[600];
        for (size_t i = 0; i < log.contents.keys.count; ++i) {
            FormatKeyName(log.contents.keys.items[i], name, sizeof(name));
            keys.push_back(name);
        }
        return keys;
    };
    for (int round = 0; round < 300; ++round) {
        std::string earlier, fresh;
        std::set<std::string> there, relisted;
        for (const auto& kind : entries) {
            for (const std::string& entry : kind) {
                if (random() % 2)
                    there.insert(entry);
            }
        }
        // Earlier: any line ends, empty lines, a half-written last line.
        for (int section = random() % 6; section > 0; --section) {
            const int kind = random() % 3;
            earlier += std::string(headers[kind]) + (random() % 2 ? "\r\n" : "\n");
            for (int line = random() % 5; line > 0; --line)
                earlier += entries[kind][random() % entries[kind].size()] + (random() % 4 ? "\r\n" : "\n\n");
        }
        if (random() % 4 == 0)
            earlier += "C:\\O\\hal";
        // The run's lines, as the writer puts them.
        int previous = -1;
        for (int line = random() % 8; line > 0; --line) {
            const int kind = random() % 3;
            const std::string entry = entries[kind][random() % entries[kind].size()];
            if (kind != previous)
                fresh += std::string(headers[kind]) + "\r\n";
            previous = kind;
            fresh += entry + "\r\n";
            relisted.insert(entry);
        }

        ItemProbe probe;
        probe.context = &there;
        probe.stillThere = [](void* context, const LogLine& entry) {
            return static_cast<std::set<std::string>*>(context)->count(entry.text) > 0;
        };
        std::vector<char> bytes(earlier.begin(), earlier.end());
        LogText kept;
        ASSERT_EQ(KeepExistingEntries(bytes.data(), bytes.size(), probe, &kept), LogProblem::None) << earlier;
        const std::string keptText = Taken(&kept);
        LogProblem problem;
        const std::string merged = Dropped(keptText, fresh, &problem);
        ASSERT_EQ(problem, LogProblem::None) << keptText;

        auto before = Parse(earlier), after = Parse(merged), run = Parse(fresh);
        ASSERT_TRUE(before->ok && run->ok);
        ASSERT_TRUE(after->ok) << merged;
        for (int kind = 0; kind < 3; ++kind) {
            std::vector<std::string> expected;
            // Keys are the run's alone.
            for (const std::string& entry : listOf(*before, kind)) {
                if (kind < 2 && there.count(entry) && !relisted.count(entry))
                    expected.push_back(entry);
            }
            for (const std::string& entry : listOf(*run, kind))
                expected.push_back(entry);
            EXPECT_EQ(listOf(*after, kind), expected) << earlier << "|" << fresh;
        }
    }
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
