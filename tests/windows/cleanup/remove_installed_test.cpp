// Earlier installations present: exactly their Start-menu folder, version
// key, uninstall entry and desktop shortcuts go; everything else stays.
#include <shlobj.h>

#include <cstdio>
#include <sstream>

#include <gtest/gtest.h>

#include "cleanup_fixture.h"
#include "installlog/install_log.h"
#include "registration/app_registration.h"
#include "registration/remove_earlier.h"
#include "registration/shortcuts.h"

namespace {

// The line names path itself, something beneath it, or one of its values.
bool IsAtOrBelow(const std::string& line, const std::string& path)
{
    if (line.compare(0, path.size(), path) != 0)
        return false;
    const std::string rest = line.substr(path.size());
    return rest.empty() || rest[0] == '\\' || rest.compare(0, 3, " = ") == 0;
}

// The snapshot lines that must survive: all but those of the removed pieces.
std::string WithoutVersion(const std::string& snapshot, const char* version)
{
    std::istringstream lines(snapshot);
    std::string kept;
    for (std::string line; std::getline(lines, line);) {
        if (IsAtOrBelow(line, ProgramFolder(version)) || IsAtOrBelow(line, VersionKey(version)) ||
            IsAtOrBelow(line, UninstallKey(version)) || line == VersionDesktopShortcut(version) ||
            line == PlainDesktopShortcut())
            continue;
        kept += line + "\n";
    }
    return kept;
}

}  // namespace

TEST(RemoveInstalled, Version50IsRemovedAndNothingElse)
{
    InstallVersion("5.0");
    SetString(HKEY_LOCAL_MACHINE, kTestProductKey, "AppName", "ブレンナビューア for Windows");
    SetString(HKEY_LOCAL_MACHINE, kTestProductKey, "AppPath", "C:\\Orvik5.0\\ORVIK.exe");
    // The earlier program directory, the other family's Start-menu folder
    // and a neighbour folder.
    MakeDirectory("C:\\Orvik5.0");
    MakeFile("C:\\Orvik5.0\\ORVIK.exe");
    MakeFile("C:\\Orvik5.0\\ORVIK.dat", FILE_ATTRIBUTE_READONLY);
    const std::string userFolder = FolderPath(OtherProgramsId()) + "\\" + ProgramFolderName("5.0");
    MakeDirectory(userFolder);
    MakeShortcut(userFolder + "\\ブレンナビューア for Windows.lnk", "C:\\Orvik5.0\\ORVIK.exe");
    MakeDirectory(ProgramFolder("5.0") + " Tools");
    ExpectVersionPresent("5.0");
    const std::string before = Snapshot();

    EXPECT_EQ(RemoveEarlierVersions(nullptr, kTestProductKey), S_OK);

    ExpectVersionGone("5.0");
    EXPECT_FALSE(PathExists(PlainDesktopShortcut()));
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kTestProductKey, "AppPath"), "C:\\Orvik5.0\\ORVIK.exe");
    EXPECT_TRUE(PathExists(userFolder + "\\ブレンナビューア for Windows.lnk"));
    EXPECT_TRUE(PathExists("C:\\Orvik5.0\\ORVIK.dat"));
    EXPECT_EQ(Snapshot(), WithoutVersion(before, "5.0"));
}

TEST(RemoveInstalled, ReinstallOf60RemovesWhatThe60InstallWrote)
{
    // Register 6.0 the way the install does.
    CoInitialize(nullptr);
    const char destination[] = "C:\\Program Files\\Orvik";
    MakeDirectory(destination);
    FILE* stream = std::fopen("C:\\install-6.0.log", "w");
    ASSERT_NE(stream, nullptr);
    InstallLog log(stream);
    ASSERT_EQ(CreateShortcuts(nullptr, destination, &log), S_OK);
    ASSERT_EQ(RegisterAppPath(destination, "C:\\Program Files\\Orvik\\ORVIK.exe", &log), S_OK);
    ASSERT_EQ(RegisterUninstall("\"setdown.exe\" \"INSTALL.LOG\"", &log), S_OK);
    ASSERT_EQ(RegisterApplication(destination, 0, &log), S_OK);
    std::fclose(stream);
    MakeShortcut(VersionDesktopShortcut("6.0"), "C:\\Program Files\\Orvik\\ORVIK.exe");
    ASSERT_TRUE(PathExists(ProgramFolder("6.0") + "\\ブレンナビューア for Windows.lnk"));
    ASSERT_TRUE(PathExists(PlainDesktopShortcut()));
    ASSERT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, VersionKey("6.0")));
    ASSERT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, UninstallKey("6.0")));
    const std::string before = Snapshot();

    EXPECT_EQ(RemoveEarlierVersions(nullptr, kTestProductKey), S_OK);

    ExpectVersionGone("6.0");
    EXPECT_FALSE(PathExists(PlainDesktopShortcut()));
    // The product key's values and the App Paths entry are the new install's
    // to overwrite; the removal leaves them.
    EXPECT_EQ(Snapshot(), WithoutVersion(before, "6.0"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE,
                              "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\ORVIK.exe"));
}
