// setdown.exe on an installation laid out by the test: real files,
// directories and registry keys, and an INSTALL.LOG naming them.
#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <functional>

#include "file_helpers.h"
#include "payload_test_support.h"
#include "installed_names.h"
#include "registry_helpers.h"

namespace {

const char kCaption[] = "ブレンナビューア for Windows Ver6.0 のアンインストール";

constexpr DWORD kExitDone = 0;
constexpr DWORD kExitDeclined = 1;
constexpr DWORD kExitBadInput = 2;
constexpr DWORD kExitIncomplete = 3;
constexpr DWORD kExitDoneAtRestart = 4;

struct Key {
    HKEY root;
    std::string path;
};

std::string ShortPath(const std::string& path)
{
    char buffer[MAX_PATH];
    DWORD length = GetShortPathNameA(path.c_str(), buffer, sizeof(buffer));
    return length && length < sizeof(buffer) ? std::string(buffer) : path;
}

// The all-users Programs folder: the prefix is of the NT family.
std::string ProgramsFolder()
{
    char path[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, 0, path);
    return path;
}

std::string TempDirectory()
{
    char buffer[MAX_PATH];
    GetTempPathA(sizeof(buffer), buffer);
    return buffer;
}

std::vector<std::string> PendingRemovals();

// A copy of the uninstaller left in %TEMP%, or the folder it ran from left
// with something in it or not named for removal at the next restart (it
// cannot go while the copy runs from it).
bool TempCopyLeft()
{
    const std::string temp = TempDirectory();
    const std::vector<std::string> pending = PendingRemovals();
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((temp + "~setdown*").c_str(), &data);
    bool left = false;
    for (BOOL more = find != INVALID_HANDLE_VALUE; more && !left; more = FindNextFileA(find, &data)) {
        const std::string folder = temp + data.cFileName;
        WIN32_FIND_DATAA inside;
        HANDLE content = FindFirstFileA((folder + "\\~setdown*").c_str(), &inside);
        bool named = false;
        for (size_t i = 0; i + 1 < pending.size(); i += 2)
            named = named || (pending[i].find(folder) != std::string::npos && pending[i + 1].empty());
        left = !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || content != INVALID_HANDLE_VALUE || !named;
        if (content != INVALID_HANDLE_VALUE)
            FindClose(content);
    }
    if (find != INVALID_HANDLE_VALUE)
        FindClose(find);
    return left;
}

// Everything a first installation with the association creates, laid out
// for real; the log lists it as the setup does (keys only when asked).
struct Installation {
    std::string dir;
    std::string menu;
    std::string log;
    std::string setdown;
    std::vector<std::string> files;
    std::vector<std::string> dirs;
    std::vector<Key> keys;
    std::string logText;

    std::string CommandLine(bool silent) const
    {
        return "\"" + setdown + "\" \"" + log + "\"" + (silent ? " /S" : "");
    }
};

void ClearRegistry()
{
    DeleteKeyTree(HKEY_LOCAL_MACHINE, installed::kAppPathKey);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, installed::kUninstallKey);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, "Software\\Velmar");
    DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Velmar");
    for (const char* key :
         {installed::kExtension, installed::kProgId, installed::kVersionProgId, installed::kClassKey})
        DeleteKeyTree(HKEY_CLASSES_ROOT, key);
}

