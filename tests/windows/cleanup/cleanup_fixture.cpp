#include "cleanup_fixture.h"

#include <shlobj.h>

#include <gtest/gtest.h>

const char* const kTestProductKey = "Software\\Velmar\\Orvik";

namespace {

const char kUninstallRoot[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

void ListTree(const std::string& path, std::string& out)
{
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = entry.cFileName;
        if (name == "." || name == "..")
            continue;
        out += path + "\\" + name + "\n";
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            ListTree(path + "\\" + name, out);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
}

// A value's bytes up to the first NUL, whatever its type: the snapshot
// notices any change.
std::string ValueText(HKEY key, const char* name)
{
    char text[1024] = "";
    DWORD size = sizeof text - 1;
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS)
        return "<no value>";
    return text;
}

void ListKeys(HKEY root, const std::string& path, std::string& out)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    out += path + "\n";
    char value[256];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof value;
        if (RegEnumValueA(key, i, value, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        out += path + " = " + value + ":" + ValueText(key, value) + "\n";
    }
    char name[256];
    for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof name) == ERROR_SUCCESS; ++i)
        ListKeys(root, path + "\\" + name, out);
    RegCloseKey(key);
}

}  // namespace

std::string FolderPath(int csidl)
{
    char path[MAX_PATH] = "";
    HRESULT result = SHGetFolderPathA(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, 0, path);
    EXPECT_EQ(result, S_OK) << "folder " << csidl;
    return path;
}

namespace {

bool Windows9xFamily()
{
    return (GetVersion() & 0x80000000u) != 0;
}

}  // namespace

int ProgramsId()
{
    return Windows9xFamily() ? CSIDL_PROGRAMS : CSIDL_COMMON_PROGRAMS;
}

int DesktopId()
{
    return Windows9xFamily() ? CSIDL_DESKTOPDIRECTORY : CSIDL_COMMON_DESKTOPDIRECTORY;
}

int OtherProgramsId()
{
    return Windows9xFamily() ? CSIDL_COMMON_PROGRAMS : CSIDL_PROGRAMS;
}

std::string ProgramFolderName(const char* version)
{
    return std::string("ブレンナビューア for Windows Ver") + version;
}

std::string ProgramFolder(const char* version)
{
    return FolderPath(ProgramsId()) + "\\" + ProgramFolderName(version);
}

std::string VersionKey(const char* version)
{
    return std::string(kTestProductKey) + "\\" + version;
}

std::string UninstallKey(const char* version)
{
    return std::string(kUninstallRoot) + "\\Orvik " + version;
}

std::string PlainDesktopShortcut()
{
    return FolderPath(DesktopId()) + "\\ブレンナビューア for Windows.lnk";
}

std::string VersionDesktopShortcut(const char* version)
{
    return FolderPath(DesktopId()) + "\\" + ProgramFolderName(version) + ".lnk";
}

void MakeDirectory(const std::string& path)
{
    ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS)
        << path << " error " << GetLastError();
}

void MakeFile(const std::string& path, DWORD attributes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path << " error " << GetLastError();
    DWORD written = 0;
    WriteFile(file, "data", 4, &written, nullptr);
    CloseHandle(file);
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), attributes)) << path;
}

void InstallVersion(const char* version)
{
    const std::string target = std::string("C:\\Orvik") + version + "\\ORVIK.exe";
    const std::string folder = ProgramFolder(version);
    MakeDirectory(folder);
    MakeShortcut(folder + "\\ブレンナビューア for Windows.lnk", target);
    MakeShortcut(folder + "\\Readme.lnk", target);
    MakeDirectory(folder + "\\表示ツール");
    MakeShortcut(folder + "\\表示ツール\\Tool.lnk", target);
    MakeFile(folder + "\\表示ツール\\readonly.txt", FILE_ATTRIBUTE_READONLY);
    MakeFile(folder + "\\hidden.ini", FILE_ATTRIBUTE_HIDDEN);
    MakeFile(folder + "\\system.dat", FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY);
    SetString(HKEY_LOCAL_MACHINE, VersionKey(version), "Path", target);
    SetString(HKEY_LOCAL_MACHINE, UninstallKey(version), "DisplayName", ProgramFolderName(version));
    SetString(HKEY_LOCAL_MACHINE, UninstallKey(version), "UninstallString", "setdown.exe");
    MakeShortcut(VersionDesktopShortcut(version), target);
    MakeShortcut(PlainDesktopShortcut(), target);
}

void ExpectVersionPresent(const char* version)
{
    const std::string folder = ProgramFolder(version);
    EXPECT_TRUE(PathExists(folder + "\\ブレンナビューア for Windows.lnk")) << version;
    EXPECT_TRUE(PathExists(folder + "\\Readme.lnk")) << version;
    EXPECT_TRUE(PathExists(folder + "\\表示ツール\\Tool.lnk")) << version;
    EXPECT_TRUE(PathExists(folder + "\\表示ツール\\readonly.txt")) << version;
    EXPECT_TRUE(PathExists(folder + "\\hidden.ini")) << version;
    EXPECT_TRUE(PathExists(folder + "\\system.dat")) << version;
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, VersionKey(version))) << version;
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, UninstallKey(version))) << version;
    EXPECT_TRUE(PathExists(VersionDesktopShortcut(version))) << version;
}

void ExpectVersionGone(const char* version)
{
    EXPECT_FALSE(PathExists(ProgramFolder(version))) << version;
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, VersionKey(version))) << version;
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, UninstallKey(version))) << version;
    EXPECT_FALSE(PathExists(VersionDesktopShortcut(version))) << version;
}

std::string Snapshot()
{
    std::string out;
    // The test prefixes make the user's desktop a plain folder inside them.
    for (int csidl : {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS, CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_DESKTOPDIRECTORY})
        ListTree(FolderPath(csidl), out);
    ListTree("C:\\Orvik5.0", out);
    ListKeys(HKEY_LOCAL_MACHINE, "Software\\Velmar", out);
    ListKeys(HKEY_LOCAL_MACHINE, kUninstallRoot, out);
    ListKeys(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths", out);
    return out;
}
