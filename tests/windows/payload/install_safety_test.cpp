// Real installations (InstallProduct with the payload archives linked in)
// whose uninstall must leave alone everything the installation did not make.
#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include "file_helpers.h"
#include "install/install_product.h"
#include "installed_names.h"
#include "payload_test_support.h"
#include "registry_helpers.h"

namespace {

std::string Folder(int csidl)
{
    char path[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, csidl, nullptr, 0, path);
    return path;
}

// Runs the stored uninstall command silently and waits for the self-removal.
DWORD UninstallSilently(const std::string& dir)
{
    Process process =
        StartProgram(ReadString(HKEY_LOCAL_MACHINE, installed::kUninstallKey, "UninstallString") + " /S");
    DWORD code = WaitAndClose(&process);
    for (int i = 0;
         i < 200 && code == 0 && (PathExists(dir + installed::kUninstallerFile) || ProcessRunning("~setdown")); ++i)
        Sleep(100);
    return code;
}

void ExpectProductGone(const std::string& dir)
{
    for (const char* name :
         {installed::kProgramFile, installed::kDataFile, installed::kUninstallerFile, installed::kLogFile})
        EXPECT_FALSE(PathExists(dir + name)) << dir + name;
    EXPECT_FALSE(PathExists(Folder(CSIDL_COMMON_PROGRAMS) + "\\" + installed::kMenuFolder));
    EXPECT_FALSE(PathExists(Folder(CSIDL_COMMON_DESKTOPDIRECTORY) + "\\" + installed::kShortcutFile));
    for (const char* key : {installed::kAppPathKey, installed::kUninstallKey, installed::kVendorKey})
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, key)) << key;
    for (const char* key : {installed::kClassKey, installed::kProgId, installed::kVersionProgId})
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, key)) << key;
}

class InstallSafety : public ::testing::Test {
protected:
    void SetUp() override { CoInitialize(nullptr); }
    void TearDown() override { CoUninitialize(); }
};

// The installation of the link test; run_with_link.sh makes its "sub" a
// host symbolic link to C:\Shared\precious between the two stages.
const char kLinkedInstallation[] = "C:\\Program Files\\LinkOrvik";

// Installations into folders a user without rights may write, whose
// INSTALL.LOG run_with_link.sh replaces by a link: to a file the system
// keeps, and to a directory.
const char kSystemFile[] = "C:\\Shared\\system.ini";
const char kSystemText[] = "[boot]\r\nshell=explorer.exe\r\n";
const char* const kLinkedLogInstallations[] = {"C:\\Apps\\LinkedLog", "C:\\Apps\\LinkedDirLog"};

