#include "self_removal_win32.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "ground/process_hardening.h"
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

// Only administrators and the system may open the copy's folder and what is
// in it: the uninstaller runs elevated, while other programs of the same user
// do not. Protected, so nothing of the temporary folder's rights is inherited.
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
        const DWORD inherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
        if (IsNtFamily() &&
            AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                     &admins) &&
            AllocateAndInitializeSid(&nt, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, &system) &&
            InitializeAcl(list, sizeof(acl), ACL_REVISION) &&
            AddAccessAllowedAceEx(list, ACL_REVISION, inherit, FILE_ALL_ACCESS, admins) &&
            AddAccessAllowedAceEx(list, ACL_REVISION, inherit, FILE_ALL_ACCESS, system) &&
            InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
            SetSecurityDescriptorDacl(&descriptor, TRUE, list, FALSE) &&
            SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED))
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

// The system's temporary folder for a process of SYSTEM (writable by
// administrators only) where the system has GetTempPath2A, else %TEMP%.
bool TemporaryFolder(char* temp, DWORD size)
{
    using GetTempPath2 = DWORD(WINAPI*)(DWORD, LPSTR);
    auto getTempPath2 = reinterpret_cast<GetTempPath2>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetTempPath2A")));
    DWORD length = getTempPath2 ? getTempPath2(size, temp) : GetTempPathA(size, temp);
    return length != 0 && length < size;
}

// path: directory (ending with its separator), then "~setdown", 64 random
// bits and suffix, tried until create makes it. Only a new name is taken:
// CREATE_NEW and CreateDirectoryA refuse whatever (file, folder or link)
// someone placed there before.
template <typename Create>
bool CreateUnderFreshName(const char* directory, const char* suffix, char* path, size_t size, Create create)
{
    for (int attempt = 0; attempt < 32; ++attempt) {
        const uint64_t bits = RandomBits();
        char name[40];
        wsprintfA(name, "~setdown%08lX%08lX%s", static_cast<unsigned long>(bits >> 32),
                  static_cast<unsigned long>(bits & 0xFFFFFFFFu), suffix);
        if (!JoinText(path, size, directory, name))
            return false;
        if (create(path))
            return true;
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS && error != ERROR_ACCESS_DENIED)
            return false;
    }
    return false;
}

// A new folder of its own for the copy in temp.
bool CreateFreshFolder(const char* temp, char* folder, size_t size, SECURITY_ATTRIBUTES* security)
{
    return CreateUnderFreshName(temp, ".tmp", folder, size,
                                [&](const char* path) { return CreateDirectoryA(path, security) != FALSE; });
}

// A new file for the copy in directory, open for writing.
HANDLE CreateFreshFile(const char* directory, char* path, size_t size, SECURITY_ATTRIBUTES* security)
{
    // Shared for the handle that holds it once written (the 9x family knows
    // no delete sharing).
    const DWORD share = FILE_SHARE_READ | (IsNtFamily() ? FILE_SHARE_DELETE : 0);
    HANDLE file = INVALID_HANDLE_VALUE;
    CreateUnderFreshName(directory, ".exe", path, size, [&](const char* name) {
        file = CreateFileA(name, GENERIC_WRITE, share, security, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        return file != INVALID_HANDLE_VALUE;
    });
    return file;
}

bool SameFile(HANDLE a, HANDLE b)
{
    BY_HANDLE_FILE_INFORMATION ia, ib;
    return GetFileInformationByHandle(a, &ia) && GetFileInformationByHandle(b, &ib) &&
           ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileIndexHigh == ib.nFileIndexHigh &&
           ia.nFileIndexLow == ib.nFileIndexLow;
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
    if (!TemporaryFolder(temp, sizeof(temp)))
        return false;
    bool nt = IsNtFamily();
    AdminOnly security;
    // The copy runs from a folder of its own: its folder is where the system
    // looks for libraries first, and its working directory too. The 9x
    // family has no users to keep out: the copy goes into %TEMP% itself.
    char folder[MAX_PATH], within[MAX_PATH];
    if (nt) {
        if (!CreateFreshFolder(temp, folder, sizeof(folder), &security.attributes))
            return false;
        if (!JoinText(within, sizeof(within), folder, "\\")) {
            RemoveDirectoryA(folder);
            return false;
        }
    } else if (!JoinText(folder, sizeof(folder), temp) || !JoinText(within, sizeof(within), temp)) {
        return false;
    }
    char copy[MAX_PATH];
    HANDLE writing = CreateFreshFile(within, copy, sizeof(copy), &security.attributes);
    if (writing == INVALID_HANDLE_VALUE) {
        if (nt)
            RemoveDirectoryA(folder);
        return false;
    }
    bool copied = CopyInto(writing, executable);
    // From here until the copy runs, nobody may write, rename or delete it,
    // and it must still be the file just written. On the NT family the copy
    // inherits this handle, and when the copy ends the last handle closes and
    // the system deletes it.
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE self = copied ? CreateFileA(copy, GENERIC_READ | (nt ? DELETE : 0), FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       &inherit, OPEN_EXISTING, nt ? FILE_FLAG_DELETE_ON_CLOSE : 0, nullptr)
                         : INVALID_HANDLE_VALUE;
    if (self != INVALID_HANDLE_VALUE && !SameFile(self, writing)) {
        CloseHandle(self);
        self = INVALID_HANDLE_VALUE;
    }
    CloseHandle(writing);
    // The folder cannot go while the copy runs from it, and nothing of the
    // uninstaller runs after the copy: the system removes it, empty, at the
    // next restart. Named now, while no process works in it.
    if (nt && self != INVALID_HANDLE_VALUE)
        MoveFileExA(folder, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
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
        // The copy works from its own folder, so that no process holds the
        // installation directory as its current directory.
        started = CreateProcessA(copy, commandLine, nullptr, nullptr, TRUE, 0, nullptr, folder, &startup, &process);
    }
    if (parent)
        CloseHandle(parent);
    if (self != INVALID_HANDLE_VALUE)
        CloseHandle(self);
    if (!started) {
        DeleteFileA(copy);
        if (nt)
            RemoveDirectoryA(folder);
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (!nt)
        RemoveAtRestart(copy);
    SetCurrentDirectoryA(folder);
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
