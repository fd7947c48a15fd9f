#include "setup/install_product.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <io.h>

#include "archive/extract.h"
#include "cleanup/remove_earlier.h"
#include "registration/app_registration.h"
#include "registration/install_log.h"
#include "registration/product_names.h"
#include "registration/shortcuts.h"
#include "registration/folder_paths.h"
#include "util/path.h"

namespace {

constexpr int kUninstallerArchive = 215;
constexpr int kProductArchive = 216;
constexpr const char* kUninstallEntryLogLine =
    "HKEY_LOCAL_MACHINE\\" ORVIK_WINDOWS_KEY "\\Uninstall\\" ORVIK_UNINSTALL_ENTRY_PREFIX ORVIK_PRODUCT_VERSION;

// "<uninstaller>" "<log>": the uninstall entry's command line.
HRESULT BuildUninstallCommand(char* command, size_t size, const char* uninstaller, const char* logPath)
{
    HRESULT result = CopyBounded(command, size, "\"");
    if (result == S_OK)
        result = AppendBounded(command, size, uninstaller);
    if (result == S_OK)
        result = AppendBounded(command, size, "\" \"");
    if (result == S_OK)
        result = AppendBounded(command, size, logPath);
    if (result == S_OK)
        result = AppendBounded(command, size, "\"");
    return result;
}

HRESULT VerifyPayload()
{
    HRESULT result = VerifyArchiveResource(kUninstallerArchive);
    if (result != S_OK)
        return result;
    return VerifyArchiveResource(kProductArchive);
}

// What steps 5 and 6 would meet, found out without writing: a missing
// drive, a component that is a file, a directory the user may not write
// into, an INSTALL.LOG that cannot be opened for writing.
HRESULT CheckDestination(const char* destination, const char* logPath)
{
    char existing[PATH_BUFFER_SIZE];
    HRESULT result = CopyBounded(existing, sizeof existing, destination);
    if (result != S_OK)
        return result;
    RemoveBackslash(existing);
    // The nearest existing level; what lies above it exists as directories.
    bool whole = true;
    for (;;) {
        SetLastError(0);
        const DWORD attributes = GetFileAttributesA(existing);
        if (attributes != INVALID_FILE_ATTRIBUTES) {
            if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
                return ResultFromWin32(ERROR_DIRECTORY);
            break;
        }
        const DWORD error = GetLastError();
        if ((error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) || IsRootPath(existing) ||
            !RemoveLastComponent(existing))
            return ResultFromWin32(error);
        RemoveBackslash(existing);
        whole = false;
    }
    // Windows 9x opens no directories and keeps no rights on them.
    if (!IsWindows9xFamily()) {
        SetLastError(0);
        HANDLE directory =
            CreateFileA(existing, whole ? FILE_ADD_FILE : FILE_ADD_SUBDIRECTORY,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                        FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (directory == INVALID_HANDLE_VALUE)
            return ResultFromLastError();
        CloseHandle(directory);
    }
    if (whole && GetFileAttributesA(logPath) != INVALID_FILE_ATTRIBUTES) {
        SetLastError(0);
        HANDLE log = CreateFileA(logPath, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        if (log == INVALID_HANDLE_VALUE)
            return ResultFromLastError();
        CloseHandle(log);
    }
    return S_OK;
}

// The answers and checks of both archives, before anything changes.
struct InstallPlan {
    ExtractContext uninstaller;
    ExtractPlan uninstallerMembers;
    ExtractContext product;
    ExtractPlan productMembers;
};

// 7. The uninstaller always replaces an older one and stays out of the log:
// it deletes itself last. 8. The product: differing files are put to the
// user, and what is written is logged. The questions are asked here, in
// member order, so that a Cancel or a file that cannot be replaced ends the
// installation before anything changed.
HRESULT PlanInstallation(HWND owner, const char* destination, InstallPlan* plan)
{
    plan->uninstaller.owner = owner;
    plan->uninstaller.copyMode = CopyMode::Replace;
    plan->uninstaller.doNotAsk = true;
    plan->uninstaller.log = nullptr;
    HRESULT result = PlanArchiveResource(&plan->uninstaller, kUninstallerArchive, destination,
                                         &plan->uninstallerMembers);
    if (result != S_OK)
        return result;
    plan->uninstaller.plan = &plan->uninstallerMembers;

    plan->product.owner = owner;
    plan->product.copyMode = CopyMode::ReplaceUnlessNewer;
    plan->product.doNotAsk = false;
    plan->product.log = nullptr;
    result = PlanArchiveResource(&plan->product, kProductArchive, destination, &plan->productMembers);
    plan->product.plan = &plan->productMembers;
    return result;
}

// What the system still holds of a file goes to the disk; a failure leaves
// it to the system's own writing, as before.
void FlushToDisk(const char* path)
{
    HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        FlushFileBuffers(file);
        CloseHandle(file);
    }
}

// Everything that runs while the log is open: both archives, the shortcuts
// and the registry, stopping at the first failure.
HRESULT ExtractAndRegister(HWND owner, const char* destination, unsigned char associate, InstallPlan* plan,
                           const char* executablePath, const char* uninstallerPath, const char* uninstallCommand,
                           InstallLog* log)
{
    // 7. The uninstaller.
    HRESULT result = ExtractArchiveResource(&plan->uninstaller, kUninstallerArchive, destination);
    if (result != S_OK)
        return result;
    // Before the first file of the product, the uninstall entry that starts
    // the uninstaller on this log: from here on, whenever the run stops,
    // even dead, the entry's command removes what is there. Both reach the
    // disk first, so that not even a power cut leaves the product's files
    // without an entry, or an entry naming an uninstaller that lost its bytes.
    FlushToDisk(uninstallerPath);
    result = RegisterUninstall(uninstallCommand, nullptr);
    if (result != S_OK)
        return result;
    HKEY entry;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKeyPath, 0, KEY_QUERY_VALUE, &entry) == ERROR_SUCCESS) {
        RegFlushKey(entry);
        RegCloseKey(entry);
    }