// name: the last level of the installation directory; it ends in 表
// (95 5C), whose trail byte is a backslash.
Installation LayOut(const std::string& name, bool listKeys)
{
    ClearRegistry();
    Installation in;
    in.dir = "C:\\Program Files\\" + name;
    in.menu = ProgramsFolder() + "\\ブレンナビューア for Windows Ver6.0";
    in.log = in.dir + "\\INSTALL.LOG";
    in.setdown = in.dir + "\\setdown.exe";
    EXPECT_TRUE(CreateDirectoryA(in.dir.c_str(), nullptr)) << in.dir;
    EXPECT_TRUE(CopyFileA(BuildTreePath("payload\\uninstaller\\setdown.exe").c_str(), in.setdown.c_str(), FALSE));

    std::string log = "[Files]\r\n";
    auto file = [&](const std::string& path) {
        EXPECT_TRUE(WriteFileBytes(path, "data of " + path)) << path;
        in.files.push_back(path);
        log += path + "\r\n";
    };
    auto dir = [&](const std::string& path) {
        EXPECT_TRUE(CreateDirectoryA(path.c_str(), nullptr)) << path;
        in.dirs.push_back(path);
        log += path + "\r\n";
    };
    file(in.dir + "\\ORVIK.exe");
    log += "[Dirs]\r\n";
    dir(in.dir + "\\表示");
    log += "[Files]\r\n";
    file(in.dir + "\\表示\\見本.kdw");
    file(in.dir + "\\ORVIK.DAT");
    log += "[Dirs]\r\n";
    dir(in.menu);
    log += "[Files]\r\n";
    file(in.menu + "\\ブレンナビューア for Windows.lnk");

    std::string exe = in.dir + "\\ORVIK.exe";
    std::string shortExe = ShortPath(exe);
    SetString(HKEY_LOCAL_MACHINE, installed::kAppPathKey, "", exe);
    SetString(HKEY_LOCAL_MACHINE, installed::kAppPathKey, "Path", in.dir);
    SetString(HKEY_LOCAL_MACHINE, installed::kUninstallKey, "DisplayName", "ブレンナビューア for Windows Ver6.0");
    SetString(HKEY_LOCAL_MACHINE, installed::kUninstallKey, "UninstallString", in.CommandLine(false));
    SetString(HKEY_LOCAL_MACHINE, installed::kProductKey, "AppPath", exe);
    SetString(HKEY_LOCAL_MACHINE, installed::kProductKey, "AppName", "ブレンナビューア for Windows");
    SetString(HKEY_LOCAL_MACHINE, installed::kVersionKey, "AppPath", exe);
    SetString(HKEY_LOCAL_MACHINE, installed::kVersionKey, "Path", in.dir);
    SetString(HKEY_CLASSES_ROOT, installed::kExtension, "", installed::kVersionProgId);
    SetString(HKEY_CLASSES_ROOT, installed::kClassKey, "", "ブレンナ 図面");
    SetString(HKEY_CLASSES_ROOT, std::string(installed::kClassKey) + "\\LocalServer32", "", shortExe);
    SetString(HKEY_CLASSES_ROOT, std::string(installed::kClassKey) + "\\DefaultIcon", "", shortExe + ",1");
    SetString(HKEY_CLASSES_ROOT, installed::kProgId, "", "ブレンナ 図面");
    SetString(HKEY_CLASSES_ROOT, "Brenna.Drawing\\CLSID", "", installed::kClassId);
    SetString(HKEY_CLASSES_ROOT, "Brenna.Drawing\\CurVer", "", installed::kVersionProgId);
    SetString(HKEY_CLASSES_ROOT, "Brenna.Drawing.4\\CLSID", "", installed::kClassId);
    SetString(HKEY_CLASSES_ROOT, "Brenna.Drawing.4\\DefaultIcon", "", shortExe + ",1");
    SetString(HKEY_CLASSES_ROOT, "Brenna.Drawing.4\\Shell\\Open\\Command", "", shortExe + " \"%1\"");
    SetString(HKEY_CURRENT_USER, installed::kProductKey, "Window", "0,0,640,480");
    in.keys = {{HKEY_LOCAL_MACHINE, installed::kAppPathKey},  {HKEY_LOCAL_MACHINE, installed::kUninstallKey},
               {HKEY_LOCAL_MACHINE, installed::kProductKey},   {HKEY_LOCAL_MACHINE, installed::kVersionKey},
               {HKEY_CLASSES_ROOT, installed::kExtension},         {HKEY_CLASSES_ROOT, installed::kClassKey},
               {HKEY_CLASSES_ROOT, installed::kProgId}, {HKEY_CLASSES_ROOT, installed::kVersionProgId},
               {HKEY_CURRENT_USER, installed::kProductKey}};

    log += "[RegKeys]\r\n";
    if (listKeys) {
        log += std::string("HKEY_LOCAL_MACHINE\\") + installed::kAppPathKey + "\r\n";
        log += std::string("HKEY_LOCAL_MACHINE\\") + installed::kUninstallKey + "\r\n";
        log += std::string("HKEY_LOCAL_MACHINE\\") + installed::kProductKey + "\r\n";
        log += std::string("HKEY_LOCAL_MACHINE\\") + installed::kVersionKey + "\r\n";
        log += "HKEY_CLASSES_ROOT\\.kdw\r\n";
        log += std::string("HKEY_CLASSES_ROOT\\") + installed::kClassKey + "\r\n";
        log += std::string("HKEY_CLASSES_ROOT\\") + installed::kClassKey + "\\LocalServer32\r\n";
        log += "HKEY_CLASSES_ROOT\\Brenna.Drawing\r\n";
        log += "HKEY_CLASSES_ROOT\\Brenna.Drawing\\CLSID\r\n";
        log += "HKEY_CLASSES_ROOT\\Brenna.Drawing.4\r\n";
        log += "HKEY_CLASSES_ROOT\\Brenna.Drawing.4\\Shell\\Open\\Command\r\n";
    }
    log += "HKEY_CURRENT_USER\\Software\\Velmar\\Orvik\r\n";
    in.logText = log;
    EXPECT_TRUE(WriteFileBytes(in.log, log));
    return in;
}

