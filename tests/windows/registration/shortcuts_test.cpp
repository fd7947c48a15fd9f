// The Start-menu folder and the shortcuts, written and read back through the
// real shell-link object.
#include <windows.h>

#include <objidl.h>
#include <shlobj.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "file_helpers.h"
#include "ground/folder_paths.h"
#include "installed_names.h"
#include "registration/shortcuts.h"
#include "registration_test_support.h"

namespace {

const char* const kLinkName = "ブレンナビューア for Windows.lnk";

std::string SystemFolder(int id)
{
    char path[MAX_PATH] = {};
    EXPECT_EQ(S_OK, SHGetFolderPathA(nullptr, id, nullptr, 0, path));
    return path;
}

struct LinkContents {
    std::string target, workingDirectory, arguments, description;
};

LinkContents ReadLink(const std::string& path)
{
    LinkContents contents;
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    EXPECT_EQ(S_OK, CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                     reinterpret_cast<void**>(&link)));
    if (link == nullptr) return contents;
    EXPECT_EQ(S_OK, link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)));
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    EXPECT_EQ(S_OK, file->Load(wide, STGM_READ)) << path;
    char text[MAX_PATH];
    text[0] = '\0';
    link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
    contents.target = text;
    text[0] = '\0';
    link->GetWorkingDirectory(text, MAX_PATH);
    contents.workingDirectory = text;
    text[0] = '\0';
    link->GetArguments(text, MAX_PATH);
    contents.arguments = text;
    text[0] = '\0';
    link->GetDescription(text, MAX_PATH);
    contents.description = text;
    file->Release();
    link->Release();
    return contents;
}

// The folders of the family the prefix reports: per-user on the 9x family,
// all-users on NT; the other family's folders must stay empty.
struct FamilyFolders {
    int programs, desktop, otherPrograms, otherDesktop;
};

FamilyFolders Folders()
{
    if (GetVersion() & 0x80000000u)
        return {CSIDL_PROGRAMS, CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_PROGRAMS, CSIDL_COMMON_DESKTOPDIRECTORY};
    return {CSIDL_COMMON_PROGRAMS, CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_PROGRAMS, CSIDL_DESKTOPDIRECTORY};
}

class ShortcutsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        programs_ = SystemFolder(Folders().programs);
        desktop_ = SystemFolder(Folders().desktop);
        folder_ = programs_ + "\\" + installed::kMenuFolder;
        startLink_ = folder_ + "\\" + kLinkName;
        desktopLink_ = desktop_ + "\\" + kLinkName;
        DeleteFileA(startLink_.c_str());
        RemoveDirectoryA(startLink_.c_str());
        RemoveDirectoryA(folder_.c_str());
        DeleteFileA(desktopLink_.c_str());
        RemoveDirectoryA(desktopLink_.c_str());
        ASSERT_FALSE(PathExists(folder_));
        ASSERT_FALSE(PathExists(desktopLink_));
        CreateDirectoryA("C:\\ブレンナ 表示", nullptr);
        CreateEmptyFile("C:\\ブレンナ 表示\\ORVIK.exe");
    }
    void TearDown() override { CoUninitialize(); }

    std::string programs_, desktop_, folder_, startLink_, desktopLink_;
};

TEST_F(ShortcutsTest, FolderAndBothShortcutsAreCreatedAndLoggedInOrder)
{
    LogFile file;
    ASSERT_EQ(S_OK, CreateShortcuts(nullptr, "C:\\ブレンナ 表示\\", file.log()));
    EXPECT_EQ((std::vector<std::string>{"[Dirs]", folder_, "[Files]", startLink_, desktopLink_}), file.Lines());
    EXPECT_FALSE(PathExists(SystemFolder(Folders().otherPrograms) + "\\" + installed::kMenuFolder));
    EXPECT_FALSE(PathExists(SystemFolder(Folders().otherDesktop) + "\\" + kLinkName));
    for (const std::string& link : {startLink_, desktopLink_}) {
        SCOPED_TRACE(link);
        const LinkContents contents = ReadLink(link);
        EXPECT_EQ("C:\\ブレンナ 表示\\ORVIK.exe", contents.target);
        EXPECT_EQ("C:\\ブレンナ 表示", contents.workingDirectory);
        EXPECT_EQ("", contents.arguments);
        EXPECT_EQ("", contents.description);
    }
}

TEST_F(ShortcutsTest, JapaneseFolderNameIsRealOnDiskAndCodePage932InTheLog)
{
    LogFile file;
    ASSERT_EQ(S_OK, CreateShortcuts(nullptr, "C:\\ブレンナ 表示", file.log()));

    WCHAR programs[MAX_PATH];
    ASSERT_EQ(S_OK, SHGetFolderPathW(nullptr, Folders().programs, nullptr, 0, programs));
    const std::wstring folder = std::wstring(programs) + L"\\ブレンナビューア for Windows Ver6.0";
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, attributes);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES,
              GetFileAttributesW((folder + L"\\ブレンナビューア for Windows.lnk").c_str()));

    // ブレンナビューア in Shift_JIS, as the uninstaller reads it.
    const std::string sjis = "\x83\x75\x83\x8C\x83\x93\x83\x69\x83\x72\x83\x85\x81\x5B\x83\x41";
    const std::vector<std::string> lines = file.Lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(programs_ + "\\" + sjis + " for Windows Ver6.0", lines[1]);
}