    // 8. The product, as planned.
    plan->product.log = log;
    result = ExtractArchiveResource(&plan->product, kProductArchive, destination);
    if (result != S_OK)
        return result;

    // 9. Start-menu folder and shortcuts.
    result = CreateShortcuts(owner, destination, log);
    if (result != S_OK)
        return result;
    // 10. App Paths entry.
    result = RegisterAppPath(destination, executablePath, log);
    if (result != S_OK)
        return result;
    // 11. Uninstall entry: it exists since step 7, so it is written again
    // and listed where the log has always listed it.
    result = RegisterUninstall(uninstallCommand, nullptr);
    if (result == S_OK)
        result = log->Add(LogEntryKind::RegKey, kUninstallEntryLogLine);
    if (result != S_OK)
        return result;
    // 12. The product's keys, the drawing class when chosen, the per-user
    // log line.
    return RegisterApplication(destination, associate, log);
}

// A run that stopped after the removal of earlier versions must not leave
// the product on disk without a way to remove it: while the uninstaller is
// there, so is the uninstall entry that starts it.
void KeepUninstallable(const char* uninstallerPath, const char* uninstallCommand, InstallLog* log)
{
    if (GetFileAttributesA(uninstallerPath) == INVALID_FILE_ATTRIBUTES)
        return;
    HKEY key;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, kUninstallKeyPath, &key) == ERROR_SUCCESS) {
        RegCloseKey(key);
        return;
    }
    RegisterUninstall(uninstallCommand, log);
}

// The log read whole into memory from the platform heap: it is small, and
// this program carries no C++ containers (they would bring the exception
// runtime along).
struct LogText {
    char* bytes = nullptr;
    DWORD size = 0;
    LogText() = default;
    LogText(const LogText&) = delete;
    LogText& operator=(const LogText&) = delete;
    ~LogText()
    {
        if (bytes != nullptr)
            HeapFree(GetProcessHeap(), 0, bytes);
    }
};

HRESULT ReadWholeLog(HANDLE file, LogText* text)
{
    SetLastError(0);
    const DWORD size = GetFileSize(file, nullptr);
    if (size == INVALID_FILE_SIZE)
        return ResultFromLastError();
    text->bytes = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, size + 1));
    if (text->bytes == nullptr)
        return E_OUTOFMEMORY;
    DWORD read = 0;
    SetLastError(0);
    if (!ReadFile(file, text->bytes, size, &read, nullptr) || read != size)
        return ResultFromLastError();
    text->size = size;
    return S_OK;
}

// The rewritten log: at most every line of the one read, each with CR LF,
// so twice its size always holds it.
struct LogOutput : LogText {
    HRESULT Reserve(DWORD size)
    {
        bytes = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, 2 * size + 2));
        return bytes != nullptr ? S_OK : E_OUTOFMEMORY;
    }
    void AddLine(const char* line, DWORD length)
    {
        CopyMemory(bytes + size, line, length);
        size += length;
        bytes[size++] = '\r';
        bytes[size++] = '\n';
    }
    void AddBytes(const char* from, DWORD length)
    {
        CopyMemory(bytes + size, from, length);
        size += length;
    }
};

