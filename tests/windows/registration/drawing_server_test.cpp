// The drawing class, its ProgIDs and ".kdw" under the real HKEY_CLASSES_ROOT.
#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "registration/drawing_server.h"
#include "registration/product_names.h"
#include "registration_test_support.h"

namespace {


// Table order; "" stands for a key without value, "%S", "%I", "%O" for the
// server path, the icon location and the open command.
struct Row {
    const char* key;
    const char* value;
};
const Row kRows[27] = {
    {kDrawingExtension, kDrawingVersionProgId},
    {kDrawingClassKeyPath, "ブレンナ 図面"},
    {ORVIK_DRAWING_CLASS_KEY "\\AuxUserType\\2", "ブレンナ 図面"},
    {ORVIK_DRAWING_CLASS_KEY "\\AuxUserType\\3", "ブレンナ 6.0"},
    {ORVIK_DRAWING_CLASS_KEY "\\DataFormats\\DefaultFile", "ORVDOC"},
    {ORVIK_DRAWING_CLASS_KEY "\\DataFormats\\GetSet", ""},
    {ORVIK_DRAWING_CLASS_KEY "\\DataFormats\\GetSet\\0", "3,1,32,1"},
    {ORVIK_DRAWING_CLASS_KEY "\\DataFormats\\GetSet\\1", "3,4,32,1"},
    {ORVIK_DRAWING_CLASS_KEY "\\DefaultIcon", "%I"},
    {ORVIK_DRAWING_CLASS_KEY "\\InprocHandler", "OLE2.DLL"},
    {ORVIK_DRAWING_CLASS_KEY "\\InprocHandler32", "OLE32.DLL"},
    {ORVIK_DRAWING_CLASS_KEY "\\Insertable", ""},
    {ORVIK_DRAWING_CLASS_KEY "\\LocalServer", "%S"},
    {ORVIK_DRAWING_CLASS_KEY "\\LocalServer32", "%S"},
    {ORVIK_DRAWING_CLASS_KEY "\\MiscStatus", "0"},
    {ORVIK_DRAWING_CLASS_KEY "\\ProgID", kDrawingVersionProgId},
    {ORVIK_DRAWING_CLASS_KEY "\\Verb\\0", "開く(&O),0,2"},
    {kDrawingProgId, "ブレンナ 図面"},
    {ORVIK_DRAWING_PROGID "\\CLSID", kDrawingClassId},
    {ORVIK_DRAWING_PROGID "\\CurVer", kDrawingVersionProgId},
    {kDrawingVersionProgId, "ブレンナ 図面"},
    {ORVIK_DRAWING_VERSION_PROGID "\\CLSID", kDrawingClassId},
    {ORVIK_DRAWING_VERSION_PROGID "\\DefaultIcon", "%I"},
    {ORVIK_DRAWING_VERSION_PROGID "\\Insertable", ""},
    {ORVIK_DRAWING_VERSION_PROGID "\\Protocol\\StdFileEditing\\Server", "%S"},
    {ORVIK_DRAWING_VERSION_PROGID "\\Protocol\\StdFileEditing\\Verb\\0", "開く(&O)"},
    {ORVIK_DRAWING_VERSION_PROGID "\\Shell\\Open\\Command", "%O"},
};

const char* const kIntermediateKeys[] = {
    ORVIK_DRAWING_CLASS_KEY "\\AuxUserType", ORVIK_DRAWING_CLASS_KEY "\\DataFormats", ORVIK_DRAWING_CLASS_KEY "\\Verb",
    ORVIK_DRAWING_VERSION_PROGID "\\Protocol", ORVIK_DRAWING_VERSION_PROGID "\\Protocol\\StdFileEditing",
    ORVIK_DRAWING_VERSION_PROGID "\\Protocol\\StdFileEditing\\Verb", ORVIK_DRAWING_VERSION_PROGID "\\Shell",
    ORVIK_DRAWING_VERSION_PROGID "\\Shell\\Open",
};

// Install directory with a blank and double-byte names (表 ends in 0x5C).
const char* const kDestination = "C:\\ブレンナ 表示\\Ver 6";
const char* const kServer = "C:\\ブレンナ 表示\\Ver 6\\ORVIK.exe";

struct ServerValues {
    std::string server, icon, open;
};

std::vector<std::string> ExpectedLog()
{
    std::vector<std::string> lines{"[RegKeys]"};
    for (const Row& row : kRows) lines.push_back(std::string("HKEY_CLASSES_ROOT\\") + row.key);
    return lines;
}

void ExpectRows(const ServerValues& values)
{
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.key);
        const std::string value = row.value;
        if (value.empty()) {
            EXPECT_EQ(0, ValueCount(HKEY_CLASSES_ROOT, row.key));
            continue;
        }
        const std::string expected = value == "%S"   ? values.server
                                     : value == "%I" ? values.icon
                                     : value == "%O" ? values.open
                                                     : value;
        EXPECT_EQ(expected, ReadString(HKEY_CLASSES_ROOT, row.key, ""));
        EXPECT_EQ(1, ValueCount(HKEY_CLASSES_ROOT, row.key));  // only the default value
    }
}

class DrawingServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* key : {kDrawingExtension, kDrawingClassKeyPath, kDrawingProgId, kDrawingVersionProgId})
            DeleteKeyTree(HKEY_CLASSES_ROOT, key);
        CreateDirectoryA("C:\\ブレンナ 表示", nullptr);
        CreateDirectoryA(kDestination, nullptr);
        CreateEmptyFile(kServer);
    }
};

ServerValues ShortServerValues()
{
    char shortPath[MAX_PATH];
    DWORD length = GetShortPathNameA(kServer, shortPath, sizeof shortPath);
    EXPECT_TRUE(length > 0 && length < sizeof shortPath);
    // The system gives a different, blank-free 8.3 form here.
    EXPECT_STRNE(kServer, shortPath);
    EXPECT_EQ(nullptr, strchr(shortPath, ' ')) << shortPath;
    const std::string path = shortPath;
    return {path, path + ",1", path + " \"%1\""};
}

TEST_F(DrawingServerTest, FullRegistrationWritesAndLogsTheRowsInTableOrder)
{
    LogFile file;
    ASSERT_EQ(S_OK, RegisterDrawingServer(kDestination, "ORVIK.exe", ",1", file.log()));
    const std::vector<std::string> lines = file.Lines();
    EXPECT_EQ(ExpectedLog(), lines);
    ExpectRows(ShortServerValues());
    for (const char* key : kIntermediateKeys) {
        EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, key)) << key;
        EXPECT_EQ(0, ValueCount(HKEY_CLASSES_ROOT, key)) << key;
    }
    // The Japanese texts arrive as the right characters.
    EXPECT_EQ(L"ブレンナ 図面",
              ReadWideString(HKEY_CLASSES_ROOT, L"" ORVIK_DRAWING_CLASS_KEY, L""));
    EXPECT_EQ(L"開く(&O),0,2",
              ReadWideString(HKEY_CLASSES_ROOT, L"" ORVIK_DRAWING_CLASS_KEY "\\Verb\\0", L""));
    for (const std::string& line : lines) printf("%s\n", line.c_str());
}

TEST_F(DrawingServerTest, SecondRegistrationRewritesValuesAndLogsNothing)
{
    ASSERT_EQ(S_OK, RegisterDrawingServer(kDestination, "ORVIK.exe", ",1", nullptr));
    // Spoil two values; the second registration restores them.
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueA(HKEY_CLASSES_ROOT, ORVIK_DRAWING_CLASS_KEY "\\LocalServer32", REG_SZ, "x", 1));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueA(HKEY_CLASSES_ROOT, kDrawingExtension, REG_SZ, "Other.Class", 11));
    LogFile file;
    ASSERT_EQ(S_OK, RegisterDrawingServer(kDestination, "ORVIK.exe", ",1", file.log()));
    EXPECT_EQ("", file.Bytes());
    ExpectRows(ShortServerValues());
}

TEST_F(DrawingServerTest, OnlyMissingKeysAreLogged)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CLASSES_ROOT, ORVIK_DRAWING_PROGID "\\CurVer", &key));
    RegCloseKey(key);
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CLASSES_ROOT, kDrawingExtension, &key));
    RegCloseKey(key);
    LogFile file;
    ASSERT_EQ(S_OK, RegisterDrawingServer(kDestination, "ORVIK.exe", ",1", file.log()));
    std::vector<std::string> expected = ExpectedLog();
    expected.erase(expected.begin() + 20);  // the version-independent ProgID's CurVer
    expected.erase(expected.begin() + 18);  // that ProgID itself: a parent made by the system
    expected.erase(expected.begin() + 1);   // .kdw
    EXPECT_EQ(expected, file.Lines());
}