TEST_F(ShortcutsTest, ExistingFolderGivesNoDirsLine)
{
    ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr));
    LogFile file;
    ASSERT_EQ(S_OK, CreateShortcuts(nullptr, "C:\\ブレンナ 表示", file.log()));
    EXPECT_EQ((std::vector<std::string>{"[Files]", startLink_, desktopLink_}), file.Lines());
}

TEST_F(ShortcutsTest, WorkingDirectoryLosesOneTrailingBackslashButARootKeepsIt)
{
    CreateDirectoryA("C:\\Orvik", nullptr);
    CreateEmptyFile("C:\\Orvik\\ORVIK.exe");
    CreateEmptyFile("C:\\ORVIK.exe");
    struct Case {
        const char* destination;
        const char* target;
        const char* workingDirectory;
    } cases[] = {
        {"C:\\Orvik\\", "C:\\Orvik\\ORVIK.exe", "C:\\Orvik"},
        {"C:\\Orvik", "C:\\Orvik\\ORVIK.exe", "C:\\Orvik"},
        {"C:\\", "C:\\ORVIK.exe", "C:\\"},
        {"C:\\表\\", "C:\\表\\ORVIK.exe", "C:\\表"},  // trail byte 0x5C is no separator
    };
    CreateDirectoryA("C:\\表", nullptr);
    CreateEmptyFile("C:\\表\\ORVIK.exe");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.destination);
        ASSERT_EQ(S_OK, CreateShortcuts(nullptr, c.destination, nullptr));
        const LinkContents contents = ReadLink(desktopLink_);
        EXPECT_EQ(c.target, contents.target);
        EXPECT_EQ(c.workingDirectory, contents.workingDirectory);
    }
}

TEST_F(ShortcutsTest, FailedDesktopShortcutLeavesTheStartMenuShortcutLogged)
{
    // A directory in the way of the desktop shortcut file.
    ASSERT_TRUE(CreateDirectoryA(desktopLink_.c_str(), nullptr));
    LogFile file;
    EXPECT_NE(S_OK, CreateShortcuts(nullptr, "C:\\ブレンナ 表示", file.log()));
    EXPECT_EQ((std::vector<std::string>{"[Dirs]", folder_, "[Files]", startLink_}), file.Lines());
    EXPECT_TRUE(PathExists(startLink_));
}

TEST_F(ShortcutsTest, UnsavedShortcutIsNotLogged)
{
    LogFile file;
    EXPECT_NE(S_OK, CreateShortcut("C:\\ブレンナ 表示", "ORVIK.exe", "C:\\no such dir", "x.lnk",
                                   "C:\\ブレンナ 表示", file.log()));
    EXPECT_FALSE(PathExists("C:\\no such dir\\x.lnk"));
    EXPECT_EQ("", file.Bytes());
}

TEST_F(ShortcutsTest, MissingSpecialFolderIsNotCreatedAndEndsTheStep)
{
    // The lookup passes no creation flag.
    const std::string moved = desktop_ + ".away";
    ASSERT_TRUE(MoveFileA(desktop_.c_str(), moved.c_str()));
    LogFile file;
    const HRESULT result = CreateShortcuts(nullptr, "C:\\ブレンナ 表示", file.log());
    const bool recreated = PathExists(desktop_);
    ASSERT_TRUE(MoveFileA(moved.c_str(), desktop_.c_str()) || !recreated);
    EXPECT_NE(S_OK, result);
    EXPECT_FALSE(recreated);
    EXPECT_FALSE(PathExists(folder_));
    EXPECT_EQ("", file.Bytes());
}

TEST(SpecialFoldersTest, FunctionIsLoadedOnceAndKept)
{
    FolderPathFunction first = LoadFolderPathFunction();
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(first, LoadFolderPathFunction());
    EXPECT_NE(nullptr, GetModuleHandleA("SHFolder.dll"));
    // The win9x runs' prefixes report Windows 98 (top bit of GetVersion set).
    const char* version = getenv("ORVIK_WINE_VERSION");
    const bool nine = version && strcmp(version, "win98") == 0;
    ASSERT_EQ(nine, (GetVersion() & 0x80000000u) != 0) << std::hex << GetVersion();
    EXPECT_EQ(nine, IsWindows9xFamily());
    EXPECT_EQ(Folders().programs, ProgramsFolderId());
    EXPECT_EQ(Folders().desktop, DesktopFolderId());
}

TEST(SpecialFoldersTest, GetFolderPathPassesTheSystemResultOn)
{
    char path[MAX_PATH] = "left over";
    ASSERT_EQ(S_OK, GetFolderPath(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, 0, path));
    EXPECT_EQ(SystemFolder(CSIDL_COMMON_PROGRAMS), path);
    strcpy(path, "left over");
    const HRESULT result = GetFolderPath(nullptr, 0x7F, nullptr, 0, path);  // no such folder
    char expected[MAX_PATH];
    EXPECT_EQ(SHGetFolderPathA(nullptr, 0x7F, nullptr, 0, expected), result);
    EXPECT_NE(S_OK, result);
    EXPECT_STREQ("", path);
}

}  // namespace