void ExpectAllPresent(const Installation& in)
{
    for (const std::string& path : in.files)
        EXPECT_TRUE(PathExists(path)) << path;
    for (const std::string& path : in.dirs)
        EXPECT_TRUE(PathExists(path)) << path;
    for (const Key& key : in.keys)
        EXPECT_TRUE(KeyExists(key.root, key.path)) << key.path;
    EXPECT_EQ(ReadFileBytes(in.log), in.logText);
    EXPECT_TRUE(PathExists(in.setdown));
}

void ExpectListedGone(const Installation& in)
{
    for (const std::string& path : in.files)
        EXPECT_FALSE(PathExists(path)) << path;
    for (const std::string& path : in.dirs)
        EXPECT_FALSE(PathExists(path)) << path;
    for (const Key& key : in.keys)
        EXPECT_FALSE(KeyExists(key.root, key.path)) << key.path;
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Velmar"));
}

// After a complete run: the log, the uninstaller, its temporary copy, the
// directory and every setdown process disappear within a few seconds.
void ExpectNothingLeft(const Installation& in)
{
    EXPECT_FALSE(PathExists(in.log));
    bool left = true;
    for (int i = 0; i < 200 && left; ++i) {
        left = PathExists(in.setdown) || PathExists(in.dir) || ProcessRunning("setdown.") ||
               ProcessRunning("~setdown") || TempCopyLeft();
        if (left)
            Sleep(100);
    }
    EXPECT_FALSE(PathExists(in.setdown));
    EXPECT_FALSE(PathExists(in.dir));
    EXPECT_FALSE(ProcessRunning("setdown."));
    EXPECT_FALSE(ProcessRunning("~setdown"));
    EXPECT_FALSE(TempCopyLeft());
}

DWORD RunSilent(const Installation& in)
{
    Process process = StartProgram(in.CommandLine(true));
    EXPECT_TRUE(process.handle);
    return WaitAndClose(&process);
}

// The message box of the process, its text and its caption.
HWND WaitForBox(DWORD processId, HWND notThis = nullptr)
{
    for (int i = 0; i < 300; ++i) {
        HWND box = WaitForWindow(processId, "#32770", 100);
        if (box && box != notThis && IsWindow(box))
            return box;
    }
    return nullptr;
}

