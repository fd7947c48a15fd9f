#include "installed_check.h"

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

#include <cstring>

#include "file_helpers.h"
#include "installed_names.h"
#include "registry_helpers.h"

namespace {

bool NineXFamily()
{
    return (GetVersion() & 0x80000000u) != 0;
}

std::string SpecialFolderPath(int csidl)
{
    char path[MAX_PATH] = "";
    EXPECT_EQ(SHGetFolderPathA(nullptr, csidl, nullptr, 0, path), S_OK) << "folder " << csidl;
    return path;
}

std::string ShortPath(const std::string& path)
{
    char buffer[MAX_PATH] = "";
    GetShortPathNameA(path.c_str(), buffer, sizeof buffer);
    return buffer;
}

// Without one trailing separator, stepping by characters: 表 ends in the
// byte of "\".
std::string WithoutTrailingSeparator(const std::string& path)
{
    if (path.size() <= 3)
        return path;
    const char* end = path.c_str() + path.size();
    const char* last = CharPrevA(path.c_str(), end);
    return last + 1 == end && *last == '\\' ? path.substr(0, path.size() - 1) : path;
}

// Reading the shortcuts needs COM on this thread, whatever the caller did.
class ComForThisCall {
public:
    ComForThisCall() : initialised_(SUCCEEDED(CoInitialize(nullptr))) {}
    ~ComForThisCall()
    {
        if (initialised_)
            CoUninitialize();
    }

private:
    bool initialised_;
};

}  // namespace

std::string ProgramsFolder(bool other)
{
    return SpecialFolderPath(NineXFamily() != other ? CSIDL_PROGRAMS : CSIDL_COMMON_PROGRAMS);
}

std::string DesktopFolder(bool other)
{
    return SpecialFolderPath(NineXFamily() != other ? CSIDL_DESKTOPDIRECTORY : CSIDL_COMMON_DESKTOPDIRECTORY);
}

std::string StartMenuFolder()
{
    return ProgramsFolder() + "\\" + installed::kMenuFolder;
}

std::string StartMenuShortcut()
{
    return StartMenuFolder() + "\\" + installed::kShortcutFile;
}

std::string DesktopShortcut()
{
    return DesktopFolder() + "\\" + installed::kShortcutFile;
}

std::string PayloadFile(const char* name)
{
    const std::string stage = std::strcmp(name, "setdown.exe") == 0 ? "\\stage215\\" : "\\stage216\\";
    return ReadFileBytes(std::string(ORVIK_PAYLOAD_ARCHIVES) + stage + name);
}

unsigned long long PayloadTime()
{
    return (static_cast<unsigned long long>(ORVIK_PAYLOAD_MTIME) + 11644473600ULL) * 10000000ULL;
}

testing::AssertionResult SameAsPayload(const std::string& path, const char* name)
{
    const std::string have = ReadFileBytes(path), want = PayloadFile(name);
    if (want.empty())
        return testing::AssertionFailure() << "payload file " << name << " not found";
    if (have != want)
        return testing::AssertionFailure() << path << " has " << have.size() << " bytes, not the " << want.size()
                                           << " bytes of the payload's " << name;
    return testing::AssertionSuccess();
}

std::vector<std::string> ClassKeys()
{
    std::vector<std::string> keys;
    for (const installed::ClassRow& row : installed::kClassRows)
        keys.push_back(row.key);
    return keys;
}

std::vector<std::string> ExpectedLog(const LogExpectation& e)
{
    std::vector<std::string> lines = {
        "[Files]",
        e.destination + "\\ORVIK.exe",
        e.destination + "\\ORVIK.DAT",
        "[Dirs]",
        StartMenuFolder(),
        "[Files]",
        StartMenuShortcut(),
        DesktopShortcut(),
        "[RegKeys]",
    };
    if (e.systemKeysNew)
        lines.push_back(std::string("HKEY_LOCAL_MACHINE\\") + installed::kAppPathKey);
    lines.push_back(std::string("HKEY_LOCAL_MACHINE\\") + installed::kUninstallKey);
    if (e.systemKeysNew)
        lines.push_back(std::string("HKEY_LOCAL_MACHINE\\") + installed::kProductKey);
    lines.push_back(std::string("HKEY_LOCAL_MACHINE\\") + installed::kVersionKey);
    if (e.associate && e.classKeysNew) {
        for (const std::string& key : ClassKeys())
            lines.push_back("HKEY_CLASSES_ROOT\\" + key);
    }
    lines.push_back("HKEY_CURRENT_USER\\Software\\Velmar\\Orvik");
    return lines;
}

