// The registry writer against the real registry: which keys reach the log.
#include <windows.h>

#include <algorithm>
#include <string>

#include <gtest/gtest.h>

#include "registration/registry_writer.h"
#include "registration_test_support.h"

namespace {

const char* const kScratch = "Software\\OrvikWriterTest";

class RegistryWriterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kScratch);
        DeleteKeyTree(HKEY_CLASSES_ROOT, "OrvikWriterTest");
    }
    void TearDown() override { SetUp(); }
};

TEST_F(RegistryWriterTest, TwoValuesInANewKeyLogTheKeyOnceAtTheFirstValue)
{
    LogFile file;
    const std::string key = std::string(kScratch) + "\\New";
    ASSERT_EQ(S_OK, WriteRegString(HKEY_LOCAL_MACHINE, key.c_str(), "AppPath", "C:\\x\\ORVIK.exe", file.log()));
    ASSERT_EQ(S_OK, WriteRegString(HKEY_LOCAL_MACHINE, key.c_str(), "AppName", "ブレンナ", file.log()));
    ASSERT_EQ(S_OK, WriteRegString(HKEY_CLASSES_ROOT, "OrvikWriterTest\\a\\b", "", "v", file.log()));

    EXPECT_EQ((std::vector<std::string>{"[RegKeys]", "HKEY_LOCAL_MACHINE\\Software\\OrvikWriterTest\\New",
                                        "HKEY_CLASSES_ROOT\\OrvikWriterTest\\a\\b"}),
              file.Lines());
    EXPECT_EQ("C:\\x\\ORVIK.exe", ReadString(HKEY_LOCAL_MACHINE, key.c_str(), "AppPath"));
    EXPECT_EQ("ブレンナ", ReadString(HKEY_LOCAL_MACHINE, key.c_str(), "AppName"));
    EXPECT_EQ("v", ReadString(HKEY_CLASSES_ROOT, "OrvikWriterTest\\a\\b", ""));
    // The parents that the system made on the way are not listed.
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "OrvikWriterTest\\a"));
}

TEST_F(RegistryWriterTest, ExistingKeyGetsItsValueAndNoLine)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_LOCAL_MACHINE, kScratch, &key));
    RegCloseKey(key);
    LogFile file;
    ASSERT_EQ(S_OK, WriteRegString(HKEY_LOCAL_MACHINE, kScratch, "", "default", file.log()));
    ASSERT_EQ(S_OK, WriteRegString(HKEY_LOCAL_MACHINE, kScratch, "", "again", file.log()));
    EXPECT_EQ("", file.Bytes());
    EXPECT_EQ("again", ReadString(HKEY_LOCAL_MACHINE, kScratch, ""));
}

TEST_F(RegistryWriterTest, KeyOnlyWriteCreatesAndLogsTheKeyWithoutValue)
{
    LogFile file;
    const std::string key = std::string(kScratch) + "\\Insertable";
    ASSERT_EQ(S_OK, WriteRegString(HKEY_LOCAL_MACHINE, key.c_str(), "", nullptr, file.log()));
    EXPECT_EQ(0, ValueCount(HKEY_LOCAL_MACHINE, key.c_str()));
    EXPECT_EQ((std::vector<std::string>{"[RegKeys]", "HKEY_LOCAL_MACHINE\\" + key}), file.Lines());
}

TEST_F(RegistryWriterTest, WithoutLogNothingIsRecorded)
{
    const DWORD value = 0x12345678;
    ASSERT_EQ(S_OK, WriteRegValue(HKEY_LOCAL_MACHINE, kScratch, "n", REG_DWORD,
                                  reinterpret_cast<const BYTE*>(&value), sizeof value, nullptr));
    DWORD read = 0, size = sizeof read, type = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegGetValueA(HKEY_LOCAL_MACHINE, kScratch, "n", RRF_RT_ANY, &type, &read, &size));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ(value, read);
}

// A key path of the given length under the scratch key.
std::string KeyPathOfLength(const char* base, size_t length)
{
    std::string path = std::string(base) + "\\";
    while (path.size() < length) {
        size_t piece = std::min<size_t>(100, length - path.size());
        path += std::string(piece, 'k');
        if (path.size() < length) path += "\\";
    }
    return path.substr(0, length);
}

struct LineLengthCase {
    HKEY root;
    const char* rootName;
    const char* base;
    size_t keyLength;
    HRESULT expected;
};

class LineLengthTest : public RegistryWriterTest,
                       public ::testing::WithParamInterface<LineLengthCase> {};