std::string BoxMessage(HWND box)
{
    return WindowText(GetDlgItem(box, 0xFFFF));
}

TEST(Setdown, RemovesEverythingListedThenItself)
{
    Installation in = LayOut("ブレンナ表", true);
    // Listing the uninstaller, the log or the directory does not keep the
    // run from completing; they go last.
    in.logText += "[Files]\r\n" + in.setdown + "\r\n" + in.log + "\r\n[Dirs]\r\n" + in.dir + "\r\n";
    ASSERT_TRUE(WriteFileBytes(in.log, in.logText));
    EXPECT_EQ(RunSilent(in), kExitDone);
    ExpectListedGone(in);
    EXPECT_TRUE(PathExists(ProgramsFolder()));  // existed before, never listed
    ExpectNothingLeft(in);
}

// A setup run over an existing installation lists no key that existed, so
// the product's own registrations are found in the registry.
TEST(Setdown, RemovesOwnRegistrationsTheLogMisses)
{
    Installation in = LayOut("再表", false);
    EXPECT_EQ(RunSilent(in), kExitDone);
    ExpectListedGone(in);
    ExpectNothingLeft(in);
}

TEST(Setdown, KeepsRegistrationsOfAnotherInstallation)
{
    Installation in = LayOut("別表", false);
    // Another viewer now serves the class and the file type; App Paths and
    // an older version key lead elsewhere too.
    std::string other = "C:\\Other\\ORVIK.exe";
    SetString(HKEY_LOCAL_MACHINE, installed::kAppPathKey, "", other);
    SetString(HKEY_LOCAL_MACHINE, installed::kAppPathKey, "Path", "C:\\Other");
    SetString(HKEY_LOCAL_MACHINE, "Software\\Velmar\\Orvik\\5.0", "AppPath", other);
    SetString(HKEY_CLASSES_ROOT, std::string(installed::kClassKey) + "\\LocalServer32", "", other);
    SetString(HKEY_CLASSES_ROOT, std::string(installed::kClassKey) + "\\DefaultIcon", "", other + ",1");
    SetString(HKEY_CLASSES_ROOT, "Brenna.Drawing.4\\DefaultIcon", "", other + ",1");
    SetString(HKEY_CLASSES_ROOT, "Brenna.Drawing.4\\Shell\\Open\\Command", "", other + " \"%1\"");

    EXPECT_EQ(RunSilent(in), kExitDone);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, installed::kAppPathKey));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Velmar\\Orvik\\5.0"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, installed::kProductKey));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, installed::kVersionKey));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, installed::kUninstallKey));
    for (const char* key :
         {installed::kExtension, installed::kProgId, installed::kVersionProgId, installed::kClassKey})
        EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, key)) << key;
    ExpectNothingLeft(in);
}