TEST(InstallSafetyLinkSetup, Prepare)
{
    CoInitialize(nullptr);
    for (const char* dir : kLinkedLogInstallations)
        ASSERT_EQ(InstallProduct(nullptr, dir, 1), S_OK) << dir;
    ASSERT_EQ(InstallProduct(nullptr, kLinkedInstallation, 1), S_OK);
    CoUninitialize();
    for (const char* dir : {"C:\\Shared", "C:\\Shared\\precious", "C:\\Shared\\precious\\deep"})
        ASSERT_TRUE(CreateDirectoryA(dir, nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) << dir;
    ASSERT_TRUE(WriteFileBytes("C:\\Shared\\precious\\x.dll", "the system's"));
    ASSERT_TRUE(WriteFileBytes(kSystemFile, kSystemText));
    ASSERT_TRUE(WriteFileBytes("C:\\Shared\\precious\\deep\\y.txt", "the system's"));
    ASSERT_TRUE(SetFileAttributesA("C:\\Shared\\precious\\x.dll", FILE_ATTRIBUTE_READONLY));
    const std::string dir = kLinkedInstallation;
    std::string log = ReadFileBytes(dir + "\\" + installed::kLogFile);
    log += "[Dirs]\r\n" + dir + "\\sub\r\n" + dir + "\\sub\\deep\r\n[Files]\r\n" + dir + "\\sub\\x.dll\r\n" + dir +
           "\\sub\\deep\\y.txt\r\n";
    ASSERT_TRUE(WriteFileBytes(dir + "\\" + installed::kLogFile, log));
}

// A reinstallation over a log that is a link is refused before anything
// changes, and what the link leads to stays as it was. Wine shows a link to
// a file as the file itself, so there only its contents (no log the
// uninstaller would read) tell; a link to a directory is a reparse point.
TEST_F(InstallSafety, LinkedLogIsRefusedBeforeAnyChange)
{
    const HRESULT expected[] = {kLogNotALog, kLogIsLink};
    for (int i = 0; i < 2; ++i) {
        const std::string dir = kLinkedLogInstallations[i];
        EXPECT_EQ(InstallProduct(nullptr, dir.c_str(), 1), expected[i]) << dir;
        EXPECT_TRUE(PathExists(dir + "\\" + installed::kProgramFile)) << dir;
    }
    EXPECT_EQ(ReadFileBytes(kSystemFile), kSystemText);
    EXPECT_TRUE(PathExists("C:\\Shared\\logdir\\kept.txt"));
    // Nothing was removed: the last installation's entry is still there.
    EXPECT_NE(ReadString(HKEY_LOCAL_MACHINE, installed::kUninstallKey, "UninstallString").find(kLinkedInstallation),
              std::string::npos);
}

// A directory link below the installation directory, listed in the log with
// what lies behind it: nothing behind it is touched, the rest goes.
TEST_F(InstallSafety, LinkBelowTheInstallationIsNotCrossed)
{
    const std::string dir = std::string(kLinkedInstallation) + "\\";
    DWORD link = GetFileAttributesA((dir + "sub").c_str());
    ASSERT_NE(link, INVALID_FILE_ATTRIBUTES) << "no link at " << dir << "sub";
    ASSERT_TRUE(link & FILE_ATTRIBUTE_REPARSE_POINT) << std::hex << link;
    EXPECT_EQ(UninstallSilently(dir), 0u);
    ExpectProductGone(dir);
    EXPECT_EQ(ReadFileBytes("C:\\Shared\\precious\\x.dll"), "the system's");
    EXPECT_EQ(GetFileAttributesA("C:\\Shared\\precious\\x.dll") & FILE_ATTRIBUTE_READONLY,
              static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(ReadFileBytes("C:\\Shared\\precious\\deep\\y.txt"), "the system's");
    // The link is not the installation's: it keeps its directory.
    EXPECT_TRUE(GetFileAttributesA((dir + "sub").c_str()) & FILE_ATTRIBUTE_REPARSE_POINT);
}

// A drive root holds the product beside everything else on the drive, and
// a log edited to name other files there removes none of them.
TEST_F(InstallSafety, DriveRootInstallationLeavesTheRestOfTheDrive)
{
    const std::string dir = "C:\\";
    ASSERT_TRUE(WriteFileBytes("C:\\other.txt", "someone else's"));
    ASSERT_EQ(InstallProduct(nullptr, dir.c_str(), 1), S_OK);
    std::string log = ReadFileBytes(dir + installed::kLogFile);
    ASSERT_NE(log.find("C:\\ORVIK.exe\r\n"), std::string::npos) << log;
    log += "[Files]\r\nC:\\other.txt\r\nC:\\windows\\win.ini\r\n[Dirs]\r\nC:\\windows\\temp\r\n";
    ASSERT_TRUE(WriteFileBytes(dir + installed::kLogFile, log));

    EXPECT_EQ(UninstallSilently(dir), 0u);
    ExpectProductGone(dir);
    for (const char* kept : {"C:\\other.txt", "C:\\windows\\win.ini", "C:\\windows\\temp", "C:\\windows"})
        EXPECT_TRUE(PathExists(kept)) << kept;
    DeleteFileA("C:\\other.txt");
}

// Foreign lines added to a real log: a file elsewhere on C:, keys below
// HKEY_LOCAL_MACHINE\SOFTWARE and HKEY_CLASSES_ROOT\CLSID; and ".kdw" taken
// over by another program after the installation.
TEST_F(InstallSafety, ForeignLinesInARealLogRemoveNoneOfThem)
{
    const std::string dir = "C:\\Program Files\\ブレンナ表\\";
    ASSERT_EQ(InstallProduct(nullptr, "C:\\Program Files\\ブレンナ表", 1), S_OK);
    ASSERT_TRUE(CreateDirectoryA("C:\\Elsewhere", nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    ASSERT_TRUE(WriteFileBytes("C:\\Elsewhere\\keep.txt", "someone else's"));
    const char FOREIGN_CLASS[] = "CLSID\\{11111111-2222-3333-4444-555555555555}";
    SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Elsewhere", "", "x");
    SetString(HKEY_CLASSES_ROOT, FOREIGN_CLASS, "", "x");
    SetString(HKEY_CLASSES_ROOT, installed::kExtension, "", "Other.Document");
    std::string log = ReadFileBytes(dir + installed::kLogFile);
    log += std::string("[Files]\r\nC:\\Elsewhere\\keep.txt\r\n[Dirs]\r\nC:\\Elsewhere\r\n[RegKeys]\r\n") +
           "HKEY_LOCAL_MACHINE\\SOFTWARE\\Elsewhere\r\nHKEY_LOCAL_MACHINE\\SOFTWARE\r\n" +
           "HKEY_CLASSES_ROOT\\CLSID\r\nHKEY_CLASSES_ROOT\\" + FOREIGN_CLASS + "\r\n";
    ASSERT_TRUE(WriteFileBytes(dir + installed::kLogFile, log));

    EXPECT_EQ(UninstallSilently(dir), 0u);
    ExpectProductGone(dir);
    EXPECT_FALSE(PathExists(dir));
    EXPECT_TRUE(PathExists("C:\\Elsewhere\\keep.txt"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Elsewhere"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, FOREIGN_CLASS));
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, installed::kExtension, ""), "Other.Document");
}

// The user's own file in the installation directory keeps the directory
// (and only that); the uninstall still counts as finished.
TEST_F(InstallSafety, UsersOwnFileKeepsTheDirectoryOnly)
{
    const std::string dir = "C:\\Program Files\\自分表\\";
    ASSERT_EQ(InstallProduct(nullptr, "C:\\Program Files\\自分表", 0), S_OK);
    ASSERT_TRUE(WriteFileBytes(dir + "mine.kdw", "the user's drawing"));
    EXPECT_EQ(UninstallSilently(dir), 0u);
    ExpectProductGone(dir);
    EXPECT_EQ(ReadFileBytes(dir + "mine.kdw"), "the user's drawing");
}

// The viewer held open: the run is unfinished and keeps what finishing
// needs; once the viewer is closed, the stored command finishes.
TEST_F(InstallSafety, ViewerInUseKeepsTheEntryUntilTheStoredCommandFinishes)
{
    const std::string dir = "C:\\Program Files\\使用表\\";
    ASSERT_EQ(InstallProduct(nullptr, "C:\\Program Files\\使用表", 1), S_OK);
    HANDLE viewer =
        CreateFileA((dir + installed::kProgramFile).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(viewer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(UninstallSilently(dir), 3u);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, installed::kUninstallKey));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, installed::kAppPathKey));
    for (const char* name : {installed::kUninstallerFile, installed::kLogFile})
        EXPECT_TRUE(PathExists(dir + name)) << name;
    EXPECT_FALSE(PathExists(dir + installed::kDataFile));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, installed::kClassKey));
    CloseHandle(viewer);
    EXPECT_EQ(UninstallSilently(dir), 0u);
    ExpectProductGone(dir);
    EXPECT_FALSE(PathExists(dir));
}

}  // namespace
