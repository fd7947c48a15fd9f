// setdown.exe on an installation laid out by the test: real files,
// directories and registry keys, and an INSTALL.LOG naming them.
#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include "file_helpers.h"
#include "payload_test_support.h"
#include "registry_helpers.h"

namespace {

const char CLASS_KEY[] = "CLSID\\{6A0C4E21-7B3D-4F58-9E12-C84D0B7A35F6}";
const char CLASS_ID[] = "{6A0C4E21-7B3D-4F58-9E12-C84D0B7A35F6}";
const char APP_PATH_KEY[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\ORVIK.exe";
const char UNINSTALL_KEY[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvik 6.0";
const char PRODUCT_KEY[] = "Software\\Velmar\\Orvik";
const char VERSION_KEY[] = "Software\\Velmar\\Orvik\\6.0";
const char CAPTION[] = "ブレンナビューア for Windows Ver6.0 のアンインストール";

constexpr DWORD EXIT_DONE = 0;
constexpr DWORD EXIT_DECLINED = 1;
constexpr DWORD EXIT_BAD_INPUT = 2;
constexpr DWORD EXIT_INCOMPLETE = 3;

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

bool TempCopyLeft()
{
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((TempDirectory() + "~setdown*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    FindClose(find);
    return true;
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
    DeleteKeyTree(HKEY_LOCAL_MACHINE, APP_PATH_KEY);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, UNINSTALL_KEY);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, "Software\\Velmar");
    DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Velmar");
    for (const char* key : {".kdw", "Brenna.Drawing", "Brenna.Drawing.4", CLASS_KEY})
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
    SetString(HKEY_LOCAL_MACHINE, APP_PATH_KEY, "", exe);
    SetString(HKEY_LOCAL_MACHINE, APP_PATH_KEY, "Path", in.dir);
    SetString(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, "DisplayName", "ブレンナビューア for Windows Ver6.0");
    SetString(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, "UninstallString", in.CommandLine(false));
    SetString(HKEY_LOCAL_MACHINE, PRODUCT_KEY, "AppPath", exe);
    SetString(HKEY_LOCAL_MACHINE, PRODUCT_KEY, "AppName", "ブレンナビューア for Windows");
    SetString(HKEY_LOCAL_MACHINE, VERSION_KEY, "AppPath", exe);
    SetString(HKEY_LOCAL_MACHINE, VERSION_KEY, "Path", in.dir);
    SetString(HKEY_CLASSES_ROOT, ".kdw", "", "Brenna.Drawing.4");
    SetString(HKEY_CLASSES_ROOT, CLASS_KEY, "", "ブレンナ 図面");
    SetString(HKEY_CLASSES_ROOT, std::string(CLASS_KEY) + "\\LocalServer32", "", shortExe);
    SetString(HKEY_CLASSES_ROOT, std::string(CLASS_KEY) + "\\DefaultIcon", "", shortExe + ",1");
    SetString(HKEY_CLASSES_ROOT, "Brenna.Drawing", "", "ブレンナ 図面");
    SetString(HKEY_CLASSES_ROOT, "Brenna.Drawing\\CLSID", "", CLASS_ID);
    SetString(HKEY_CLASSES_ROOT, "Brenna.Drawing\\CurVer", "", "Brenna.Drawing.4");
    SetString(HKEY_CLASSES_ROOT, "Brenna.Drawing.4\\CLSID", "", CLASS_ID);
    SetString(HKEY_CLASSES_ROOT, "Brenna.Drawing.4\\DefaultIcon", "", shortExe + ",1");
    SetString(HKEY_CLASSES_ROOT, "Brenna.Drawing.4\\Shell\\Open\\Command", "", shortExe + " \"%1\"");
    SetString(HKEY_CURRENT_USER, PRODUCT_KEY, "Window", "0,0,640,480");
    in.keys = {{HKEY_LOCAL_MACHINE, APP_PATH_KEY},  {HKEY_LOCAL_MACHINE, UNINSTALL_KEY},
               {HKEY_LOCAL_MACHINE, PRODUCT_KEY},   {HKEY_LOCAL_MACHINE, VERSION_KEY},
               {HKEY_CLASSES_ROOT, ".kdw"},         {HKEY_CLASSES_ROOT, CLASS_KEY},
               {HKEY_CLASSES_ROOT, "Brenna.Drawing"}, {HKEY_CLASSES_ROOT, "Brenna.Drawing.4"},
               {HKEY_CURRENT_USER, PRODUCT_KEY}};

    log += "[RegKeys]\r\n";
    if (listKeys) {
        log += std::string("HKEY_LOCAL_MACHINE\\") + APP_PATH_KEY + "\r\n";
        log += std::string("HKEY_LOCAL_MACHINE\\") + UNINSTALL_KEY + "\r\n";
        log += std::string("HKEY_LOCAL_MACHINE\\") + PRODUCT_KEY + "\r\n";
        log += std::string("HKEY_LOCAL_MACHINE\\") + VERSION_KEY + "\r\n";
        log += "HKEY_CLASSES_ROOT\\.kdw\r\n";
        log += std::string("HKEY_CLASSES_ROOT\\") + CLASS_KEY + "\r\n";
        log += std::string("HKEY_CLASSES_ROOT\\") + CLASS_KEY + "\\LocalServer32\r\n";
        log += "HKEY_CLASSES_ROOT\\Brenna.Drawing\r\nHKEY_CLASSES_ROOT\\Brenna.Drawing\\CLSID\r\n";
        log += "HKEY_CLASSES_ROOT\\Brenna.Drawing.4\r\nHKEY_CLASSES_ROOT\\Brenna.Drawing.4\\Shell\\Open\\Command\r\n";
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
    EXPECT_EQ(RunSilent(in), EXIT_DONE);
    ExpectListedGone(in);
    EXPECT_TRUE(PathExists(ProgramsFolder()));  // existed before, never listed
    ExpectNothingLeft(in);
}

// A setup run over an existing installation lists no key that existed, so
// the product's own registrations are found in the registry.
TEST(Setdown, RemovesOwnRegistrationsTheLogMisses)
{
    Installation in = LayOut("再表", false);
    EXPECT_EQ(RunSilent(in), EXIT_DONE);
    ExpectListedGone(in);
    ExpectNothingLeft(in);
}

TEST(Setdown, KeepsRegistrationsOfAnotherInstallation)
{
    Installation in = LayOut("別表", false);
    // Another viewer now serves the class and the file type; App Paths and
    // an older version key lead elsewhere too.
    std::string other = "C:\\Other\\ORVIK.exe";
    SetString(HKEY_LOCAL_MACHINE, APP_PATH_KEY, "", other);
    SetString(HKEY_LOCAL_MACHINE, APP_PATH_KEY, "Path", "C:\\Other");
    SetString(HKEY_LOCAL_MACHINE, "Software\\Velmar\\Orvik\\5.0", "AppPath", other);
    SetString(HKEY_CLASSES_ROOT, std::string(CLASS_KEY) + "\\LocalServer32", "", other);
    SetString(HKEY_CLASSES_ROOT, std::string(CLASS_KEY) + "\\DefaultIcon", "", other + ",1");
    SetString(HKEY_CLASSES_ROOT, "Brenna.Drawing.4\\DefaultIcon", "", other + ",1");
    SetString(HKEY_CLASSES_ROOT, "Brenna.Drawing.4\\Shell\\Open\\Command", "", other + " \"%1\"");

    EXPECT_EQ(RunSilent(in), EXIT_DONE);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, APP_PATH_KEY));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Velmar\\Orvik\\5.0"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, PRODUCT_KEY));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, VERSION_KEY));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, UNINSTALL_KEY));
    for (const char* key : {".kdw", "Brenna.Drawing", "Brenna.Drawing.4", CLASS_KEY})
        EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, key)) << key;
    ExpectNothingLeft(in);
}