TEST(Setdown, NoChangesNothingAndYesRemoves)
{
    Installation in = LayOut("問表", true);
    Process process = StartProgram(in.CommandLine(false));
    HWND box = WaitForBox(process.id);
    ASSERT_TRUE(box);
    EXPECT_EQ(WindowText(box), kCaption);
    EXPECT_EQ(BoxMessage(box), "ブレンナビューア for Windows Ver6.0 をアンインストールしますか?");
    PostMessageA(box, WM_COMMAND, IDNO, 0);
    EXPECT_EQ(WaitAndClose(&process), kExitDeclined);
    ExpectAllPresent(in);

    process = StartProgram(in.CommandLine(false));
    box = WaitForBox(process.id);
    ASSERT_TRUE(box);
    PostMessageA(box, WM_COMMAND, IDYES, 0);
    HWND done = WaitForBox(process.id, box);
    ASSERT_TRUE(done);
    EXPECT_EQ(BoxMessage(done), "ブレンナビューア for Windows Ver6.0 をアンインストールしました。");
    PostMessageA(done, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(WaitAndClose(&process), kExitDone);
    ExpectListedGone(in);
    ExpectNothingLeft(in);
}

// The viewer still running: what can go goes; the uninstall entry, App
// Paths, the log and the uninstaller stay, and the stored command finishes.
TEST(Setdown, FileInUseKeepsTheEntryAndTheStoredCommandFinishes)
{
    Installation in = LayOut("使用表", true);
    std::string held = in.dir + "\\ORVIK.exe";
    HANDLE file = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);

    Process process = StartProgram(in.CommandLine(false));
    HWND box = WaitForBox(process.id);
    ASSERT_TRUE(box);
    PostMessageA(box, WM_COMMAND, IDYES, 0);
    HWND report = WaitForBox(process.id, box);
    ASSERT_TRUE(report);
    std::string text = BoxMessage(report);
    // What could not be removed and what stays for finishing are named.
    for (const std::string& named : {held, in.log, in.setdown})
        EXPECT_NE(text.find(named), std::string::npos) << text;
    EXPECT_EQ(text.find(in.menu), std::string::npos) << text;
    PostMessageA(report, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(WaitAndClose(&process), kExitIncomplete);

    EXPECT_TRUE(PathExists(held));
    EXPECT_EQ(ReadFileBytes(in.log), in.logText);
    EXPECT_TRUE(PathExists(in.setdown));
    EXPECT_FALSE(PathExists(in.dir + "\\ORVIK.DAT"));
    EXPECT_FALSE(PathExists(in.dir + "\\表示"));
    EXPECT_FALSE(PathExists(in.menu));
    for (const Key& key : in.keys) {
        bool finishing = key.path == installed::kAppPathKey || key.path == installed::kUninstallKey;
        EXPECT_EQ(KeyExists(key.root, key.path), finishing) << key.path;
    }

    CloseHandle(file);
    std::string stored = ReadString(HKEY_LOCAL_MACHINE, installed::kUninstallKey, "UninstallString");
    ASSERT_EQ(stored, in.CommandLine(false));
    process = StartProgram(stored + " /S");
    EXPECT_EQ(WaitAndClose(&process), kExitDone);
    ExpectListedGone(in);
    ExpectNothingLeft(in);
}

// A key no one may open: deleting it with its subkeys fails.
std::string LockedKey(const std::string& parent)
{
    std::string path = parent + "\\Locked";
    HKEY key;
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    SECURITY_DESCRIPTOR descriptor;
    DWORD acl[16];
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    InitializeAcl(reinterpret_cast<ACL*>(acl), sizeof(acl), ACL_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, reinterpret_cast<ACL*>(acl), FALSE);
    EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor), ERROR_SUCCESS);
    RegCloseKey(key);
    return path;
}

std::vector<std::string> PendingRemovals()
{
    std::string value;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_READ,
                      &key) == ERROR_SUCCESS) {
        char buffer[8192] = {};
        DWORD size = sizeof(buffer) - 2;
        if (RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer),
                             &size) == ERROR_SUCCESS)
            value.assign(buffer, size);
        RegCloseKey(key);
    }
    std::vector<std::string> names;
    for (size_t at = 0; at < value.size(); at += names.empty() ? 1 : names.back().size() + 1) {
        names.push_back(value.c_str() + at);
    }
    return names;
}

