// What the uninstaller counts as this installation's: the path rules, the
// product's keys by what they hold now, and a property over random logs.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <map>
#include <random>
#include <set>

#include "ground/product_names.h"
#include "setdown_fake.h"

namespace {

const std::string kHyo = "\x95\x5C";  // 表, trail byte 5C
const std::string kSo = "\x83\x5C";   // ソ, trail byte 5C
const std::string kPo = "\x83\x7C";   // ポ, trail byte 7C ("|")
const std::string kDir = "C:\\Program Files\\ブレンナ" + kHyo;
const std::string kShortDir = "C:\\PROGRA~1\\BURENN~1";
const std::string kMenu = "C:\\ProgramData\\Start Menu\\Programs\\ブレンナビューア for Windows Ver6.0";
const std::string kLink = "C:\\users\\Public\\Desktop\\ブレンナビューア for Windows.lnk";

InstallationPlaces Places(const std::string& dir = kDir)
{
    InstallationPlaces places;
    places.directory = dir == kDir ? Forms({kDir, kShortDir}) : Forms({dir});
    places.menuFolder = Forms({kMenu});
    places.desktopLink = Forms({kLink});
    return places;
}

// The system knows the short form of the installation directory.
FakeSystem WithShortForm()
{
    FakeSystem system;
    system.shortForms = {{kDir, kShortDir}};
    return system;
}

TEST(SetdownScope, FilesAndDirectoriesOnlyWhereTheSetupPutsThem)
{
    FakeSystem system = WithShortForm();
    SystemView view = system.View();
    struct Case {
        std::string path;
        bool file, dir;
    } cases[] = {
        {kDir + "\\ORVIK.exe", true, true},
        {"c:\\program files\\ブレンナ" + kHyo + "\\sub\\" + kSo + ".dat", true, true},
        {kShortDir + "\\ORVIK.exe", true, true},
        {"C:\\PROGRA~1\\BURENN~1\\Sub", true, true},
        {kMenu, false, true},
        {kMenu + "\\ブレンナビューア for Windows.lnk", true, true},
        {kLink, true, false},
        {"c:\\USERS\\public\\desktop\\ブレンナビューア for Windows.lnk", true, false},
        // Neighbours: a longer name, a parent, the directory itself, other links.
        {kDir + "2\\ORVIK.exe", false, false},
        {"C:\\Program Files\\ブレンナ\\ORVIK.exe", false, false},
        {"C:\\Program Files\\ORVIK.exe", false, false},
        {kDir, false, false},
        {"C:\\users\\Public\\Desktop\\other.lnk", false, false},
        {kMenu + " (2)\\a.lnk", false, false},
        // 表 and ソ differ only in their lead byte; ポ is not 表 with "|".
        {"C:\\Program Files\\ブレンナ" + kSo + "\\ORVIK.exe", false, false},
        {"C:\\Program Files\\ブレンナ\x95|\\ORVIK.exe", false, false},
        {kDir + "\\" + kPo, true, true},
        // Names the system reads differently never match.
        {kDir + "\\..\\..\\Windows\\win.ini", false, false},
        {kDir + "\\.\\ORVIK.exe", false, false},
        {kDir + "\\NUL", false, false},
        {kDir + "\\com1.txt", false, false},
        {kDir + "\\Con .log", false, false},
        {kDir + "\\ORVIK.exe:stream", false, false},
        {kDir + "\\ORVIK.exe.", false, false},
        {kDir + "\\ORVIK.exe ", false, false},
        {kDir + "\\a*", false, false},
        {kDir + "\\\x95", false, false},
        {"\\\\server\\share\\Program Files\\ブレンナ" + kHyo + "\\ORVIK.exe", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsOwnFile(c.path.c_str(), Places(), view), c.file) << c.path;
        EXPECT_EQ(IsOwnDirectory(c.path.c_str(), Places(), view), c.dir) << c.path;
    }

    // A drive or share root: the product's own files directly in it, nothing else.
    for (std::string root : {"C:\\", "\\\\server\\share\\"}) {
        InstallationPlaces places = Places(root);
        EXPECT_TRUE(IsOwnFile((root + "ORVIK.exe").c_str(), places, view)) << root;
        EXPECT_TRUE(IsOwnFile((root + "orvik.dat").c_str(), places, view)) << root;
        for (std::string other : {"boot.ini", "Windows\\ORVIK.exe", "sub\\ORVIK.DAT", "ORVIK.exe.bak"}) {
            EXPECT_FALSE(IsOwnFile((root + other).c_str(), places, view)) << root + other;
            EXPECT_FALSE(IsOwnDirectory((root + other).c_str(), places, view)) << root + other;
        }
    }
}

TEST(SetdownScope, ProgramNamedInAValue)
{
    PathForms dirs = Forms({kDir, kShortDir, "C:\\"});
    struct Case {
        std::string text;
        bool names;
    } cases[] = {
        {kDir + "\\ORVIK.exe", true},
        {"\"" + kDir + "\\orvik.EXE\" \"%1\"", true},
        {kShortDir + "\\ORVIK.exe \"%1\"", true},
        {kShortDir + "\\ORVIK.exe,1", true},
        {"C:\\ORVIK.exe", true},
        {kDir + "\\ORVIK.exe2", false},
        {kDir + "\\sub\\ORVIK.exe", false},
        {"\"" + kDir + "\\ORVIK.exe", false},
        {"C:\\Other\\ORVIK.exe", false},
        {"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NamesProgramIn(c.text.c_str(), dirs, kExecutableName), c.names) << c.text;
}

// The product's keys as this installation writes them.
// dir without a trailing separator; location as the setup was given it.
void Register(FakeSystem* r, const std::string& dir, const std::string& shortDir, std::string location = "")
{
    if (location.empty())
        location = dir;
    std::string exe = dir + "\\ORVIK.exe";
    r->Set(RegRoot::LocalMachine, kAppPathKeyPath, "", exe);
    r->Set(RegRoot::LocalMachine, kUninstallKeyPath, "UninstallString",
           "\"" + dir + "\\setdown.exe\" \"" + dir + "\\INSTALL.LOG\"");
    r->Set(RegRoot::LocalMachine, kProductKeyPath, "AppPath", exe);
    r->Set(RegRoot::LocalMachine, std::string(kProductKeyPath) + "\\6.0", "Path", location);
    r->Set(RegRoot::CurrentUser, kProductKeyPath, "Window", "0,0,640,480");
    r->Set(RegRoot::ClassesRoot, kDrawingExtension, "", kDrawingVersionProgId);
    r->Set(RegRoot::ClassesRoot, std::string(kDrawingClassKeyPath) + "\\LocalServer32", "", shortDir + "\\ORVIK.exe");
    r->Set(RegRoot::ClassesRoot, std::string(kDrawingProgId) + "\\CLSID", "", kDrawingClassId);
    r->Set(RegRoot::ClassesRoot, std::string(kDrawingVersionProgId) + "\\CLSID", "", kDrawingClassId);
}

TEST(SetdownScope, KeysOnlyWhileTheyLeadToThisInstallation)
{
    const std::string kVersion = "HKEY_LOCAL_MACHINE\\Software\\Velmar\\Orvik\\6.0";
    const std::string kProduct = "HKEY_LOCAL_MACHINE\\Software\\Velmar\\Orvik";
    const std::string kUser = "HKEY_CURRENT_USER\\Software\\Velmar\\Orvik";
    const std::string kClass = std::string("HKEY_CLASSES_ROOT\\") + kDrawingClassKeyPath;
    const std::string kKdw = "HKEY_CLASSES_ROOT\\.kdw", kProg = "HKEY_CLASSES_ROOT\\" ORVIK_DRAWING_PROGID,
                      kProg4 = "HKEY_CLASSES_ROOT\\" ORVIK_DRAWING_VERSION_PROGID;
    const std::string kApp = std::string("HKEY_LOCAL_MACHINE\\") + kAppPathKeyPath;
    const std::string kUninstall = std::string("HKEY_LOCAL_MACHINE\\") + kUninstallKeyPath;
    struct Case {
        const char* name;
        void (*change)(FakeSystem*);
        std::set<std::string> keys, finishing;
    } cases[] = {
        {"all ours", [](FakeSystem*) {}, {kVersion, kProduct, kUser, kClass, kKdw, kProg, kProg4}, {kApp, kUninstall}},
        {"another program took .kdw",
         [](FakeSystem* r) { r->Set(RegRoot::ClassesRoot, kDrawingExtension, "", "Other.Document"); },
         {kVersion, kProduct, kUser, kClass, kProg, kProg4}, {kApp, kUninstall}},
        {"another viewer serves the class",
         [](FakeSystem* r) {
             r->Set(RegRoot::ClassesRoot, std::string(kDrawingClassKeyPath) + "\\LocalServer32", "",
                    "C:\\Other\\ORVIK.exe");
         },
         {kVersion, kProduct, kUser}, {kApp, kUninstall}},
        {"a ProgID leads to another class",
         [](FakeSystem* r) {
             r->Set(RegRoot::ClassesRoot, ORVIK_DRAWING_PROGID "\\CLSID", "", "{00000000-0000-0000-0000-000000000000}");
         },
         {kVersion, kProduct, kUser, kClass, kKdw, kProg4}, {kApp, kUninstall}},
        {"another installation's version key",
         [](FakeSystem* r) { r->Set(RegRoot::LocalMachine, "Software\\Velmar\\Orvik\\5.0", "Path", "C:\\Old"); },
         {kVersion, kClass, kKdw, kProg, kProg4}, {kApp, kUninstall}},
        {"installed again elsewhere",
         [](FakeSystem* r) { Register(r, "D:\\Orvik", "D:\\Orvik"); },
         {}, {}},
    };
    for (const Case& c : cases) {
        FakeSystem registry;
        Register(&registry, kDir, kShortDir);
        c.change(&registry);
        OwnKeys own;
        FindOwnKeys(Places(), registry.View(), &own);
        EXPECT_EQ(Names(own.keys), c.keys) << c.name;
        EXPECT_EQ(Names(own.finishing), c.finishing) << c.name;
        FreeOwnKeys(&own);
    }
}

TEST(SetdownPlan, ReversesOnceKeepsLastAndNamesForeignLines)
{
    FakeSystem registry = WithShortForm();
    Register(&registry, kDir, kShortDir);
    registry.Set(RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows", "", "");
    registry.Set(RegRoot::ClassesRoot, ".kdw\\OpenWithProgids", "Other.Document", "");
    auto log = Parse("[Files]\r\n" + kDir + "\\a\r\n" + kDir + "\\b\r\n" + kDir + "\\A\r\n" + kDir +
                     "\\setdown.exe\r\n" + kDir + "\\INSTALL.LOG\r\nC:\\Windows\\win.ini\r\n"
                     "[Dirs]\r\n" + kDir + "\\d\r\n" + kMenu + "\r\n" + kDir + "\r\n"
                     "[RegKeys]\r\nHKEY_CLASSES_ROOT\\" + kDrawingServerKeyPath + "\r\n"
                     "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\r\n"
                     "HKEY_CLASSES_ROOT\\CLSID\\{00000000-0000-0000-0000-000000000000}\r\n"
                     "HKEY_CLASSES_ROOT\\.kdw\\OpenWithProgids\r\n");
    ASSERT_TRUE(log->ok);
    Plan p(log->contents, Places(), registry.View(), {kDir + "\\INSTALL.LOG", kDir + "\\SETDOWN.EXE", kDir});
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(Strings(p.plan.files), (std::vector<std::string>{kDir + "\\A", kDir + "\\b"}));
    EXPECT_EQ(Strings(p.plan.dirs), (std::vector<std::string>{kMenu, kDir + "\\d"}));
    // The missing foreign key is not named; the class's subkey goes with the
    // class; another program's entry below ".kdw" is not ours.
    EXPECT_EQ(Strings(p.plan.notOurs),
              (std::vector<std::string>{"C:\\Windows\\win.ini", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows",
                                        "HKEY_CLASSES_ROOT\\.kdw\\OpenWithProgids"}));
    ASSERT_EQ(p.plan.finishing.count, 2u);
    EXPECT_STREQ(p.plan.finishing.items[1].path, kUninstallKeyPath);
}

// What the log cannot hide: the short form of a file kept for last, the
// product's files it does not list (a reinstall that kept a newer data file,
// or a log re-saved as UTF-8, which names none of them), and an item that
// is now of another kind.
TEST(SetdownPlan, KeptFilesInEveryFormProductFilesWhateverTheLogSays)
{
    const std::string exe = kDir + "\\ORVIK.exe", dat = kDir + "\\ORVIK.DAT";
    const std::vector<std::string> kept = {kDir + "\\INSTALL.LOG", kDir + "\\setdown.exe", kDir};
    const std::string utf8Dir = "C:\\Program Files\\\xE3\x83\x96\xE8\xA1\xA8";  // ブ表 in UTF-8
    struct Case {
        const char* name;
        std::string log;
        std::vector<std::string> files, dirs, notOurs;
    } cases[] = {
        {"short forms of the log and the uninstaller",
         "[Files]\r\n" + kShortDir + "\\INSTALL.LOG\r\n" + kShortDir + "\\SETDOWN.EXE\r\n" + exe + "\r\n[Dirs]\r\n" +
             kShortDir + "\r\n",
         {exe, dat}, {}, {}},
        {"newer data file kept by a reinstall", "[Files]\r\n" + exe + "\r\n", {exe, dat}, {}, {}},
        {"short form of a listed product file", "[Files]\r\n" + kShortDir + "\\ORVIK.DAT\r\n",
         {kShortDir + "\\ORVIK.DAT", exe}, {}, {}},
        {"re-saved as UTF-8", "[Files]\r\n" + utf8Dir + "\\ORVIK.exe\r\n[Dirs]\r\n" + utf8Dir + "\\sub\r\n",
         {exe, dat}, {}, {utf8Dir + "\\ORVIK.exe", utf8Dir + "\\sub"}},
        {"a file became a directory and the reverse",
         "[Files]\r\n" + kDir + "\\now-dir\r\n[Dirs]\r\n" + kDir + "\\now-file\r\n",
         {exe, dat}, {}, {kDir + "\\now-dir", kDir + "\\now-file"}},
        // What a setup stopped dead left under its temporary names, in the
        // directory and in listed ones; names off the rule, a directory of
        // such a name and the Start-menu folder are not looked at.
        {"temporaries of a stopped setup",
         "[Dirs]\r\n" + kDir + "\\sub\r\n" + kMenu + "\r\n[Files]\r\n" + kDir + "\\sub\\a\r\n",
         {kDir + "\\sub\\a", exe, dat, kDir + "\\orv0123456789abcdef.tmp", kDir + "\\sub\\ORVFEDCBA9876543210.TMP"},
         {kMenu, kDir + "\\sub"}, {}},
    };
    for (const Case& c : cases) {
        FakeSystem system = WithShortForm();
        Register(&system, kDir, kShortDir);
        for (const std::string& path : {exe, dat, kDir + "\\now-file"})
            system.SetKind(path, ItemKind::File);
        system.SetKind(kDir + "\\now-dir", ItemKind::Directory);
        if (c.log.find("\\sub\\a") != std::string::npos) {
            for (const std::string& path : {kDir + "\\orv0123456789abcdef.tmp", kDir + "\\sub\\ORVFEDCBA9876543210.TMP",
                                            kDir + "\\ORV0123.TMP", kDir + "\\ORV0123456789ABCDEF0.TMP",
                                            kMenu + "\\ORV2222222222222222.TMP"})
                system.SetKind(path, ItemKind::File);
            system.SetKind(kDir + "\\ORV1111111111111111.TMP", ItemKind::Directory);
        }
        auto log = Parse(c.log);
        ASSERT_TRUE(log->ok) << c.name;
        Plan p(log->contents, Places(), system.View(), kept);
        EXPECT_EQ(Strings(p.plan.files), c.files) << c.name;
        EXPECT_EQ(Strings(p.plan.dirs), c.dirs) << c.name;
        EXPECT_EQ(Strings(p.plan.notOurs), c.notOurs) << c.name;
        EXPECT_EQ(p.plan.finishing.count, 2u) << c.name;
    }
    // A missing product file is not planned; a directory of that name is not the product's.
    FakeSystem system;
    system.SetKind(exe, ItemKind::Directory);
    auto log = Parse("");
    Plan p(log->contents, Places(), system.View(), kept);
    EXPECT_EQ(p.plan.files.count, 0u);
}

// Random logs in the real format: whatever they list, every planned item is
// one the generator made as this installation's. SETDOWN_SEED repeats a run.
TEST(SetdownPlan, RandomLogsPlanNothingOutsideTheInstallation)
{
    unsigned seed = std::getenv("SETDOWN_SEED") ? std::strtoul(std::getenv("SETDOWN_SEED"), nullptr, 10)
                                                : std::random_device()();
    SCOPED_TRACE("SETDOWN_SEED=" + std::to_string(seed));
    std::mt19937 random(seed);
    auto pick = [&](const std::vector<std::string>& from) { return from[random() % from.size()]; };
    auto flipCase = [&](std::string text) {
        for (size_t i = 0; i < text.size(); ++i) {
            if (static_cast<unsigned char>(text[i]) >= 0x80)
                ++i;  // a double-byte character stays as it is
            else if (random() % 2)
                text[i] = static_cast<char>(std::isupper(static_cast<unsigned char>(text[i])) ? std::tolower(text[i])
                                                                                                : std::toupper(text[i]));
        }
        return text;
    };
    const std::vector<std::string> names = {"ORVIK.exe", "ORVIK.DAT", kHyo, kSo, kPo, "見本.kdw", "a b", "x" + kHyo + "y"};
    const std::vector<std::string> bad = {".", "..", "NUL", "con.txt", "COM9", "LPT1.x", "a.", "a ", "a:b", "*"};
    const std::vector<std::string> foreignDirs = {
        "C:\\Windows", "C:\\Program Files", "C:\\Program Files\\ブレンナ", "C:\\Program Files\\ブレンナ" + kSo,
        kDir + "x", "\\\\server\\share", "D:", "C:\\ProgramData\\Start Menu\\Programs", "C:\\users\\Public\\Desktop"};
    const std::vector<std::string> roots = {"C:\\", "\\\\server\\share\\"};

    for (int round = 0; round < 300; ++round) {
        bool rootInstall = random() % 4 == 0;
        std::string dir = rootInstall ? pick(roots) : kDir;
        std::string bare = rootInstall ? dir.substr(0, dir.size() - 1) : kDir;  // no trailing separator
        InstallationPlaces places = Places(dir);
        std::vector<std::string> ownFiles, ownDirs;
        std::string text;
        for (int section = 0; section < 6; ++section) {
            int kind = random() % 3;
            text += kind == 0 ? "[Files]\r\n" : kind == 1 ? "[Dirs]\r\n" : "[RegKeys]\r\n";
            for (int line = random() % 6; line > 0; --line) {
                std::string entry;
                bool ours = false;
                if (kind == 2) {
                    const char* rootNames[] = {"HKEY_LOCAL_MACHINE\\", "HKEY_CLASSES_ROOT\\", "HKEY_CURRENT_USER\\"};
                    entry = rootNames[random() % 3] +
                            pick({"SOFTWARE", "CLSID", "Software\\Velmar", kProductKeyPath, kAppPathKeyPath,
                                  kUninstallKeyPath, kDrawingExtension, kDrawingClassKeyPath,
                                  ORVIK_DRAWING_VERSION_PROGID "\\CLSID",
                                  "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"});
                } else {
                    int where = random() % 5;
                    std::string base = where == 0   ? (rootInstall ? bare : pick({kDir, kShortDir}))
                                       : where == 1 ? kMenu
                                       : where == 2 ? kLink.substr(0, kLink.rfind('\\'))
                                                    : pick(foreignDirs);
                    if (rootInstall && EqualsIgnoreCase(base.c_str(), bare.c_str()))
                        where = 0;  // a foreign directory that is this installation's root
                    std::string name = random() % 5 == 0 ? pick(bad) : pick(names);
                    bool plain = std::find(bad.begin(), bad.end(), name) == bad.end();
                    bool direct = random() % 3 != 0;
                    entry = flipCase(base) + "\\" + name + (direct ? "" : "\\" + pick(names));
                    if (where == 0 && plain)
                        ours = !rootInstall || (direct && kind == 0 && (name == "ORVIK.exe" || name == "ORVIK.DAT"));
                    if (where == 1 && plain)
                        ours = true;
                    if (where == 2 && random() % 2) {
                        entry = flipCase(kLink);
                        ours = kind == 0;
                    }
                }
                if (ours)
                    (kind == 0 ? ownFiles : ownDirs).push_back(entry);
                text += entry + "\r\n";
            }
        }
        // The registry leads to this installation or to another one.
        bool registeredHere = random() % 3 != 0;
        FakeSystem registry;
        if (registeredHere)
            Register(&registry, bare, rootInstall ? bare : kShortDir, dir);
        else
            Register(&registry, "D:\\Other", "D:\\Other");

        auto log = Parse(text);
        if (!log->ok)
            continue;  // refused as a whole: nothing is removed
        Plan planned(log->contents, places, registry.View());
        const RemovalPlan& plan = planned.plan;
        auto among = [](const std::string& path, const std::vector<std::string>& set) {
            for (const std::string& have : set) {
                if (EqualsIgnoreCase(have.c_str(), path.c_str()))
                    return true;
            }
            return false;
        };
        std::vector<std::string> files = Strings(plan.files), dirs = Strings(plan.dirs);
        for (const std::string& path : files)
            EXPECT_TRUE(among(path, ownFiles)) << path << "\n" << text;
        for (const std::string& path : dirs)
            EXPECT_TRUE(among(path, ownDirs)) << path << "\n" << text;
        for (const std::string& path : ownFiles)
            EXPECT_TRUE(among(path, files)) << path << "\n" << text;
        for (const std::string& path : ownDirs)
            EXPECT_TRUE(among(path, dirs)) << path << "\n" << text;
        std::set<std::string> keys = Names(plan.keys), finishing = Names(plan.finishing);
        if (registeredHere) {
            EXPECT_EQ(keys.size(), 7u) << text;
            EXPECT_EQ(finishing.size(), 2u) << text;
        } else {
            EXPECT_TRUE(keys.empty() && finishing.empty()) << text;
        }
    }
}

}  // namespace
