#include "self_removal_win32.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "removal_plan.h"

const char kSelfRemovalOption[] = "/REMOVE";

namespace {

// How long the copy keeps trying once the uninstaller has ended (virus
// scanners and the like may hold the file a moment longer).
constexpr int kDeleteAttempts = 50;
constexpr DWORD kDeleteRetryMs = 100;

const char kCaption[] = "ブレンナビューア for Windows Ver6.0 のアンインストール";

bool IsNtFamily()
{
    return !(GetVersion() & 0x80000000u);
}

// Only administrators and the system may open the copy: the uninstaller runs
// elevated, while other programs of the same user do not.
struct AdminOnly {
    SECURITY_ATTRIBUTES attributes;
    SECURITY_DESCRIPTOR descriptor;
    DWORD acl[64];
    PSID admins = nullptr;
    PSID system = nullptr;

    AdminOnly()
    {
        attributes = {sizeof(attributes), nullptr, FALSE};
        SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
        ACL* list = reinterpret_cast<ACL*>(acl);
        if (IsNtFamily() &&
            AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                     &admins) &&
            AllocateAndInitializeSid(&nt, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, &system) &&
            InitializeAcl(list, sizeof(acl), ACL_REVISION) &&
            AddAccessAllowedAce(list, ACL_REVISION, FILE_ALL_ACCESS, admins) &&
            AddAccessAllowedAce(list, ACL_REVISION, FILE_ALL_ACCESS, system) &&
            InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
            SetSecurityDescriptorDacl(&descriptor, TRUE, list, FALSE))
            attributes.lpSecurityDescriptor = &descriptor;
    }
    ~AdminOnly()
    {
        if (admins)
            FreeSid(admins);
        if (system)
            FreeSid(system);
    }
};

// A new file under a name no one has used: CREATE_NEW refuses whatever
// (file or link) someone placed there before.
HANDLE CreateFreshFile(const char* directory, char* path, size_t size, SECURITY_ATTRIBUTES* security)
{
    LARGE_INTEGER counter = {};
    QueryPerformanceCounter(&counter);
    DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 16) ^ counter.LowPart;
    for (int attempt = 0; attempt < 32; ++attempt) {
        seed = seed * 1664525u + 1013904223u + static_cast<DWORD>(reinterpret_cast<UINT_PTR>(&seed));
        char name[32];
        wsprintfA(name, "~setdown%08lX.exe", seed);
        if (!JoinText(path, size, directory, name))
            return INVALID_HANDLE_VALUE;
        HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, security, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE)
            return file;
        DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS && error != ERROR_ACCESS_DENIED)
            break;
    }
    return INVALID_HANDLE_VALUE;
}

bool CopyInto(HANDLE target, const char* source)
{
    HANDLE from = CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (from == INVALID_HANDLE_VALUE)
        return false;
    // Static buffers would be stored in the program's data.
    const DWORD kChunk = 32768;
    char* buffer = static_cast<char*>(std::malloc(kChunk));
    bool ok = buffer != nullptr;
    while (ok) {
        DWORD read = 0, written = 0;
        if (!ReadFile(from, buffer, kChunk, &read, nullptr)) {
            ok = false;
            break;
        }
        if (!read)
            break;
        if (!WriteFile(target, buffer, read, &written, nullptr) || written != read) {
            ok = false;
            break;
        }
    }
    std::free(buffer);
    CloseHandle(from);
    return ok;
}