// Each obstacle: the run ends as given; while it is unfinished, what the
// next run needs stays, and once the obstacle has gone the stored command
// finishes.
TEST(Setdown, ObstaclesKeepWhatTheStoredCommandNeedsToFinish)
{
    struct Obstacle {
        const char* name;
        DWORD firstExit;
        bool appPathsStays;  // App Paths goes after the log, before the entry
        // Sets the obstacle up; returns what takes it away again.
        std::function<std::function<void()>(Installation*)> setUp;
    } obstacles[] = {
        {"read-only log", kExitDone, false,
         [](Installation* in) {
             EXPECT_TRUE(SetFileAttributesA(in->log.c_str(), FILE_ATTRIBUTE_READONLY));
             return [] {};
         }},
        {"log held open", kExitIncomplete, true,
         [](Installation* in) {
             HANDLE log = CreateFileA(in->log.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
             EXPECT_NE(log, INVALID_HANDLE_VALUE);
             return std::function<void()>([log] { CloseHandle(log); });
         }},
        {"App Paths cannot be deleted", kExitIncomplete, true,
         [](Installation*) {
             std::string locked = LockedKey(installed::kAppPathKey);
             return std::function<void()>([locked] { RegDeleteKeyA(HKEY_LOCAL_MACHINE, locked.c_str()); });
         }},
        {"uninstall entry cannot be deleted", kExitIncomplete, false,
         [](Installation*) {
             std::string locked = LockedKey(installed::kUninstallKey);
             return std::function<void()>([locked] { RegDeleteKeyA(HKEY_LOCAL_MACHINE, locked.c_str()); });
         }},
        {"registry link in the per-user key", kExitIncomplete, true,
         [](Installation*) {
             SetString(HKEY_LOCAL_MACHINE, "Software\\Victim", "kept", "the system's");
             HKEY link;
             EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Velmar\\Orvik\\link", 0, nullptr,
                                       REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &link, nullptr),
                       ERROR_SUCCESS);
             const wchar_t target[] = L"\\Registry\\Machine\\Software\\Victim";
             EXPECT_EQ(RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(target),
                                      sizeof(target) - sizeof(wchar_t)),
                       ERROR_SUCCESS);
             RegCloseKey(link);
             return std::function<void()>([] {
                 EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, "Software\\Victim", "kept"), "the system's");
                 HKEY key;
                 if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Velmar\\Orvik\\link", REG_OPTION_OPEN_LINK, DELETE,
                                   &key) == ERROR_SUCCESS) {
                     EXPECT_EQ(RegDeleteKeyA(key, ""), ERROR_SUCCESS);
                     RegCloseKey(key);
                 }
                 DeleteKeyTree(HKEY_LOCAL_MACHINE, "Software\\Victim");
             });
         }},
        {"unlisted data file in use", kExitIncomplete, true,
         [](Installation* in) {
             std::string data = in->dir + "\\ORVIK.DAT";
             size_t line = in->logText.find(data + "\r\n");
             EXPECT_NE(line, std::string::npos);
             in->logText.erase(line, data.size() + 2);
             EXPECT_TRUE(WriteFileBytes(in->log, in->logText));
             HANDLE file = CreateFileA(data.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
             EXPECT_NE(file, INVALID_HANDLE_VALUE);
             return std::function<void()>([file] { CloseHandle(file); });
         }},
    };
    for (const Obstacle& o : obstacles) {
        SCOPED_TRACE(o.name);
        Installation in = LayOut("障表", true);
        std::function<void()> release = o.setUp(&in);
        EXPECT_EQ(RunSilent(in), o.firstExit);
        if (o.firstExit == kExitIncomplete) {
            EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, installed::kUninstallKey));
            EXPECT_EQ(KeyExists(HKEY_LOCAL_MACHINE, installed::kAppPathKey), o.appPathsStays);
            EXPECT_EQ(ReadFileBytes(in.log), in.logText);
            EXPECT_TRUE(PathExists(in.setdown));
            EXPECT_FALSE(PathExists(in.menu));
            EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, installed::kClassKey));
            // The copy started for the self-removal leaves the uninstaller.
            for (int i = 0; i < 100 && ProcessRunning("~setdown"); ++i)
                Sleep(100);
            EXPECT_TRUE(PathExists(in.setdown));
            release();
            Process process =
                StartProgram(ReadString(HKEY_LOCAL_MACHINE, installed::kUninstallKey, "UninstallString") + " /S");
            EXPECT_EQ(WaitAndClose(&process), kExitDone);
        }
        ExpectListedGone(in);
        ExpectNothingLeft(in);
    }
}

