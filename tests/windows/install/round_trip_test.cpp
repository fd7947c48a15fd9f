// Install, then uninstall with the command line the installation stored,
// and compare the whole machine (drive C: and the registry) before and
// after. What remains must be exactly what INSTALL.LOG never records.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "install/install_product.h"
#include "install_test_support.h"

namespace {

const bool environment = (RegisterInstallEnvironment(), true);

// The largest log the uninstaller reads.
constexpr size_t kLogLimit = 4 * 1024 * 1024;

// Churn that Wine makes on its own while programs start and end. None was
// seen: the temporary directory, HKEY_CURRENT_USER\\Software\\Wine and the
// volatile keys came out identical in every run, so nothing is ignored but
// what the uninstaller leaves by design: the folder its copy ran from (in
// %TEMP%, under a random name, empty), which the system removes at the next
// restart.
std::vector<std::string> WineChurn()
{
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    return {std::string("F ") + temp + "~setdown",
            "V HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Session Manager|PendingFileRenameOperations"};
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

// The longest destination that the uninstall command line allows (115
// bytes): there the deepest paths a product folder may hold reach 259 bytes.
TEST(RoundTrip, LongestDestinationInstallsAndUninstalls)
{
    const std::string parent = "C:\\" + std::string(115 - 3 - 13, 'p');  // "\ブレンナ表示" is 13 bytes
    ASSERT_EQ((parent + "\\ブレンナ表示").size(), 115u);
    RoundTrip(parent, 1);
}

// Reinstallations stopped by what can be known beforehand change nothing:
// the earlier installation (files, log, links, keys) stays exactly as it
// was, and its stored command line still removes all of it.
TEST(RoundTrip, ReinstallationsStoppedBeforeAnyChangeThenUninstall)
{
    const std::string destination = "C:\\停止\\止まる";
    const std::string data = destination + "\\ORVIK.DAT";
    const std::string asFile = "C:\\停止\\ファイル";
    const Snapshot untouched = TakeSnapshot();
    OwnerWindow owner;
    ASSERT_EQ(InstallProduct(owner.get(), destination.c_str(), 1), S_OK);
    WriteWholeFile(asFile, "a file");
    // A plain reinstallation: its log is what every later one leaves.
    ASSERT_EQ(InstallProduct(owner.get(), destination.c_str(), 1), S_OK);
    const std::string log = destination + "\\INSTALL.LOG";
    const std::string earlierLog = ReadWholeFile(log);

    // A log at the limit is read; a last line without its end (a power cut's)
    // is not a line, and goes; so do lines naming what lies outside the
    // installation, which are not even looked at (another machine's share).
    const std::string partial = "C:\\停止\\止まる\\途中";
    std::string atLimit = earlierLog + "[Files]\r\nC:\\windows\\win.ini\r\n\\\\host\\share\\x\r\n";
    atLimit += std::string(kLogLimit - atLimit.size() - partial.size(), '\n') + partial;
    WriteWholeFile(log, atLimit);
    EXPECT_EQ(InstallProduct(owner.get(), destination.c_str(), 1), S_OK);
    EXPECT_EQ(ReadWholeFile(log), earlierLog);

    HANDLE held = INVALID_HANDLE_VALUE;
    PROCESS_INFORMATION running = {};
    const std::function<void()> nothing = [] {};
    struct Case {
        const char* name;
        std::string target;
        HRESULT expected;
        std::function<void()> arrange, release;
    } cases[] = {
        {"command line too long", "C:\\" + std::string(113, 'L'), HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER),
         nothing, nothing},
        {"destination is a file", asFile, HRESULT_FROM_WIN32(ERROR_DIRECTORY), nothing, nothing},
        {"data file held open", destination, HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION),
         [&] { held = CreateFileA(data.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr); },
         [&] { CloseHandle(held); }},
        {"uninstaller running", destination, HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION),
         [&] {
             // Without arguments it shows its usage and waits.
             std::string line = "\"" + destination + "\\setdown.exe\"";
             STARTUPINFOA startup = {};
             startup.cb = sizeof startup;
             ASSERT_TRUE(CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                        &running));
             WaitForInputIdle(running.hProcess, 10000);
         },
         [&] {
             TerminateProcess(running.hProcess, 0);
             WaitForSingleObject(running.hProcess, 10000);
             CloseHandle(running.hProcess);
             CloseHandle(running.hThread);
         }},
        // An earlier log the uninstaller would not read is no log of this
        // product: neither cut nor written to.
        {"earlier log past the uninstaller's limit", destination, kLogNotALog,
         [&] { WriteWholeFile(log, earlierLog + std::string(kLogLimit + 1 - earlierLog.size(), '\n')); },
         [&] { WriteWholeFile(log, earlierLog); }},
        {"earlier log with a section the uninstaller refuses", destination, kLogNotALog,
         [&] { WriteWholeFile(log, earlierLog + "[Other]\r\nC:\\Windows\r\n"); },
         [&] { WriteWholeFile(log, earlierLog); }},
        {"copy question cancelled", destination, E_ABORT,
         [&] {
             WriteWholeFile(data, "changed by the user\r\n");
             SetLastWrite(data, PayloadTime() + 86400ULL * 10000000ULL);
         },
         nothing},
    };
    Snapshot before = TakeSnapshot();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.arrange();
        if (c.expected == E_ABORT || c.expected == kLogNotALog)  // the changed file is part of the state kept
            before = TakeSnapshot();
        HRESULT result;
        {
            DialogWatcher watcher([](HWND dialog, int) { PressButton(dialog, IDCANCEL); });
            result = InstallProduct(owner.get(), c.target.c_str(), 1);
        }
        EXPECT_EQ(result, c.expected) << std::hex << result;
        EXPECT_EQ(JoinLines(Difference(before, TakeSnapshot(), {})), "");
        c.release();
    }

    std::vector<std::string> lines;
    ASSERT_TRUE(ReadLog(log, &lines));
    DeleteFileA(asFile.c_str());
    Uninstall(destination);
    ExpectLogEntriesGone(lines);
    EXPECT_EQ(JoinLines(Difference(untouched, TakeSnapshot(), WineChurn())), JoinLines({"+ F C:\\停止"}));
}
