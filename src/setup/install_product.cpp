#include "setup/install_product.h"

#include <fcntl.h>
#include <io.h>

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

// The uninstaller's rules: what its log may hold, and what belongs to an
// installation.
#include "installation_places_win32.h"
#include "uninstall_log.h"

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
    DWORD high = 0;
    const DWORD size = GetFileSize(file, &high);
    if (size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
        return ResultFromLastError();
    // Never more than the uninstaller reads, so the sizes below cannot wrap.
    if (high != 0 || size > kMaxLogSize)
        return kLogNotALog;
    SetLastError(0);
    if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
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

// Whether the uninstaller would read the log: a log it refuses is no log
// of this product (or a file behind a link the system does not show), and
// is neither cut nor written to. A last line without its end is left out,
// as everywhere.
HRESULT CheckEarlierLog(HANDLE file)
{
    LogText text;
    HRESULT result = ReadWholeLog(file, &text);
    if (result != S_OK)
        return result;
    DWORD whole = text.size;
    while (whole > 0 && text.bytes[whole - 1] != '\n')
        --whole;
    InstallLogContents contents;
    LogError error;
    const bool read = ParseInstallLog(text.bytes, whole, &contents, &error);
    FreeLogContents(&contents);
    if (read)
        return S_OK;
    return error.problem == LogProblem::OutOfMemory ? E_OUTOFMEMORY : kLogNotALog;
}

// INSTALL.LOG opened for reading and rewriting without following a link:
// the destination may be a folder that users without rights can write, and
// an earlier log replaced by a link to a system file must neither be read as
// a log nor written. A second name of another file counts as a link too;
// a file larger than the uninstaller reads is no log of this product.
HRESULT OpenLog(const char* logPath, DWORD disposition, HANDLE* file)
{
    *file = INVALID_HANDLE_VALUE;
    // The 9x family has no links and knows no such flag.
    const DWORD noLinks = IsWindows9xFamily() ? 0 : FILE_FLAG_OPEN_REPARSE_POINT;
    // The name first (Wine shows some links only there), then what was opened.
    const DWORD attributes = GetFileAttributesA(logPath);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return kLogIsLink;
    SetLastError(0);
    *file = CreateFileA(logPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, disposition,
                        FILE_ATTRIBUTE_NORMAL | noLinks, nullptr);
    if (*file == INVALID_HANDLE_VALUE)
        return ResultFromLastError();
    BY_HANDLE_FILE_INFORMATION info;
    HRESULT result = S_OK;
    SetLastError(0);
    if (!GetFileInformationByHandle(*file, &info))
        result = ResultFromLastError();
    else if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || info.nNumberOfLinks > 1)
        result = kLogIsLink;
    else if (info.nFileSizeHigh != 0 || info.nFileSizeLow > kMaxLogSize)
        result = kLogNotALog;
    if (result != S_OK) {
        CloseHandle(*file);
        *file = INVALID_HANDLE_VALUE;
    }
    return result;
}