// The log line has 259 bytes of room: a longer one is not cut (it would name
// another key) and fails the write before the key is created.
TEST_P(LineLengthTest, LogLineThatDoesNotFitFailsBeforeTheKeyIsCreated)
{
    const LineLengthCase& c = GetParam();
    const std::string key = KeyPathOfLength(c.base, c.keyLength);
    ASSERT_EQ(c.keyLength, key.size());
    LogFile file;
    EXPECT_EQ(c.expected, WriteRegString(c.root, key.c_str(), "v", "data", file.log()));
    EXPECT_EQ(c.expected == S_OK, KeyExists(c.root, key.c_str()));
    if (c.expected == S_OK) {
        EXPECT_EQ((std::vector<std::string>{"[RegKeys]", c.rootName + key}), file.Lines());
        EXPECT_EQ("data", ReadString(c.root, key.c_str(), "v"));
    } else {
        EXPECT_EQ("", file.Bytes());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Boundaries, LineLengthTest,
    ::testing::Values(
        LineLengthCase{HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE\\", kScratch, 240, S_OK},
        LineLengthCase{HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE\\", kScratch, 241, (HRESULT)0x8007007AL},
        LineLengthCase{HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT\\", "OrvikWriterTest", 241, S_OK},
        LineLengthCase{HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT\\", "OrvikWriterTest", 242, (HRESULT)0x8007007AL},
        // A root the uninstaller does not read has no line at all.
        LineLengthCase{HKEY_USERS, "", ".DEFAULT\\OrvikWriterTest", 40, (HRESULT)0x80070057L}));

TEST_F(RegistryWriterTest, CreateFailureIsReturnedAndNothingLogged)
{
    // The system refuses a lasting key below a volatile one.
    const std::string parent = std::string(kScratch) + "\\Volatile";
    CreateVolatileKey(HKEY_LOCAL_MACHINE, parent.c_str());
    LogFile file;
    const std::string key = parent + "\\Child";
    EXPECT_EQ((HRESULT)0x800703FDL, WriteRegString(HKEY_LOCAL_MACHINE, key.c_str(), "", "x", file.log()));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, key.c_str()));
    EXPECT_EQ("", file.Bytes());
}

// The value of a freshly opened key: the system hands out the lowest free
// handle, so a key left open by the writer moves it.
HKEY ProbeHandle()
{
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, &key));
    RegCloseKey(key);
    return key;
}

TEST_F(RegistryWriterTest, KeysAreClosedOnEveryWayOut)
{
    const std::string volatileKey = std::string(kScratch) + "\\Volatile";
    CreateVolatileKey(HKEY_LOCAL_MACHINE, volatileKey.c_str());
    const std::string longKey = KeyPathOfLength(kScratch, 241);
    LogFile file;
    struct Step {
        const char* what;
        std::string key;
        const char* text;
        HRESULT expected;
    } steps[] = {
        {"new key", std::string(kScratch) + "\\k", "new", S_OK},
        {"existing key", std::string(kScratch) + "\\k", "existing", S_OK},
        {"key only", std::string(kScratch) + "\\k2", nullptr, S_OK},
        {"line too long", longKey, "x", (HRESULT)0x8007007AL},
        {"create refused", volatileKey + "\\c", "x", (HRESULT)0x800703FDL},
    };
    ProbeHandle();
    for (const Step& step : steps) {
        const HKEY before = ProbeHandle();
        EXPECT_EQ(step.expected, WriteRegString(HKEY_LOCAL_MACHINE, step.key.c_str(), "", step.text, file.log()))
            << step.what;
        EXPECT_EQ(before, ProbeHandle()) << step.what;
    }
}

TEST(RegistryPrimitivesTest, DeleteRegKeyGivesWin32Results)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_LOCAL_MACHINE, "Software\\OrvikDeleteTest\\Sub", &key));
    RegCloseKey(key);
    EXPECT_EQ((HRESULT)0x80070005L, DeleteRegKey(HKEY_LOCAL_MACHINE, "Software\\OrvikDeleteTest"));
    EXPECT_EQ(S_OK, DeleteRegKey(HKEY_LOCAL_MACHINE, "Software\\OrvikDeleteTest\\Sub"));
    EXPECT_EQ(S_OK, DeleteRegKey(HKEY_LOCAL_MACHINE, "Software\\OrvikDeleteTest"));
    EXPECT_EQ((HRESULT)0x80070002L, DeleteRegKey(HKEY_LOCAL_MACHINE, "Software\\OrvikDeleteTest"));
}

}  // namespace
