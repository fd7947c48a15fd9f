// The drawing class, its ProgIDs and ".kdw" under the real HKEY_CLASSES_ROOT.
#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "registration/drawing_server.h"
#include "installed_names.h"
#include "registration_test_support.h"

namespace {


using installed::ClassRow;
using installed::kClassRows;

// Install directory with a blank and double-byte names (表 ends in 0x5C).
const char* const kDestination = "C:\\ブレンナ 表示\\Ver 6";
const char* const kServer = "C:\\ブレンナ 表示\\Ver 6\\ORVIK.exe";

struct ServerValues {
    std::string server, icon, open;
};

std::vector<std::string> ExpectedLog()
{
    std::vector<std::string> lines{"[RegKeys]"};
    for (const ClassRow& row : kClassRows) lines.push_back(std::string("HKEY_CLASSES_ROOT\\") + row.key);
    return lines;
}

void ExpectRows(const ServerValues& values)
{
    for (const ClassRow& row : kClassRows) {
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
        for (const char* key :
             {installed::kExtension, installed::kClassKey, installed::kProgId, installed::kVersionProgId})
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
    for (const char* key : installed::kClassParentKeys) {
        EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, key)) << key;
        EXPECT_EQ(0, ValueCount(HKEY_CLASSES_ROOT, key)) << key;
    }
    // The Japanese texts arrive as the right characters.
    EXPECT_EQ(L"ブレンナ 図面",
              ReadWideString(HKEY_CLASSES_ROOT, L"CLSID\\{6A0C4E21-7B3D-4F58-9E12-C84D0B7A35F6}", L""));
    EXPECT_EQ(L"開く(&O),0,2",
              ReadWideString(HKEY_CLASSES_ROOT, L"CLSID\\{6A0C4E21-7B3D-4F58-9E12-C84D0B7A35F6}\\Verb\\0", L""));
    for (const std::string& line : lines) printf("%s\n", line.c_str());
}

TEST_F(DrawingServerTest, SecondRegistrationRewritesValuesAndLogsNothing)
{
    ASSERT_EQ(S_OK, RegisterDrawingServer(kDestination, "ORVIK.exe", ",1", nullptr));
    // Spoil two values; the second registration restores them.
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueA(HKEY_CLASSES_ROOT, installed::kServerKey, REG_SZ, "x", 1));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueA(HKEY_CLASSES_ROOT, installed::kExtension, REG_SZ, "Other.Class", 11));
    LogFile file;
    ASSERT_EQ(S_OK, RegisterDrawingServer(kDestination, "ORVIK.exe", ",1", file.log()));
    EXPECT_EQ("", file.Bytes());
    ExpectRows(ShortServerValues());
}

TEST_F(DrawingServerTest, OnlyMissingKeysAreLogged)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CLASSES_ROOT, "Brenna.Drawing\\CurVer", &key));
    RegCloseKey(key);
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CLASSES_ROOT, installed::kExtension, &key));
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
    for (const char* key :
         {installed::kExtension, installed::kClassKey, installed::kProgId, installed::kVersionProgId})
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, key)) << key;
}

TEST_F(DrawingServerTest, RegistryFailureStopsAtOnceAndKeepsWhatWasLogged)
{
    // Row 3 cannot be created below a volatile key; row 21's key exists so
    // that a write going on past the failure would show as a value there.
    CreateVolatileKey(HKEY_CLASSES_ROOT, installed::kClassKey);
    CreateVolatileKey(HKEY_CLASSES_ROOT, installed::kVersionProgId);
    LogFile file;
    EXPECT_EQ((HRESULT)0x800703FDL, RegisterDrawingServer(kDestination, "ORVIK.exe", ",1", file.log()));
    EXPECT_EQ((std::vector<std::string>{"[RegKeys]", "HKEY_CLASSES_ROOT\\.kdw"}), file.Lines());
    EXPECT_EQ(installed::kVersionProgId, ReadString(HKEY_CLASSES_ROOT, installed::kExtension, ""));
    EXPECT_EQ("ブレンナ 図面", ReadString(HKEY_CLASSES_ROOT, installed::kClassKey, ""));
    EXPECT_EQ(0, ValueCount(HKEY_CLASSES_ROOT, installed::kVersionProgId));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, installed::kProgId));
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
