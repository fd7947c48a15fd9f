// App Paths, uninstall entry and product keys under the real HKEY_LOCAL_MACHINE.
#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "registration/app_registration.h"
#include "installed_names.h"
#include "registration_test_support.h"

namespace {

const char* const kAppPathKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\ORVIK.exe";
const char* const kDestination = "C:\\ブレンナ 表示";
const char* const kExecutable = "C:\\ブレンナ 表示\\ORVIK.exe";
const char* const kCommand = "\"C:\\ブレンナ 表示\\setdown.exe\" \"C:\\ブレンナ 表示\\INSTALL.LOG\"";
const char* const kUserLine = "HKEY_CURRENT_USER\\Software\\Velmar\\Orvik";

class AppRegistrationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kAppPathKey);
        DeleteKeyTree(HKEY_LOCAL_MACHINE, installed::kUninstallKey);
        DeleteKeyTree(HKEY_LOCAL_MACHINE, "Software\\Velmar");
        for (const char* key : {installed::kExtension, installed::kClassKey,
                                installed::kProgId, installed::kVersionProgId})
            DeleteKeyTree(HKEY_CLASSES_ROOT, key);
        DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Velmar");
        CreateDirectoryA(kDestination, nullptr);
        CreateEmptyFile(kExecutable);
    }

    // The three steps as the install procedure runs them.
    std::vector<std::string> RegisterAll(unsigned char associate)
    {
        LogFile file;
        EXPECT_EQ(S_OK, RegisterAppPath(kDestination, kExecutable, file.log()));
        EXPECT_EQ(S_OK, RegisterUninstall(kCommand, file.log()));
        EXPECT_EQ(S_OK, RegisterApplication(kDestination, associate, file.log()));
        return file.Lines();
    }

    void ExpectMachineValues()
    {
        EXPECT_EQ(kExecutable, ReadString(HKEY_LOCAL_MACHINE, kAppPathKey, ""));
        EXPECT_EQ(kDestination, ReadString(HKEY_LOCAL_MACHINE, kAppPathKey, "Path"));
        EXPECT_EQ(2, ValueCount(HKEY_LOCAL_MACHINE, kAppPathKey));
        EXPECT_EQ("ブレンナビューア for Windows Ver6.0",
                  ReadString(HKEY_LOCAL_MACHINE, installed::kUninstallKey, "DisplayName"));
        EXPECT_EQ(kCommand, ReadString(HKEY_LOCAL_MACHINE, installed::kUninstallKey, "UninstallString"));
        EXPECT_EQ(2, ValueCount(HKEY_LOCAL_MACHINE, installed::kUninstallKey));
        EXPECT_EQ(kExecutable, ReadString(HKEY_LOCAL_MACHINE, installed::kProductKey, "AppPath"));
        EXPECT_EQ("ブレンナビューア for Windows", ReadString(HKEY_LOCAL_MACHINE, installed::kProductKey, "AppName"));
        EXPECT_EQ(2, ValueCount(HKEY_LOCAL_MACHINE, installed::kProductKey));
        EXPECT_EQ(kExecutable, ReadString(HKEY_LOCAL_MACHINE, installed::kVersionKey, "AppPath"));
        EXPECT_EQ("ブレンナビューア for Windows", ReadString(HKEY_LOCAL_MACHINE, installed::kVersionKey, "AppName"));
        EXPECT_EQ(kDestination, ReadString(HKEY_LOCAL_MACHINE, installed::kVersionKey, "Path"));
        EXPECT_EQ(3, ValueCount(HKEY_LOCAL_MACHINE, installed::kVersionKey));
        EXPECT_EQ(L"ブレンナビューア for Windows Ver6.0",
                  ReadWideString(HKEY_LOCAL_MACHINE,
                                 L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvik 6.0",
                                 L"DisplayName"));
        // Only entered in the log, never written.
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, installed::kProductKey));
    }
};