TEST_F(DrawingServerTest, MissingServerFileGivesEFailAndWritesNothing)
{
    LogFile file;
    EXPECT_EQ(E_FAIL, RegisterDrawingServer(kDestination, "NOTHERE.exe", ",1", file.log()));
    EXPECT_EQ(E_FAIL, RegisterDrawingServer("", "", ",1", file.log()));  // the join fails
    EXPECT_EQ("", file.Bytes());
    for (const char* key : {kDrawingExtension, kDrawingClassKeyPath, kDrawingProgId, kDrawingVersionProgId})
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, key)) << key;
}

TEST_F(DrawingServerTest, RegistryFailureStopsAtOnceAndKeepsWhatWasLogged)
{
    // Row 3 cannot be created below a volatile key; row 21's key exists so
    // that a write going on past the failure would show as a value there.
    CreateVolatileKey(HKEY_CLASSES_ROOT, kDrawingClassKeyPath);
    CreateVolatileKey(HKEY_CLASSES_ROOT, kDrawingVersionProgId);
    LogFile file;
    EXPECT_EQ((HRESULT)0x800703FDL, RegisterDrawingServer(kDestination, "ORVIK.exe", ",1", file.log()));
    EXPECT_EQ((std::vector<std::string>{"[RegKeys]", "HKEY_CLASSES_ROOT\\.kdw"}), file.Lines());
    EXPECT_EQ(kDrawingVersionProgId, ReadString(HKEY_CLASSES_ROOT, kDrawingExtension, ""));
    EXPECT_EQ("ブレンナ 図面", ReadString(HKEY_CLASSES_ROOT, kDrawingClassKeyPath, ""));
    EXPECT_EQ(0, ValueCount(HKEY_CLASSES_ROOT, kDrawingVersionProgId));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kDrawingProgId));
}

// Where the volume keeps no 8.3 names, GetShortPathNameA gives the long path
// back. Wine always makes 8.3 names, so the rows are fed that long path
// directly: every value that carries a path with a blank gets it quoted.
TEST_F(DrawingServerTest, LongPathWithBlankIsQuotedInEveryValueThatCarriesIt)
{
    LogFile file;
    ASSERT_EQ(S_OK, WriteDrawingServerRows(kServer, ",1", file.log()));
    EXPECT_EQ(ExpectedLog(), file.Lines());
    const std::string quoted = std::string("\"") + kServer + "\"";
    ExpectRows({quoted, quoted + ",1", quoted + " \"%1\""});
}

TEST(ComposeServerValueTest, QuotesOnlyAPathWithABlank)
{
    struct Case {
        const char* path;
        const char* suffix;
        const char* expected;
    } cases[] = {
        {"C:\\ORVIK~1\\ORVIK.exe", "", "C:\\ORVIK~1\\ORVIK.exe"},
        {"C:\\ORVIK~1\\ORVIK.exe", ",1", "C:\\ORVIK~1\\ORVIK.exe,1"},
        {"C:\\ORVIK~1\\ORVIK.exe", " \"%1\"", "C:\\ORVIK~1\\ORVIK.exe \"%1\""},
        {"C:\\表示\\ORVIK.exe", " \"%1\"", "C:\\表示\\ORVIK.exe \"%1\""},
        {"C:\\Program Files\\ORVIK.exe", "", "\"C:\\Program Files\\ORVIK.exe\""},
        {"C:\\Program Files\\ORVIK.exe", " \"%1\"", "\"C:\\Program Files\\ORVIK.exe\" \"%1\""},
    };
    for (const Case& c : cases) {
        char value[520];
        EXPECT_EQ(S_OK, ComposeServerValue(value, sizeof value, c.path, c.suffix));
        EXPECT_STREQ(c.expected, value);
    }
    char small[8];
    EXPECT_EQ((HRESULT)0x8007007AL, ComposeServerValue(small, sizeof small, "C:\\a b\\x", ""));
}

}  // namespace