// What steps 5 and 6 would meet, found out without writing: a missing
// drive, a component that is a file, a directory the user may not write
// into, an INSTALL.LOG that cannot be opened for writing or is a link. The
// earlier log stays open in log from here to its last write, so that it
// cannot be swapped for a link in between.
HRESULT CheckDestination(const char* destination, const char* logPath, HANDLE* log)
{
    *log = INVALID_HANDLE_VALUE;
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
    if (!whole)
        return S_OK;
    result = OpenLog(logPath, OPEN_EXISTING, log);
    if (result == ResultFromWin32(ERROR_FILE_NOT_FOUND))
        return S_OK;
    if (result == S_OK)
        result = CheckEarlierLog(*log);
    return result;
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

// The rewritten log: at most every line of the one read, each with CR LF,
// so twice its size always holds it (at most twice the uninstaller's limit).
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

// Visits every whole line of text[0, size) without its line end. A last
// line without one is what a power cut leaves behind: not a line.
template <typename Visit>
void ForEachLine(const char* text, DWORD size, Visit visit)
{
    DWORD start = 0;
    while (start < size) {
        DWORD end = start;
        while (end < size && text[end] != '\n')
            ++end;
        if (end == size)
            return;
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

enum class Section { None, Files, Dirs, RegKeys };

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

// The uninstaller's view of the destination, for judging earlier lines.
struct EarlierPlaces {
    InstallationPlaces places;
    PreparedPlaces* prepared = nullptr;
    SystemView view = RealSystem();
    explicit EarlierPlaces(const char* destination)
    {
        FindInstallationPlaces(destination, &places);
        prepared = PreparePlaces(places);
    }
    EarlierPlaces(const EarlierPlaces&) = delete;
    EarlierPlaces& operator=(const EarlierPlaces&) = delete;
    ~EarlierPlaces() { FreePreparedPlaces(prepared); }
};

// Whether a line of the earlier log names something of this installation
// that is still there. Only what the uninstaller would take as the
// installation's own is looked at, as the log writes it: a line naming any
// other place (another machine's share, say) is dropped unseen.
bool LoggedItemExists(Section section, const char* line, DWORD length, const EarlierPlaces& earlier)
{
    char item[PATH_BUFFER_SIZE];
    if (length >= sizeof item || earlier.prepared == nullptr)
        return false;
    CopyMemory(item, line, length);
    item[length] = '\0';
    if (section == Section::RegKeys) {
        RegKeyName key;
        LogProblem problem;
        return ParseKeyName(item, &key, &problem) && earlier.view.keyExists(earlier.view.context, key);
    }
    if (section == Section::None || !IsAbsoluteFilePath(item))
        return false;
    PathForms forms;
    forms.count = 0;
    AddPathForm(&forms, item);
    const bool own = section == Section::Files ? IsOwnFileForms(forms, *earlier.prepared)
                                               : IsOwnDirectoryForms(forms, *earlier.prepared);
    return own && GetFileAttributesA(item) != INVALID_FILE_ATTRIBUTES;
}

Section SectionOf(const char* line, DWORD length)
{
    if (SameLine(line, length, "[Files]"))
        return Section::Files;
    if (SameLine(line, length, "[Dirs]"))
        return Section::Dirs;
    if (SameLine(line, length, "[RegKeys]"))
        return Section::RegKeys;
    return Section::None;
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
template <typename Rewrite>
HRESULT RewriteLogFile(HANDLE file, Rewrite rewrite)
{
    LogText text;
    LogOutput output;
    HRESULT result = ReadWholeLog(file, &text);
    if (result == S_OK)
        result = output.Reserve(text.size);
    if (result == S_OK) {
        rewrite(text, &output);
        result = RewriteLog(file, output);
    }
    return result;
}

// The earlier installation's log, cut down to what still exists after the
// removal of earlier versions; the new lines follow it. Rewritten in place,
// so a full disk cannot cost it. kept: its new size.
HRESULT KeepEarlierLines(HANDLE file, const char* destination, DWORD* kept)
{
    *kept = 0;
    const EarlierPlaces places(destination);
    return RewriteLogFile(file, [&](const LogText& earlier, LogOutput* output) {
        KeepLines(earlier.bytes, earlier.size, output,
                  [&](const char* header, DWORD headerLength, const char* line, DWORD length) {
                      return LoggedItemExists(header != nullptr ? SectionOf(header, headerLength) : Section::None,
                                              line, length, places);
                  });
        *kept = output->size;
    });
}

// The log for appending in text mode (every line ends with CR LF) through a
// second handle of the same open file, so nothing opens it by name again.
HRESULT OpenLogStream(HANDLE file, FILE** stream)
{
    *stream = nullptr;
    HANDLE second = nullptr;
    SetLastError(0);
    if (!DuplicateHandle(GetCurrentProcess(), file, GetCurrentProcess(), &second, 0, FALSE, DUPLICATE_SAME_ACCESS))
        return ResultFromLastError();
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(second), _O_APPEND | _O_TEXT);
    if (descriptor == -1) {
        CloseHandle(second);
        return E_FAIL;
    }
    *stream = _fdopen(descriptor, "a");
    if (*stream == nullptr) {
        _close(descriptor);
        return E_FAIL;
    }
    return S_OK;
}

// After a complete run the earlier lines go, except those of files and
// directories that this run found in place and so did not list again (a
// folder of the product that already existed, a newer file the user kept):
// they are still the installation's, and without their lines the
// uninstaller would leave them behind. The log then holds those lines, then
// exactly what this run wrote; after a plain reinstallation that is nothing
// but the new lines.
HRESULT DropEarlierLines(HANDLE file, DWORD earlier)
{
    return RewriteLogFile(file, [&](const LogText& text, LogOutput* output) {
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

// A file handle closed when the procedure returns, whichever way.
struct HeldFile {
    HANDLE handle = INVALID_HANDLE_VALUE;
    HeldFile() = default;
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    ~HeldFile()
    {
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }
};

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

    HeldFile logFile;
    result = CheckDestination(destination, logPath, &logFile.handle);
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

    // 6. The log: the earlier one checked before, else a new one. The
    // earlier installation's lines stay in front of the new ones until this
    // run is complete, so a run that stops part-way leaves a log from which
    // the uninstaller removes the earlier and the new items alike.
    if (logFile.handle == INVALID_HANDLE_VALUE)
        result = OpenLog(logPath, OPEN_ALWAYS, &logFile.handle);
    DWORD earlier = 0;
    if (result == S_OK)
        result = KeepEarlierLines(logFile.handle, destination, &earlier);
    FILE* stream = nullptr;
    if (result == S_OK)
        result = OpenLogStream(logFile.handle, &stream);
    if (result != S_OK) {
        KeepUninstallable(uninstallerPath, uninstallCommand, nullptr);
        return result;
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
        result = DropEarlierLines(logFile.handle, earlier);
    return result;
}