const std::vector<std::string> kMachineLines = {
    "[RegKeys]",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\ORVIK.exe",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvik 6.0",
    "HKEY_LOCAL_MACHINE\\Software\\Velmar\\Orvik",
    "HKEY_LOCAL_MACHINE\\Software\\Velmar\\Orvik\\6.0",
};

TEST_F(AppRegistrationTest, WithoutAssociationTheUserLineFollowsTheVersionKey)
{
    std::vector<std::string> expected = kMachineLines;
    expected.push_back(kUserLine);
    EXPECT_EQ(expected, RegisterAll(0));
    ExpectMachineValues();
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, installed::kExtension));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, installed::kVersionProgId));
}

TEST_F(AppRegistrationTest, WithAssociationTheDrawingClassComesBeforeTheUserLine)
{
    const std::vector<std::string> lines = RegisterAll(1);
    ASSERT_EQ(kMachineLines.size() + 27 + 1, lines.size());
    EXPECT_EQ(kMachineLines, std::vector<std::string>(lines.begin(), lines.begin() + kMachineLines.size()));
    EXPECT_EQ("HKEY_CLASSES_ROOT\\.kdw", lines[kMachineLines.size()]);
    EXPECT_EQ("HKEY_CLASSES_ROOT\\Brenna.Drawing.4\\Shell\\Open\\Command", lines[lines.size() - 2]);
    EXPECT_EQ(kUserLine, lines.back());
    ExpectMachineValues();
    EXPECT_EQ(installed::kVersionProgId, ReadString(HKEY_CLASSES_ROOT, installed::kExtension, ""));
    for (const std::string& line : lines) printf("%s\n", line.c_str());
}

TEST_F(AppRegistrationTest, ExistingProductKeyLogsOnlyTheNewVersionKey)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_LOCAL_MACHINE, installed::kProductKey, &key));
    RegCloseKey(key);
    LogFile file;
    ASSERT_EQ(S_OK, RegisterApplication(kDestination, 0, file.log()));
    EXPECT_EQ((std::vector<std::string>{"[RegKeys]", "HKEY_LOCAL_MACHINE\\Software\\Velmar\\Orvik\\6.0", kUserLine}),
              file.Lines());
    EXPECT_EQ(kExecutable, ReadString(HKEY_LOCAL_MACHINE, installed::kProductKey, "AppPath"));
}

TEST_F(AppRegistrationTest, SecondRegistrationLogsOnlyTheUserLine)
{
    RegisterAll(1);
    EXPECT_EQ((std::vector<std::string>{"[RegKeys]", kUserLine}), RegisterAll(1));
    ExpectMachineValues();
}

TEST_F(AppRegistrationTest, FailureEndsTheStepBeforeTheUserLine)
{
    // The version key cannot be created below a volatile product key.
    CreateVolatileKey(HKEY_LOCAL_MACHINE, installed::kProductKey);
    LogFile file;
    EXPECT_EQ((HRESULT)0x800703FDL, RegisterApplication(kDestination, 1, file.log()));
    EXPECT_EQ("", file.Bytes());
    EXPECT_EQ(kExecutable, ReadString(HKEY_LOCAL_MACHINE, installed::kProductKey, "AppPath"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, installed::kVersionKey));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, installed::kExtension));
}

TEST_F(AppRegistrationTest, DrawingServerFailureIsReturnedWithoutTheUserLine)
{
    ASSERT_TRUE(DeleteFileA(kExecutable));  // no short path for a missing server
    LogFile file;
    EXPECT_EQ(E_FAIL, RegisterApplication(kDestination, 1, file.log()));
    EXPECT_EQ(kMachineLines.size() - 2, file.Lines().size());
}

TEST_F(AppRegistrationTest, FailedJoinWritesNothing)
{
    LogFile file;
    EXPECT_EQ(E_FAIL, RegisterApplication(std::string(258, 'a').c_str(), 0, file.log()));
    EXPECT_EQ("", file.Bytes());
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, installed::kProductKey));
}

}  // namespace
