// The installation meeting faults: a destination that is not a full path, a
// registry that refuses a key, a disk that runs full. Whatever existed
// before stays as it was, and INSTALL.LOG names exactly what exists.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "install/install_product.h"
#include "install_test_support.h"

namespace {

const bool environment = (RegisterInstallEnvironment(), true);

const HRESULT kChildMustBeVolatile = HRESULT_FROM_WIN32(ERROR_CHILD_MUST_BE_VOLATILE);

// A key the system refuses lasting children below; its old content goes.
void MakeVolatile(const std::string& key)
{
    DeleteKeyTree(HKEY_LOCAL_MACHINE, key);
    HKEY handle;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                              nullptr, &handle, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(handle);
}

// Names of the plain files in directory.
std::set<std::string> FilesIn(const std::string& directory)
{
    std::set<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((directory + "\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.insert(entry.cFileName);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return names;
}

// Every logged file exists; with allWritten, every file of the destination
// but the log itself and the unlogged uninstaller is logged, so no partial
// member or temporary file is left.
void ExpectLogListsExactlyWhatExists(const std::string& destination, bool allWritten)
{
    std::vector<std::string> lines;
    ASSERT_TRUE(ReadLog(destination + "\\INSTALL.LOG", &lines));
    std::set<std::string> logged;
    for (const std::string& line : lines) {
        if (line[0] == '[')
            continue;
        EXPECT_TRUE(LogEntryExists(line)) << line;
        if (line.compare(0, destination.size() + 1, destination + "\\") == 0)
            logged.insert(line.substr(destination.size() + 1));
    }
    for (const std::string& name : FilesIn(destination)) {
        if (allWritten && name != "INSTALL.LOG" && name != "setdown.exe") {
            EXPECT_TRUE(logged.count(name)) << name << " exists unlogged";
        }
    }
}

}  // namespace

// Each form is refused before the removal of earlier versions: the earlier
// installation and the whole of drive C: stay exactly as they were.
TEST(DestinationForm, RefusedBeforeAnythingChanges)
{
    OwnerWindow owner;
    const std::string earlier = "C:\\Program Files\\Velmar\\Orvik";
    ASSERT_EQ(InstallProduct(owner.get(), earlier.c_str(), 1), S_OK);
    const Snapshot before = TakeSnapshot();
    const char* const refused[] = {
        "", "Orvik", "..\\x", "C:Orvik", "\\Orvik", "C:\\Apps\\\\Orvik", "C:/Apps/Orvik", "C:\\Apps/Orvik",
        "C:\\Apps\\.\\Orvik", "C:\\Apps\\..\\Orvik", "C:\\Orvik.", "C:\\Orvik ", "C:\\Apps\\CON",
        "C:\\Apps\\nul.txt", "C:\\Or|vik", "C:\\Or?vik", "C:\\Or\"vik", "C:\\Apps\\\x83"};
    for (const char* destination : refused)
        EXPECT_EQ(InstallProduct(owner.get(), destination, 1), E_INVALIDARG) << destination;
    EXPECT_EQ(JoinLines(Difference(before, TakeSnapshot(), {})), "");
    EXPECT_FALSE(PathExists("Orvik"));
    ExpectInstalled(earlier, true);

    // Trail bytes 5C and 7C are parts of names: 表 (95 5C), ソ (83 5C), ポ (83 7C).
    const std::string japanese = "C:\\表\\ソポ\\";
    ASSERT_EQ(InstallProduct(owner.get(), japanese.c_str(), 1), S_OK);
    EXPECT_TRUE(SameAsPayload("C:\\表\\ソポ\\ORVIK.exe", "ORVIK.exe"));
}

// One registration step refused at a time (one ctest entry and prefix per
// case): the result reaches InstallProduct, and the log lists exactly the
// keys created before the refused one.
struct RegistryCase {
    const char* name;
    const char* volatileKey;  // the parent of the key that cannot be created
    std::string refusedLine;  // its log line, had it been created
    bool productWritten;      // the uninstall entry, written before the product's files, was not refused
};

class RegistryRefusal : public ::testing::TestWithParam<RegistryCase> {};

TEST_P(RegistryRefusal, FailureReachesTheResultAndTheLogStopsThere)
{
    const RegistryCase& c = GetParam();
    MakeVolatile(c.volatileKey);
    const std::string destination = "C:\\Program Files\\Velmar\\Orvik";
    OwnerWindow owner;
    EXPECT_EQ(InstallProduct(owner.get(), destination.c_str(), 1), kChildMustBeVolatile);

    LogExpectation expectation;
    expectation.destination = destination;
    std::vector<std::string> expected = ExpectedLog(expectation);
    const auto refused = std::find(expected.begin(), expected.end(), c.refusedLine);
    ASSERT_NE(refused, expected.end()) << c.refusedLine;
    expected.erase(c.productWritten ? refused : expected.begin(), expected.end());
    if (!expected.empty() && expected.back() == "[RegKeys]")
        expected.pop_back();
    // The entry exists since before the product's first file; the log lists
    // it only at its place after App Paths.
    EXPECT_EQ(KeyExists(HKEY_LOCAL_MACHINE, installed::kUninstallKey), c.productWritten);
    std::vector<std::string> lines;
    ASSERT_TRUE(ReadLog(destination + "\\INSTALL.LOG", &lines));
    EXPECT_EQ(JoinLines(lines), JoinLines(expected));
    for (const std::string& line : lines) {
        const std::string prefix = "HKEY_LOCAL_MACHINE\\";
        if (line.compare(0, prefix.size(), prefix) == 0)
            EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, line.substr(prefix.size()))) << line;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Steps, RegistryRefusal,
    ::testing::Values(
        RegistryCase{"AppPaths", "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths",
                     std::string("HKEY_LOCAL_MACHINE\\") + installed::kAppPathKey, true},
        RegistryCase{"Uninstall", "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
                     std::string("HKEY_LOCAL_MACHINE\\") + installed::kUninstallKey, false},
        RegistryCase{"Application", "Software\\Velmar", std::string("HKEY_LOCAL_MACHINE\\") + installed::kProductKey,
                     true}),
    [](const ::testing::TestParamInfo<RegistryCase>& info) { return std::string(info.param.name); });

// Drive F: is a small tmpfs (run_on_full_disk.sh). A filler file leaves
// room for the uninstaller but not for ORVIK.exe.
const char kFullDrive[] = "F:\\";

void FillDriveLeaving(unsigned long long room)
{
    ULARGE_INTEGER free;
    ASSERT_TRUE(GetDiskFreeSpaceExA(kFullDrive, &free, nullptr, nullptr));
    ASSERT_GT(free.QuadPart, room);
    WriteWholeFile(std::string(kFullDrive) + "filler", std::string(free.QuadPart - room, 'f'));
}

unsigned long long RoomForUninstaller()
{
    return PayloadFile("setdown.exe").size() + 4 * 4096;
}

TEST(FullDisk, FirstInstallationFailsAndLogsOnlyWhatExists)
{
    FillDriveLeaving(RoomForUninstaller());
    const std::string destination = "F:\\Orvik";
    OwnerWindow owner;
    const HRESULT result = InstallProduct(owner.get(), destination.c_str(), 1);
    EXPECT_NE(result, S_OK);
    printf("install onto a full disk: 0x%08lx\n", static_cast<unsigned long>(result));
    EXPECT_TRUE(SameAsPayload(destination + "\\setdown.exe", "setdown.exe"));
    EXPECT_FALSE(PathExists(destination + "\\ORVIK.exe"));
    ExpectLogListsExactlyWhatExists(destination, true);
    EXPECT_FALSE(PathExists(StartMenuShortcut()));
    DeleteFileA((std::string(kFullDrive) + "filler").c_str());
    for (const std::string& name : FilesIn(destination))
        DeleteFileA((destination + "\\" + name).c_str());
}

TEST(FullDisk, ReinstallationLeavesEveryFileAsItWas)
{
    const std::string destination = "F:\\Again";
    OwnerWindow owner;
    ASSERT_EQ(InstallProduct(owner.get(), destination.c_str(), 1), S_OK);
    const std::string data = destination + "\\ORVIK.DAT";
    WriteWholeFile(data, "changed by the user\r\n");
    SetLastWrite(data, PayloadTime() + 86400ULL * 10000000ULL);
    WriteWholeFile(destination + "\\setdown.exe", "an older uninstaller");
    std::map<std::string, std::string> before;
    for (const std::string& name : FilesIn(destination))
        before[name] = ReadWholeFile(destination + "\\" + name);

    FillDriveLeaving(RoomForUninstaller());
    // The question comes before anything changes; the preselected answer
    // keeps the newer ORVIK.DAT, and the disk runs full after the removal.
    DialogWatcher watcher([](HWND dialog, int) { PressButton(dialog, IDOK); });
    EXPECT_EQ(InstallProduct(owner.get(), destination.c_str(), 1), HRESULT_FROM_WIN32(ERROR_DISK_FULL));
    EXPECT_EQ(watcher.Count(), 1);

    // Replaced in one step once complete, or not at all.
    for (const auto& [name, bytes] : before) {
        if (name == "setdown.exe")
            EXPECT_TRUE(ReadWholeFile(destination + "\\" + name) == bytes ||
                        SameAsPayload(destination + "\\" + name, "setdown.exe"));
        else if (name != "INSTALL.LOG")
            EXPECT_EQ(ReadWholeFile(destination + "\\" + name), bytes) << name;
    }
    EXPECT_EQ(FilesIn(destination).size(), before.size());  // no temporary file left
    ExpectLogListsExactlyWhatExists(destination, false);

    // Still removable as a whole: the log names the earlier files, and the
    // uninstall entry that starts the uninstaller is there.
    std::vector<std::string> lines;
    ASSERT_TRUE(ReadLog(destination + "\\INSTALL.LOG", &lines));
    for (const char* name : {"ORVIK.exe", "ORVIK.DAT"})
        EXPECT_NE(std::find(lines.begin(), lines.end(), destination + "\\" + name), lines.end()) << name;
    DeleteFileA((std::string(kFullDrive) + "filler").c_str());
    if (!SameAsPayload(destination + "\\setdown.exe", "setdown.exe"))  // the stand-in cannot run
        WriteWholeFile(destination + "\\setdown.exe", PayloadFile("setdown.exe"));
    Uninstall(destination);
    ExpectLogEntriesGone(lines);
    for (const char* key : {installed::kUninstallKey, installed::kAppPathKey, installed::kProductKey})
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, key)) << key;
}