bool Exists(const char* path)
{
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

bool StartSelfRemoval(const char* executable, const char* log, const char* directory, bool silent)
{
    char temp[MAX_PATH];
    DWORD length = GetTempPathA(sizeof(temp), temp);
    if (length == 0 || length >= sizeof(temp))
        return false;
    AdminOnly security;
    char copy[MAX_PATH];
    HANDLE writing = CreateFreshFile(temp, copy, sizeof(copy), &security.attributes);
    if (writing == INVALID_HANDLE_VALUE)
        return false;
    bool copied = CopyInto(writing, executable);
    CloseHandle(writing);
    bool nt = IsNtFamily();
    // From here until the copy runs, nobody may write, rename or delete it.
    // On the NT family the copy inherits this handle, and when the copy ends
    // the last handle closes and the system deletes it.
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE self = copied ? CreateFileA(copy, GENERIC_READ | (nt ? DELETE : 0), FILE_SHARE_READ, &inherit,
                                       OPEN_EXISTING, nt ? FILE_FLAG_DELETE_ON_CLOSE : 0, nullptr)
                         : INVALID_HANDLE_VALUE;
    HANDLE parent = nullptr;
    BOOL started = FALSE;
    PROCESS_INFORMATION process = {};
    if (self != INVALID_HANDLE_VALUE &&
        DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &parent, SYNCHRONIZE, TRUE,
                        0)) {
        char handle[16];
        wsprintfA(handle, "%lu", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(parent)));
        char commandLine[4 * MAX_PATH + 64];
        char* p = commandLine;
        size_t left = sizeof(commandLine);
        auto add = [&](const char* a, const char* b, const char* c) {
            size_t n = std::strlen(a) + std::strlen(b) + std::strlen(c);
            if (JoinText(p, left, a, b, c)) {
                p += n;
                left -= n;
            }
        };
        add("\"", copy, "\" ");
        add(kSelfRemovalOption, " ", handle);
        add(" \"", executable, "\"");
        add(" \"", log, "\"");
        add(" \"", directory, "\"");
        add(silent ? " /S" : "", "", "");
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        // The copy works from the temporary directory, so that no process
        // holds the installation directory as its current directory.
        started = CreateProcessA(copy, commandLine, nullptr, nullptr, TRUE, 0, nullptr, temp, &startup, &process);
    }
    if (parent)
        CloseHandle(parent);
    if (self != INVALID_HANDLE_VALUE)
        CloseHandle(self);
    if (!started) {
        DeleteFileA(copy);
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (!nt)
        RemoveAtRestart(copy);
    SetCurrentDirectoryA(temp);
    return true;
}

bool RemoveAtRestart(const char* path)
{
    if (IsNtFamily())
        return MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
    // WININIT.INI's [rename] section may hold several "NUL=" lines, so the
    // section is rewritten whole with one more.
    char shortPath[MAX_PATH];
    DWORD length = GetShortPathNameA(path, shortPath, sizeof(shortPath));
    if (length == 0 || length >= sizeof(shortPath))
        return false;
    const DWORD kSize = 32768;
    char* section = static_cast<char*>(std::malloc(kSize));
    if (!section)
        return false;
    DWORD used = GetPrivateProfileSectionA("rename", section, kSize, "WININIT.INI");
    bool ok = used + length + 8 < kSize;
    if (ok) {
        std::memcpy(section + used, "NUL=", 4);
        std::memcpy(section + used + 4, shortPath, length);
        section[used + 4 + length] = '\0';
        section[used + 5 + length] = '\0';
        ok = WritePrivateProfileSectionA("rename", section, "WININIT.INI") != FALSE;
    }
    std::free(section);
    return ok;
}

int RunSelfRemoval(const char* const* args, int count)
{
    if (count < 4 || count > 5)
        return 2;
    bool silent = count == 5 && EqualsIgnoreCase(args[4], "/S");
    HANDLE parent = reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(std::strtoul(args[0], nullptr, 10)));
    // The uninstaller may still show its last message; however long the user
    // takes, its file is free only once it has ended.
    WaitForSingleObject(parent, INFINITE);
    CloseHandle(parent);
    const char* executable = args[1];
    const char* log = args[2];
    const char* directory = args[3];
    // The log still there: the uninstall did not finish, and its uninstaller
    // stays for the next run.
    if (Exists(log))
        return 3;
    bool deleted = false;
    for (int attempt = 0; attempt < kDeleteAttempts && !deleted; ++attempt) {
        if (DeleteFileA(executable) || GetLastError() == ERROR_FILE_NOT_FOUND)
            deleted = true;
        else
            Sleep(kDeleteRetryMs);
    }
    if (!deleted) {
        bool later = RemoveAtRestart(executable);
        if (later && directory[0])
            RemoveAtRestart(directory);
        if (!silent) {
            char text[MAX_PATH + 128];
            JoinText(text, sizeof(text), executable,
                     later ? " を削除できませんでした。次回の再起動時に削除されます。"
                           : " を削除できませんでした。手動で削除してください。");
            MessageBoxA(nullptr, text, kCaption, MB_OK | MB_ICONWARNING);
        }
        return later ? 4 : 3;
    }
    if (directory[0])
        RemoveDirectoryA(directory);
    return 0;
}