// Visits every line of text[0, size) without its line end.
template <typename Visit>
void ForEachLine(const char* text, DWORD size, Visit visit)
{
    DWORD start = 0;
    while (start < size) {
        DWORD end = start;
        while (end < size && text[end] != '\n')
            ++end;
        DWORD length = end - start;
        if (length > 0 && text[start + length - 1] == '\r')
            --length;
        visit(text + start, length);
        start = end + 1;
    }
}

bool IsSectionLine(const char* line, DWORD length)
{
    return length > 0 && line[0] == '[';
}

bool SameLine(const char* line, DWORD length, const char* other)
{
    return length == std::strlen(other) && std::memcmp(line, other, length) == 0;
}

bool HasLine(const char* text, DWORD size, const char* line, DWORD length)
{
    bool found = false;
    ForEachLine(text, size, [&](const char* other, DWORD otherLength) {
        found = found || (otherLength == length && std::memcmp(other, line, length) == 0);
    });
    return found;
}

HRESULT RewriteLog(HANDLE file, const LogOutput& text)
{
    DWORD written = 0;
    SetLastError(0);
    if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
        !WriteFile(file, text.bytes, text.size, &written, nullptr) || written != text.size || !SetEndOfFile(file))
        return ResultFromLastError();
    return S_OK;
}

// Whether the thing a log line names is still there.
bool LoggedItemExists(const char* line, DWORD length)
{
    char item[2 * PATH_BUFFER_SIZE];
    if (length >= sizeof item)
        return false;
    CopyMemory(item, line, length);
    item[length] = '\0';
    static const struct {
        const char* name;
        HKEY root;
    } roots[] = {{"HKEY_LOCAL_MACHINE\\", HKEY_LOCAL_MACHINE},
                 {"HKEY_CLASSES_ROOT\\", HKEY_CLASSES_ROOT},
                 {"HKEY_CURRENT_USER\\", HKEY_CURRENT_USER}};
    for (const auto& root : roots) {
        const size_t prefix = std::strlen(root.name);
        if (std::strncmp(item, root.name, prefix) == 0) {
            HKEY key;
            if (RegOpenKeyExA(root.root, item + prefix, 0, KEY_READ, &key) != ERROR_SUCCESS)
                return false;
            RegCloseKey(key);
            return true;
        }
    }
    return GetFileAttributesA(item) != INVALID_FILE_ATTRIBUTES;
}

// Writes the kept lines of text[0, size): a section line only before the
// first kept line under it.
template <typename Keep>
void KeepLines(const char* text, DWORD size, LogOutput* out, Keep keep)
{
    const char* section = nullptr;
    DWORD sectionLength = 0;
    bool written = false;
    ForEachLine(text, size, [&](const char* line, DWORD length) {
        if (IsSectionLine(line, length)) {
            section = line;
            sectionLength = length;
            written = false;
        } else if (length > 0 && keep(section, sectionLength, line, length)) {
            if (section != nullptr && !written)
                out->AddLine(section, sectionLength);
            written = true;
            out->AddLine(line, length);
        }
    });
}

// Reads the log whole and writes back in place what rewrite makes of it.
// A missing log is nothing to rewrite where missingIsEmpty.
template <typename Rewrite>
HRESULT RewriteLogFile(const char* logPath, bool missingIsEmpty, Rewrite rewrite)
{
    SetLastError(0);
    HANDLE file = CreateFileA(logPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return missingIsEmpty && GetLastError() == ERROR_FILE_NOT_FOUND ? S_OK : ResultFromLastError();
    LogText text;
    LogOutput output;
    HRESULT result = ReadWholeLog(file, &text);
    if (result == S_OK)
        result = output.Reserve(text.size);
    if (result == S_OK) {
        rewrite(text, &output);
        result = RewriteLog(file, output);
    }
    CloseHandle(file);
    return result;
}

// The earlier installation's log, cut down to what still exists after the
// removal of earlier versions; the new lines follow it. Rewritten in place,
// so a full disk cannot cost it. kept: its new size.
HRESULT KeepEarlierLines(const char* logPath, DWORD* kept)
{
    *kept = 0;
    return RewriteLogFile(logPath, true, [&](const LogText& earlier, LogOutput* output) {
        KeepLines(earlier.bytes, earlier.size, output,
                  [](const char*, DWORD, const char* line, DWORD length) { return LoggedItemExists(line, length); });
        *kept = output->size;
    });
}

// After a complete run the earlier lines go, except those of files and
// directories that this run found in place and so did not list again (a
// folder of the product that already existed, a newer file the user kept):
// they are still the installation's, and without their lines the
// uninstaller would leave them behind. The log then holds those lines, then
// exactly what this run wrote; after a plain reinstallation that is nothing
// but the new lines.
HRESULT DropEarlierLines(const char* logPath, DWORD earlier)
{
    return RewriteLogFile(logPath, false, [&](const LogText& text, LogOutput* output) {
        if (earlier > text.size)
            earlier = text.size;
        const char* fresh = text.bytes + earlier;
        const DWORD freshSize = text.size - earlier;
        KeepLines(text.bytes, earlier, output,
                  [&](const char* header, DWORD headerLength, const char* line, DWORD length) {
                      return header != nullptr &&
                             (SameLine(header, headerLength, "[Files]") || SameLine(header, headerLength, "[Dirs]")) &&
                             !HasLine(fresh, freshSize, line, length);
                  });
        output->AddBytes(fresh, freshSize);
    });
}

}  // namespace

