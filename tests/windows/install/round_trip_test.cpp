// Install, then uninstall with the command line the installation stored,
// and compare the whole machine (drive C: and the registry) before and
// after. What remains must be exactly what INSTALL.LOG never records.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "install_test_support.h"
#include "setup/install_product.h"

namespace {

const bool environment = (RegisterInstallEnvironment(), true);

// Churn that Wine makes on its own while programs start and end. None was
// seen: the temporary directory, HKEY_CURRENT_USER\Software\Wine and the
// volatile keys came out identical in every run, so nothing is ignored and
// any change outside the residue below fails the test.
std::vector<std::string> WineChurn()
{
    return {};
}

bool IsUninstallerProcess(const char* name)
{
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    return lower == "setdown.exe" || lower.compare(0, 9, "~setdown") == 0;
}

int UninstallerProcesses()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return -1;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (IsUninstallerProcess(entry.szExeFile))
            ++count;
    }
    CloseHandle(snapshot);
    return count;
}

// Runs UninstallString with " /S", waits for the uninstaller and then for
// its copy that deletes setdown.exe and the directory (bounded).
void Uninstall(const std::string& destination)
{
    const std::string command = ReadString(HKEY_LOCAL_MACHINE, kUninstallKeyPath, "UninstallString");
    ASSERT_NE(command, "<missing>");
    std::vector<char> line(command.begin(), command.end());
    const char silent[] = " /S";
    line.insert(line.end(), silent, silent + sizeof silent);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        << command;
    CloseHandle(process.hThread);
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
    DWORD exitCode = 99;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);
    EXPECT_EQ(exitCode, 0u);

    bool gone = false;
    for (int i = 0; i < 600 && !gone; ++i) {
        gone = !PathExists(destination + "\\setdown.exe") && !PathExists(destination) && UninstallerProcesses() == 0;
        if (!gone)
            Sleep(100);
    }
    EXPECT_TRUE(gone) << "setdown.exe or its helper still there after 60 s";
}

// Nothing that the log listed may remain.
void ExpectLogEntriesGone(const std::vector<std::string>& lines)
{
    for (const std::string& line : lines) {
        if (line.empty() || line[0] == '[')
            continue;
        const size_t slash = line.find('\\');
        const std::string root = line.substr(0, slash);
        if (root == "HKEY_LOCAL_MACHINE")
            EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, line.substr(slash + 1))) << line;
        else if (root == "HKEY_CLASSES_ROOT")
            EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, line.substr(slash + 1))) << line;
        else if (root == "HKEY_CURRENT_USER")
            EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, line.substr(slash + 1))) << line;
        else
            EXPECT_FALSE(PathExists(line)) << line;
    }
}

void RoundTrip(const std::string& parent, int installations)
{
    const std::string destination = parent + "\\ブレンナ表示";
    // Residue by design: the parents of the destination, created before the
    // log exists. The intermediate key "Software\\Velmar" is not logged
    // either, but the uninstaller removes it once it is empty.
    std::vector<std::string> residue;
    for (std::string level = parent; level.size() > 3; level = level.substr(0, level.rfind('\\'))) {
        if (!PathExists(level))
            residue.push_back("+ F " + level);
    }
    std::sort(residue.begin(), residue.end());

    const Snapshot before = TakeSnapshot();
    OwnerWindow owner;
    for (int i = 0; i < installations; ++i)
        ASSERT_EQ(InstallProduct(owner.get(), destination.c_str(), 1), S_OK) << i;
    std::vector<std::string> lines;
    ASSERT_TRUE(ReadLog(destination + "\\INSTALL.LOG", &lines));

    Uninstall(destination);

    ExpectLogEntriesGone(lines);
    std::vector<std::string> left = Difference(before, TakeSnapshot(), WineChurn());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(JoinLines(left), JoinLines(residue));
}

}  // namespace

TEST(RoundTrip, InstallThenUninstallLeavesOnlyWhatTheLogNeverRecords)
{
    RoundTrip("C:\\Program Files\\Velmar", 1);
}

TEST(RoundTrip, ReinstallIntoTheSameDirectoryThenUninstall)
{
    RoundTrip("C:\\往復\\二回", 2);
}

// The longest destination the uninstall command line allows (115 bytes):
// there the deepest paths a product folder may hold reach 259 bytes.
TEST(RoundTrip, AtTheLongestDestination)
{
    RoundTrip("C:\\" + std::string(115 - 3 - 13, 'L'), 1);
}