// What a run stopped dead while writing a new file leaves: the file, listed
// last, half-written and newer than its member. The next run replaces it
// without asking, as it would a file it had never finished.
TEST(StoppedDead, HalfWrittenNewFileIsReplacedWithoutAsking)
{
    const std::string destination = "C:\\Stopped";
    OwnerWindow owner;
    ASSERT_EQ(InstallProduct(owner.get(), destination.c_str(), 1), S_OK);
    const std::string data = destination + "\\ORVIK.DAT";
    const std::string log = ReadWholeFile(destination + "\\INSTALL.LOG");
    const size_t line = log.find(data + "\r\n");
    ASSERT_NE(line, std::string::npos);
    WriteWholeFile(destination + "\\INSTALL.LOG", log.substr(0, line + data.size() + 2));
    WriteWholeFile(data, PayloadFile("ORVIK.DAT").substr(0, 100));

    DialogWatcher watcher([](HWND dialog, int) { PressButton(dialog, IDOK); });
    EXPECT_EQ(InstallProduct(owner.get(), destination.c_str(), 1), S_OK);
    EXPECT_EQ(watcher.Count(), 0);
    EXPECT_TRUE(SameAsPayload(data, "ORVIK.DAT"));
    EXPECT_EQ(FilesIn(destination), (std::set<std::string>{"INSTALL.LOG", "ORVIK.DAT", "ORVIK.exe", "setdown.exe"}));
    Uninstall(destination);
    EXPECT_FALSE(PathExists(destination));
}
