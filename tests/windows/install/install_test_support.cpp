#include "install_test_support.h"

#include <objbase.h>
#include <tlhelp32.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "window/app_module.h"


namespace {

class InstallEnvironment : public testing::Environment {
public:
    void SetUp() override
    {
        ASSERT_GE(CoInitialize(nullptr), 0);
        ASSERT_EQ(g_appModule.Init(GetModuleHandleA(nullptr)), S_OK);
    }
    void TearDown() override
    {
        g_appModule.Term();
        CoUninitialize();
    }
};

std::string Hex(const unsigned char* data, DWORD size)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (DWORD i = 0; i < size; ++i) {
        text += digits[data[i] >> 4];
        text += digits[data[i] & 15];
    }
    return text;
}

}  // namespace

void RegisterInstallEnvironment()
{
    static bool registered = false;
    if (!registered)
        testing::AddGlobalTestEnvironment(new InstallEnvironment);
    registered = true;
}

std::string ReadWholeFile(const std::string& path)
{
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
        std::fclose(file);
        return ReadFileBytes(path);
    }
    ADD_FAILURE() << "cannot read " << path;
    return std::string();
}

void WriteWholeFile(const std::string& path, const std::string& data)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    ASSERT_EQ(std::fwrite(data.data(), 1, data.size(), file), data.size());
    ASSERT_EQ(std::fclose(file), 0);
}

void MakeDirectories(const std::string& path)
{
    ASSERT_EQ(SHCreateDirectoryExA(nullptr, path.c_str(), nullptr) == ERROR_SUCCESS || IsDirectory(path), true)
        << path;
}

FileTimes GetTimes(const std::string& path)
{
    FileTimes times;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
        times.creation = FromFileTime(data.ftCreationTime);
        times.lastAccess = FromFileTime(data.ftLastAccessTime);
        times.lastWrite = FromFileTime(data.ftLastWriteTime);
    }
    return times;
}

void SetLastWrite(const std::string& path, unsigned long long time)
{
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    FILETIME write = ToFileTime(time);
    EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &write));
    CloseHandle(file);
}

bool ReadLog(const std::string& path, std::vector<std::string>* lines)
{
    lines->clear();
    const std::string bytes = ReadWholeFile(path);
    size_t start = 0;
    while (start < bytes.size()) {
        const size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos) {
            ADD_FAILURE() << "last line has no CR LF: " << bytes.substr(start);
            return false;
        }
        std::string line = bytes.substr(start, end - start);
        if (line.find_first_of("\r\n") != std::string::npos) {
            ADD_FAILURE() << "bare CR or LF in line: " << line;
            return false;
        }
        lines->push_back(line);
        start = end + 2;
    }
    return true;
}

std::string JoinLines(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

namespace {

void SnapshotFiles(const std::string& path, Snapshot* out)
{
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string name = entry.cFileName;
        if (name == "." || name == "..")
            continue;
        const std::string child = path + "\\" + name;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            (*out)["F " + child] = "dir";
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                SnapshotFiles(child, out);
        } else {
            char text[64];
            std::snprintf(text, sizeof text, "%lu bytes, written %llu", entry.nFileSizeLow,
                          FromFileTime(entry.ftLastWriteTime));
            (*out)["F " + child] = text;
        }
    } while (FindNextFileA(search, &entry));
    FindClose(search);
}

void SnapshotKeys(HKEY root, const std::string& rootName, const std::string& path, Snapshot* out)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.empty() ? nullptr : path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    const std::string full = path.empty() ? rootName : rootName + "\\" + path;
    (*out)["K " + full] = "";
    std::vector<unsigned char> data(1 << 16);
    for (DWORD i = 0;; ++i) {
        char name[16384];
        DWORD nameSize = sizeof name, type = 0, size = static_cast<DWORD>(data.size());
        LONG status = RegEnumValueA(key, i, name, &nameSize, nullptr, &type, data.data(), &size);
        if (status == ERROR_MORE_DATA) {
            (*out)["V " + full + "|" + name] = "(large)";
            continue;
        }
        if (status != ERROR_SUCCESS)
            break;
        (*out)["V " + full + "|" + name] = std::to_string(type) + ":" + Hex(data.data(), size);
    }
    std::vector<std::string> children;
    char name[1024];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof name;
        if (RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        children.push_back(name);
    }
    RegCloseKey(key);
    for (const std::string& child : children)
        SnapshotKeys(root, rootName, path.empty() ? child : path + "\\" + child, out);
}

}  // namespace

Snapshot TakeSnapshot()
{
    Snapshot snapshot;
    SnapshotFiles("C:", &snapshot);
    SnapshotKeys(HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE", "", &snapshot);
    SnapshotKeys(HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT", "", &snapshot);
    SnapshotKeys(HKEY_CURRENT_USER, "HKEY_CURRENT_USER", "", &snapshot);
    return snapshot;
}

std::vector<std::string> Difference(const Snapshot& before, const Snapshot& after,
                                    const std::vector<std::string>& ignoredPrefixes)
{
    auto ignored = [&](const std::string& name) {
        for (const std::string& prefix : ignoredPrefixes) {
            if (name.compare(0, prefix.size(), prefix) == 0)
                return true;
        }
        return false;
    };
    std::vector<std::string> changes;
    for (const auto& entry : before) {
        if (ignored(entry.first))
            continue;
        auto it = after.find(entry.first);
        if (it == after.end())
            changes.push_back("- " + entry.first);
        else if (it->second != entry.second)
            changes.push_back("~ " + entry.first);
    }
    for (const auto& entry : after) {
        if (!ignored(entry.first) && before.find(entry.first) == before.end())
            changes.push_back("+ " + entry.first);
    }
    return changes;
}

namespace {

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

}  // namespace

void Uninstall(const std::string& destination)
{
    const std::string command = ReadString(HKEY_LOCAL_MACHINE, installed::kUninstallKey, "UninstallString");
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

bool LogEntryExists(const std::string& line)
{
    const size_t slash = line.find('\\');
    const std::string root = line.substr(0, slash);
    const std::string rest = slash == std::string::npos ? "" : line.substr(slash + 1);
    if (root == "HKEY_LOCAL_MACHINE")
        return KeyExists(HKEY_LOCAL_MACHINE, rest);
    if (root == "HKEY_CLASSES_ROOT")
        return KeyExists(HKEY_CLASSES_ROOT, rest);
    if (root == "HKEY_CURRENT_USER")
        return KeyExists(HKEY_CURRENT_USER, rest);
    return PathExists(line);
}

void ExpectLogEntriesGone(const std::vector<std::string>& lines)
{
    for (const std::string& line : lines) {
        if (!line.empty() && line[0] != '[')
            EXPECT_FALSE(LogEntryExists(line)) << line;
    }
}