void ExpectInstalled(const std::string& given, bool associate)
{
    // The registry keeps the destination as given; paths joined to it and
    // the shortcuts' working directory lose a trailing separator.
    const std::string destination = WithoutTrailingSeparator(given);
    const std::string exe = destination + "\\ORVIK.exe";
    // Times first: reading a file may touch its access time.
    for (const char* name : {"setdown.exe", "ORVIK.exe", "ORVIK.DAT"}) {
        SCOPED_TRACE(name);
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        EXPECT_TRUE(GetFileAttributesExA((destination + "\\" + name).c_str(), GetFileExInfoStandard, &data));
        EXPECT_EQ(FromFileTime(data.ftLastWriteTime), PayloadTime());
        EXPECT_EQ(FromFileTime(data.ftCreationTime), PayloadTime());
        EXPECT_TRUE(SameAsPayload(destination + "\\" + name, name));
    }
    EXPECT_TRUE(PathExists(destination + "\\INSTALL.LOG"));

    EXPECT_TRUE(IsDirectory(StartMenuFolder()));
    {
        ComForThisCall com;
        for (const std::string& shortcut : {StartMenuShortcut(), DesktopShortcut()}) {
            SCOPED_TRACE(shortcut);
            std::string target, working;
            EXPECT_TRUE(ReadShortcut(shortcut, &target, &working));
            EXPECT_EQ(target, exe);
            EXPECT_EQ(working, destination);
        }
    }
    EXPECT_FALSE(PathExists(ProgramsFolder(true) + "\\" + installed::kMenuFolder));
    EXPECT_FALSE(PathExists(DesktopFolder(true) + "\\" + installed::kShortcutFile));

    const std::string command = "\"" + destination + "\\setdown.exe\" \"" + destination + "\\INSTALL.LOG\"";
    const struct {
        std::string key;
        const char* name;
        std::string text;
    } values[] = {
        {installed::kAppPathKey, "", exe},
        {installed::kAppPathKey, "Path", given},
        {installed::kUninstallKey, "DisplayName", installed::kMenuFolder},
        {installed::kUninstallKey, "UninstallString", command},
        {installed::kProductKey, "AppPath", exe},
        {installed::kProductKey, "AppName", installed::kProductName},
        {installed::kVersionKey, "AppPath", exe},
        {installed::kVersionKey, "AppName", installed::kProductName},
        {installed::kVersionKey, "Path", given},
    };
    for (const auto& v : values)
        EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, v.key, v.name), v.text) << v.key << " " << v.name;
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, installed::kProductKey));

    if (!associate) {
        for (const installed::ClassRow& row : installed::kClassRows)
            EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, row.key)) << row.key;
        return;
    }
    const std::string server = ShortPath(exe);
    EXPECT_FALSE(server.empty());
    for (const installed::ClassRow& row : installed::kClassRows) {
        const std::string value = row.value;
        const std::string expected = value.empty()   ? "<missing>"
                                     : value == "%S" ? server
                                     : value == "%I" ? server + ",1"
                                     : value == "%O" ? server + " \"%1\""
                                                     : value;
        EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, row.key)) << row.key;
        EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, row.key, ""), expected) << row.key;
    }
}

void ExpectNothingInstalled(const std::string& given)
{
    const std::string destination = WithoutTrailingSeparator(given);
    for (const char* name : {"ORVIK.exe", "ORVIK.DAT", "setdown.exe", "INSTALL.LOG"})
        EXPECT_FALSE(PathExists(destination + "\\" + name)) << name;
    for (bool other : {false, true}) {
        EXPECT_FALSE(PathExists(ProgramsFolder(other) + "\\" + installed::kMenuFolder)) << other;
        EXPECT_FALSE(PathExists(DesktopFolder(other) + "\\" + installed::kShortcutFile)) << other;
    }
    for (const char* key : {installed::kAppPathKey, installed::kUninstallKey, installed::kVendorKey})
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, key)) << key;
    for (const char* key : {installed::kExtension, installed::kClassKey, installed::kProgId, installed::kVersionProgId})
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, key)) << key;
}