// ".kdw" keeps what other programs put there; a copy of the uninstaller run
// from elsewhere removes the installation's and is itself left alone; an
// uninstaller that cannot be deleted, or not copied to run the removal,
// goes at the next restart.
TEST(Setdown, LeavesWhatIsNotTheInstallations)
{
    Installation in = LayOut("他表", true);
    SetString(HKEY_CLASSES_ROOT, std::string(installed::kExtension) + "\\OpenWithProgids", "Other.Document", "");
    std::string elsewhere = "C:\\elsewhere-setdown.exe";
    ASSERT_TRUE(CopyFileA(in.setdown.c_str(), elsewhere.c_str(), FALSE));
    Process process = StartProgram("\"" + elsewhere + "\" \"" + in.log + "\" /S");
    EXPECT_EQ(WaitAndClose(&process), kExitDone);
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, std::string(installed::kExtension) + "\\OpenWithProgids", "Other.Document"),
              "");
    EXPECT_FALSE(ReadString(HKEY_CLASSES_ROOT, installed::kExtension, "") == installed::kVersionProgId);
    DeleteKeyTree(HKEY_CLASSES_ROOT, installed::kExtension);
    ExpectListedGone(in);
    ExpectNothingLeft(in);
    EXPECT_TRUE(PathExists(elsewhere));
    DeleteFileA(elsewhere.c_str());

    // The uninstaller held without delete sharing past the self-removal's wait.
    in = LayOut("再起表", true);
    HANDLE held = CreateFileA(in.setdown.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(RunSilent(in), kExitDone);
    for (int i = 0; i < 150 && ProcessRunning("~setdown"); ++i)
        Sleep(100);
    EXPECT_FALSE(ProcessRunning("~setdown"));
    std::vector<std::string> pending = PendingRemovals();
    bool named = false;
    for (size_t i = 0; i + 1 < pending.size(); i += 2)
        named = named || (pending[i].find(in.setdown) != std::string::npos && pending[i + 1].empty());
    EXPECT_TRUE(named);
    CloseHandle(held);
    EXPECT_TRUE(DeleteFileA(in.setdown.c_str()));
    RemoveDirectoryA(in.dir.c_str());

    // No temporary directory for the copy: the uninstaller and its
    // directory go at the next restart, and the exit code says so.
    in = LayOut("再始表", true);
    char temp[MAX_PATH], tmp[MAX_PATH];
    GetEnvironmentVariableA("TEMP", temp, sizeof(temp));
    GetEnvironmentVariableA("TMP", tmp, sizeof(tmp));
    SetEnvironmentVariableA("TEMP", "C:\\no-such-temp");
    SetEnvironmentVariableA("TMP", "C:\\no-such-temp");
    EXPECT_EQ(RunSilent(in), kExitDoneAtRestart);
    SetEnvironmentVariableA("TEMP", temp);
    SetEnvironmentVariableA("TMP", tmp);
    ExpectListedGone(in);
    EXPECT_FALSE(PathExists(in.log));
    pending = PendingRemovals();
    named = false;
    for (size_t i = 0; i + 1 < pending.size(); i += 2)
        named = named || (pending[i].find(in.setdown) != std::string::npos && pending[i + 1].empty());
    EXPECT_TRUE(named);
    EXPECT_TRUE(DeleteFileA(in.setdown.c_str()));
    RemoveDirectoryA(in.dir.c_str());
    // What the restart would do with the copies' empty folders too.
    for (size_t i = 0; i + 1 < pending.size(); i += 2) {
        const size_t at = pending[i].find(TempDirectory() + "~setdown");
        if (at != std::string::npos)
            RemoveDirectoryA(pending[i].substr(at).c_str());
    }
    HKEY manager;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_SET_VALUE,
                      &manager) == ERROR_SUCCESS) {
        RegDeleteValueA(manager, "PendingFileRenameOperations");
        RegCloseKey(manager);
    }
}

