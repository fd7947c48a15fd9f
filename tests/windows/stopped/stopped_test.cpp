// Stages of installations and uninstalls stopped dead; run_killed.sh runs
// them in one prefix and ends every process of it at chosen points. The
// destination comes from ORVIK_CRASH_DIR.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "ground/temporary_name.h"
#include "install/install_product.h"
#include "install_test_support.h"

namespace {

const bool environment = (RegisterInstallEnvironment(), true);

std::string Destination()
{
    const char* dir = std::getenv("ORVIK_CRASH_DIR");
    return dir != nullptr ? dir : "C:\\Crash\\Default";
}

std::string Upper(std::string text)
{
    CharUpperBuffA(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

// Every file and directory below dir, as full paths.
void Walk(const std::string& dir, std::vector<std::string>* files, std::vector<std::string>* dirs)
{
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        const std::string path = dir + "\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            dirs->push_back(path);
            Walk(path, files, dirs);
        } else {
            files->push_back(path);
        }
    } while (FindNextFileA(find, &found));
    FindClose(find);
}

bool IsTemporary(const std::string& path)
{
    return IsTemporaryName(path.c_str() + path.rfind('\\') + 1);
}

}  // namespace

TEST(CrashStage, Install)
{
    OwnerWindow owner;
    ASSERT_EQ(InstallProduct(owner.get(), Destination().c_str(), 1), S_OK);
}

TEST(CrashStage, Uninstall)
{
    Uninstall(Destination());
}

// The setup run again finishes the installation and removes what the run
// before left half-written.
TEST(CrashStage, InstallAgainLeavesNothingHalfWritten)
{
    OwnerWindow owner;
    ASSERT_EQ(InstallProduct(owner.get(), Destination().c_str(), 1), S_OK);
    std::vector<std::string> files, dirs;
    Walk(Destination(), &files, &dirs);
    for (const std::string& file : files)
        EXPECT_FALSE(IsTemporary(file)) << file;
    ExpectInstalled(Destination(), true);
}

// Whatever a stopped run left: everything in the destination is listed in
// the log (or is the log, the uninstaller or a temporary by its name), the
// uninstall entry exists, and its command leaves nothing of the product.
TEST(CrashStage, StoredCommandRemovesEverything)
{
    const std::string destination = Destination();
    std::vector<std::string> files, dirs;
    Walk(destination, &files, &dirs);
    ASSERT_FALSE(files.empty());
    std::vector<std::string> lines;
    ASSERT_TRUE(ReadLog(destination + "\\INSTALL.LOG", &lines));
    std::set<std::string> listed;
    for (const std::string& line : lines)
        listed.insert(Upper(line));
    size_t temporaries = 0;
    for (const std::string& file : files) {
        if (IsTemporary(file)) {
            ++temporaries;
            continue;
        }
        const std::string name = Upper(file.substr(file.rfind('\\') + 1));
        if (name == "INSTALL.LOG" || name == "SETDOWN.EXE")
            continue;
        EXPECT_TRUE(listed.count(Upper(file))) << "not in the log: " << file;
    }
    for (const std::string& dir : dirs)
        EXPECT_TRUE(listed.count(Upper(dir))) << "not in the log: " << dir;
    std::printf("%u files, %u directories, %u temporaries in %s\n", static_cast<unsigned>(files.size()),
                static_cast<unsigned>(dirs.size()), static_cast<unsigned>(temporaries), destination.c_str());
    ASSERT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, installed::kUninstallKey));

    Uninstall(destination);

    EXPECT_FALSE(PathExists(destination));
    EXPECT_FALSE(PathExists(StartMenuFolder()));
    EXPECT_FALSE(PathExists(DesktopShortcut()));
    for (const char* key : {installed::kAppPathKey, installed::kUninstallKey, installed::kVendorKey})
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, key)) << key;
    for (const char* key : {installed::kExtension, installed::kProgId, installed::kVersionProgId, installed::kClassKey})
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, key)) << key;
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, installed::kProductKey));
    files.clear();
    dirs.clear();
    Walk("C:\\Crash", &files, &dirs);
    EXPECT_EQ(JoinLines(files), "");
}