HRESULT InstallProduct(HWND owner, const char* destination, unsigned char associate)
{
    // A relative or malformed destination would install somewhere else and
    // register paths that name nothing; refused before anything changes.
    if (!IsFullDirectoryPath(destination))
        return E_INVALIDARG;

    // 1. Checked first so that a system without the folder service is left
    // exactly as it was.
    if (LoadFolderPathFunction() == nullptr)
        return E_FAIL;

    // A damaged payload must not cost the user a working earlier
    // installation: both archives are checked whole before anything changes.
    HRESULT result = VerifyPayload();
    if (result != S_OK)
        return result;
    ClearPreservedOriginal();

    // 3. Paths, and 4. the command line: their limits are known before
    // anything changes.
    char executablePath[PATH_BUFFER_SIZE];
    char logPath[PATH_BUFFER_SIZE];
    char uninstallerPath[PATH_BUFFER_SIZE];
    if (JoinPath(executablePath, destination, kExecutableName) != S_OK ||
        JoinPath(logPath, destination, kLogFileName) != S_OK ||
        JoinPath(uninstallerPath, destination, kUninstallerFileName) != S_OK)
        return E_FAIL;
    char uninstallCommand[PATH_BUFFER_SIZE];
    result = BuildUninstallCommand(uninstallCommand, sizeof uninstallCommand, uninstallerPath, logPath);
    if (result != S_OK)
        return result;

    result = CheckDestination(destination, logPath);
    if (result != S_OK)
        return result;
    InstallPlan plan;
    result = PlanInstallation(owner, destination, &plan);
    if (result != S_OK)
        return result;

    // 2. Earlier installations. An uninstall entry that already starts this
    // installation's uninstaller on its log stays: the earlier installation
    // here is never without one while this run replaces it.
    result = RemoveEarlierVersions(owner, kProductKeyPath, uninstallCommand);
    if (result != S_OK) {
        KeepUninstallable(uninstallerPath, uninstallCommand, nullptr);
        return result;
    }

    // 5. The destination and its parents exist before the log does, so they
    // are never listed in it.
    result = CreateParentDirectories(logPath, nullptr);
    if (result != S_OK) {
        KeepUninstallable(uninstallerPath, uninstallCommand, nullptr);
        return result;
    }

    // 6. Text mode: every line of the log ends with CR LF. The earlier
    // installation's lines stay in front of the new ones until this run is
    // complete, so a run that stops part-way leaves a log from which the
    // uninstaller removes the earlier and the new items alike.
    DWORD earlier = 0;
    result = KeepEarlierLines(logPath, &earlier);
    if (result != S_OK) {
        KeepUninstallable(uninstallerPath, uninstallCommand, nullptr);
        return result;
    }
    errno = 0;
    _doserrno = 0;
    SetLastError(0);
    FILE* stream = std::fopen(logPath, "a");
    if (stream == nullptr) {
        unsigned long error = _doserrno != 0 ? _doserrno : GetLastError();
        KeepUninstallable(uninstallerPath, uninstallCommand, nullptr);
        return ResultFromWin32(static_cast<uint32_t>(error));
    }
    InstallLog log(stream);

    result = ExtractAndRegister(owner, destination, associate, &plan, executablePath, uninstallerPath,
                                uninstallCommand, &log);
    if (result != S_OK)
        KeepUninstallable(uninstallerPath, uninstallCommand, &log);

    // 13. Closed whatever happened, so the log lists what a failed
    // installation created as far as it went.
    // Each line went to the system as it was written; the whole log goes
    // to the disk once, at the end, not after every line: a flush per file
    // would cost a disk turn for each of thousands of members.
    if (std::fflush(stream) == 0)
        FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))));
    if (std::fclose(stream) != 0 && result == S_OK)
        result = E_FAIL;
    if (result == S_OK && earlier > 0)
        result = DropEarlierLines(logPath, earlier);
    return result;
}