TEST(Setdown, MalformedLogDeletesNothing)
{
    struct Case {
        const char* name;
        const char* lastLines;  // appended after the valid entries
    } cases[] = {
        {"unknown section", "[Shortcuts]\r\nC:\\x.lnk\r\n"},
        {"relative path", "[Files]\r\nORVIK.exe\r\n"},
        {"path with ..", "[Files]\r\nC:\\Program Files\\..\\Windows\\win.ini\r\n"},
        {"key under another root", "[RegKeys]\r\nHKEY_USERS\\.DEFAULT\\Software\r\n"},
        {"root key", "[RegKeys]\r\nHKEY_LOCAL_MACHINE\r\n"},
        {"key without root", "[RegKeys]\r\nSoftware\\Velmar\r\n"},
        {"missing log", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Installation in = LayOut("壊表", true);
        if (c.lastLines) {
            in.logText += c.lastLines;
            ASSERT_TRUE(WriteFileBytes(in.log, in.logText));
        } else {
            ASSERT_TRUE(DeleteFileA(in.log.c_str()));
        }
        EXPECT_EQ(RunSilent(in), kExitBadInput);
        if (c.lastLines) {
            ExpectAllPresent(in);
        } else {
            in.logText.clear();
            for (const std::string& path : in.files)
                EXPECT_TRUE(PathExists(path)) << path;
            for (const Key& key : in.keys)
                EXPECT_TRUE(KeyExists(key.root, key.path)) << key.path;
            EXPECT_TRUE(PathExists(in.setdown));
        }
        // Tidy up for the next case with a valid log.
        ASSERT_TRUE(WriteFileBytes(in.log, "[Files]\r\n"));
        for (auto it = in.files.rbegin(); it != in.files.rend(); ++it)
            DeleteFileA(it->c_str());
        for (auto it = in.dirs.rbegin(); it != in.dirs.rend(); ++it)
            RemoveDirectoryA(it->c_str());
        EXPECT_EQ(RunSilent(in), kExitDone);
        ExpectNothingLeft(in);
    }
}

// Stopped dead after its log went, the uninstaller leaves App Paths, the
// uninstall entry and itself: the stored command finishes from there.
TEST(Setdown, StoppedAfterTheLogWentTheStoredCommandFinishes)
{
    Installation in = LayOut("止表", true);
    for (auto it = in.files.rbegin(); it != in.files.rend(); ++it)
        DeleteFileA(it->c_str());
    for (auto it = in.dirs.rbegin(); it != in.dirs.rend(); ++it)
        RemoveDirectoryA(it->c_str());
    for (const Key& key : in.keys) {
        if (key.path != installed::kAppPathKey && key.path != installed::kUninstallKey)
            DeleteKeyTree(key.root, key.path);
    }
    DeleteKeyTree(HKEY_LOCAL_MACHINE, installed::kVendorKey);
    ASSERT_TRUE(DeleteFileA(in.log.c_str()));
    EXPECT_EQ(RunSilent(in), kExitDone);
    ExpectListedGone(in);
    ExpectNothingLeft(in);
}

TEST(Setdown, BadCommandLineDeletesNothing)
{
    Installation in = LayOut("引表", true);
    for (std::string line : {"\"" + in.setdown + "\" /S", "\"" + in.setdown + "\" INSTALL.LOG /S",
                             "\"" + in.setdown + "\" \"" + in.log + "\" \"" + in.log + "\" /S"}) {
        Process process = StartProgram(line);
        EXPECT_EQ(WaitAndClose(&process), kExitBadInput) << line;
    }
    ExpectAllPresent(in);
}

}  // namespace