TEST(Setdown, NoChangesNothingAndYesRemoves)
{
    Installation in = LayOut("問表", true);
    Process process = StartProgram(in.CommandLine(false));
    HWND box = WaitForBox(process.id);
    ASSERT_TRUE(box);
    EXPECT_EQ(WindowText(box), CAPTION);
    EXPECT_EQ(BoxMessage(box), "ブレンナビューア for Windows Ver6.0 をアンインストールしますか?");
    PostMessageA(box, WM_COMMAND, IDNO, 0);
    EXPECT_EQ(WaitAndClose(&process), EXIT_DECLINED);
    ExpectAllPresent(in);

    process = StartProgram(in.CommandLine(false));
    box = WaitForBox(process.id);
    ASSERT_TRUE(box);
    PostMessageA(box, WM_COMMAND, IDYES, 0);
    HWND done = WaitForBox(process.id, box);
    ASSERT_TRUE(done);
    EXPECT_EQ(BoxMessage(done), "ブレンナビューア for Windows Ver6.0 をアンインストールしました。");
    PostMessageA(done, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(WaitAndClose(&process), EXIT_DONE);
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
    EXPECT_EQ(WaitAndClose(&process), EXIT_INCOMPLETE);

    EXPECT_TRUE(PathExists(held));
    EXPECT_EQ(ReadFileBytes(in.log), in.logText);
    EXPECT_TRUE(PathExists(in.setdown));
    EXPECT_FALSE(PathExists(in.dir + "\\ORVIK.DAT"));
    EXPECT_FALSE(PathExists(in.dir + "\\表示"));
    EXPECT_FALSE(PathExists(in.menu));
    for (const Key& key : in.keys) {
        bool finishing = key.path == APP_PATH_KEY || key.path == UNINSTALL_KEY;
        EXPECT_EQ(KeyExists(key.root, key.path), finishing) << key.path;
    }

    CloseHandle(file);
    std::string stored = ReadString(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, "UninstallString");
    ASSERT_EQ(stored, in.CommandLine(false));
    process = StartProgram(stored + " /S");
    EXPECT_EQ(WaitAndClose(&process), EXIT_DONE);
    ExpectListedGone(in);
    ExpectNothingLeft(in);
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
        EXPECT_EQ(RunSilent(in), EXIT_BAD_INPUT);
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
        EXPECT_EQ(RunSilent(in), EXIT_DONE);
        ExpectNothingLeft(in);
    }
}

TEST(Setdown, BadCommandLineDeletesNothing)
{
    Installation in = LayOut("引表", true);
    for (std::string line : {"\"" + in.setdown + "\" /S", "\"" + in.setdown + "\" INSTALL.LOG /S",
                             "\"" + in.setdown + "\" \"" + in.log + "\" \"" + in.log + "\" /S"}) {
        Process process = StartProgram(line);
        EXPECT_EQ(WaitAndClose(&process), EXIT_BAD_INPUT) << line;
    }
    ExpectAllPresent(in);
}

}  // namespace
