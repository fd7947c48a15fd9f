#include "install/install_product.h"

#include <io.h>

#include <cstdio>

#include "extraction/extract.h"
#include "ground/folder_paths.h"
#include "ground/path.h"
#include "ground/product_names.h"
#include "installlog/directory_creation.h"
#include "installlog/install_log.h"
#include "installlog/installation_places_win32.h"
#include "installlog/log_file.h"
#include "registration/app_registration.h"
#include "registration/remove_earlier.h"
#include "registration/shortcuts.h"

namespace {

constexpr int kUninstallerArchive = 215;
constexpr int kProductArchive = 216;

// Steps 3 and 4: everything named after the destination.
struct InstallPaths {
    char executable[PATH_BUFFER_SIZE];
    char log[PATH_BUFFER_SIZE];
    char uninstaller[PATH_BUFFER_SIZE];
    char uninstallCommand[PATH_BUFFER_SIZE];
};

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

HRESULT BuildPaths(const char* destination, InstallPaths* paths)
{
    if (JoinPath(paths->executable, destination, kExecutableName) != S_OK ||
        JoinPath(paths->log, destination, kLogFileName) != S_OK ||
        JoinPath(paths->uninstaller, destination, kUninstallerFileName) != S_OK)
        return E_FAIL;
    return BuildUninstallCommand(paths->uninstallCommand, sizeof paths->uninstallCommand, paths->uninstaller,
                                 paths->log);
}

HRESULT VerifyPayload()
{
    HRESULT result = VerifyArchiveResource(kUninstallerArchive);
    if (result != S_OK)
        return result;
    return VerifyArchiveResource(kProductArchive);
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
// cannot be swapped for a link in between. unfinishedFile
// (PATH_BUFFER_SIZE bytes): the file of the earlier log that its run, if it
// was stopped dead, may have left half-written, or empty.
HRESULT CheckDestination(const char* destination, const char* logPath, HANDLE* log, char* unfinishedFile)
{
    *log = INVALID_HANDLE_VALUE;
    unfinishedFile[0] = '\0';
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
        result = CheckLogFile(*log, unfinishedFile);
    return result;
}

// The answers and checks of both archives, before anything changes.
struct InstallPlan {
    ExtractContext uninstaller;
    ExtractPlan uninstallerMembers;
    ExtractContext product;
    ExtractPlan productMembers;
    char unfinishedFile[PATH_BUFFER_SIZE];
};

// The uninstaller (step 7) always replaces an older one and stays out of
// the log: it deletes itself last. Of the product (step 8) differing files
// are put to the user; the questions are asked here, in member order, so
// that a Cancel or a file that cannot be replaced ends the installation
// before anything changed. preservedOriginal: where either extraction
// reports a user's file it could not put back.
HRESULT PlanInstallation(HWND owner, const char* destination, char* preservedOriginal, InstallPlan* plan)
{
    plan->uninstaller.owner = owner;
    plan->uninstaller.copyMode = CopyMode::Replace;
    plan->uninstaller.doNotAsk = true;
    plan->uninstaller.log = nullptr;
    plan->uninstaller.preservedOriginal = preservedOriginal;
    HRESULT result = PlanArchiveResource(&plan->uninstaller, kUninstallerArchive, destination,
                                         &plan->uninstallerMembers);
    if (result != S_OK)
        return result;
    plan->uninstaller.plan = &plan->uninstallerMembers;

    plan->product.owner = owner;
    plan->product.copyMode = CopyMode::ReplaceUnlessNewer;
    plan->product.doNotAsk = false;
    plan->product.log = nullptr;
    plan->product.preservedOriginal = preservedOriginal;
    plan->product.unfinishedFile = plan->unfinishedFile[0] != '\0' ? plan->unfinishedFile : nullptr;
    result = PlanArchiveResource(&plan->product, kProductArchive, destination, &plan->productMembers);
    plan->product.plan = &plan->productMembers;
    return result;
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

// Everything the steps after the first would meet that can be found out
// without changing anything: a damaged payload (it must not cost the user a
// working earlier installation), the limits of the paths and the command
// line (steps 3 and 4), the destination and its earlier log (steps 5 and 6),
// and the copy-method questions (step 8).
HRESULT CheckBeforeChanging(HWND owner, const char* destination, InstallPaths* paths, HeldFile* earlierLog,
                            char* preservedOriginal, InstallPlan* plan)
{
    HRESULT result = VerifyPayload();
    if (result == S_OK)
        result = BuildPaths(destination, paths);
    if (result == S_OK)
        result = CheckDestination(destination, paths->log, &earlierLog->handle, plan->unfinishedFile);
    if (result == S_OK)
        result = PlanInstallation(owner, destination, preservedOriginal, plan);
    return result;
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

// Whether an entry of the earlier log names something of this installation
// that is still there. Only what the uninstaller would take as the
// installation's own is looked at, as the log writes it: an entry naming any
// other place (another machine's share, say) is dropped unseen.
bool StillThere(void* context, const LogLine& entry)
{
    const EarlierPlaces& earlier = *static_cast<const EarlierPlaces*>(context);
    if (earlier.prepared == nullptr)
        return false;
    if (entry.section == LogSection::RegKeys)
        return earlier.view.keyExists(earlier.view.context, entry.key);
    PathForms forms;
    AddPathForm(&forms, entry.text);
    const bool own = entry.section == LogSection::Files ? IsOwnFileForms(forms, *earlier.prepared)
                                                        : IsOwnDirectoryForms(forms, *earlier.prepared);
    return own && GetFileAttributesA(entry.text) != INVALID_FILE_ATTRIBUTES;
}

// Step 6 on an open log: the earlier installation's entries, cut down to
// what still exists after the removal of earlier versions, stay in front of
// the new ones until this run is complete, so a run that stops part-way
// leaves a log from which the uninstaller removes the earlier and the new
// items alike. earlier: where the new lines start.
HRESULT BeginLog(HANDLE file, const char* destination, DWORD* earlier, FILE** stream)
{
    *stream = nullptr;
    EarlierPlaces places(destination);
    ItemProbe probe;
    probe.context = &places;
    probe.stillThere = StillThere;
    const HRESULT result = KeepExistingEntriesIn(file, probe, earlier);
    return result == S_OK ? OpenLogStream(file, stream) : result;
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

// Before the first file of the product, the uninstall entry that starts
// the uninstaller on this log: from here on, whenever the run stops, even
// dead, the entry's command removes what is there. Both reach the disk
// first, so that not even a power cut leaves the product's files without an
// entry, or an entry naming an uninstaller that lost its bytes.
HRESULT EnterUninstaller(const InstallPaths& paths)
{
    FlushToDisk(paths.uninstaller);
    const HRESULT result = RegisterUninstall(paths.uninstallCommand, nullptr);
    HKEY entry;
    if (result == S_OK &&
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKeyPath, 0, KEY_QUERY_VALUE, &entry) == ERROR_SUCCESS) {
        RegFlushKey(entry);
        RegCloseKey(entry);
    }
    return result;
}

// The uninstall entry in the log, where it has always been listed.
HRESULT LogUninstallEntry(InstallLog* log)
{
    char line[PATH_BUFFER_SIZE];
    const RegKeyName entry = {RegRoot::LocalMachine, kUninstallKeyPath};
    return FormatKeyName(entry, line, sizeof line) ? log->Add(LogEntryKind::RegKey, line) : E_FAIL;
}

// Each line went to the system as it was written; the whole log goes to the
// disk once, at the end, not after every line: a flush per file would cost
// a disk turn for each of thousands of members.
HRESULT CloseLog(FILE* stream, HRESULT result)
{
    if (std::fflush(stream) == 0)
        FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))));
    if (std::fclose(stream) != 0 && result == S_OK)
        result = E_FAIL;
    return result;
}

// A run that stopped after the removal of earlier versions must not leave
// the product on disk without a way to remove it: while the uninstaller is
// there, so is the uninstall entry that starts it.
void KeepUninstallable(const InstallPaths& paths, InstallLog* log)
{
    if (GetFileAttributesA(paths.uninstaller) == INVALID_FILE_ATTRIBUTES)
        return;
    HKEY key;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, kUninstallKeyPath, &key) == ERROR_SUCCESS) {
        RegCloseKey(key);
        return;
    }
    RegisterUninstall(paths.uninstallCommand, log);
}

}  // namespace

HRESULT InstallProduct(HWND owner, const char* destination, unsigned char associate, InstallReport* report)
{
    char preservedOriginal[PATH_BUFFER_SIZE] = "";
    char* original = report != nullptr ? report->preservedOriginal : preservedOriginal;
    original[0] = '\0';
    // A relative or malformed destination would install somewhere else and
    // register paths that name nothing; refused before anything changes.
    if (!IsFullDirectoryPath(destination))
        return E_INVALIDARG;

    // 1. Folder-path service, checked first so that a system without it is
    // left exactly as it was.
    if (LoadFolderPathFunction() == nullptr)
        return E_FAIL;
    InstallPaths paths;
    HeldFile logFile;
    InstallPlan plan;
    HRESULT result = CheckBeforeChanging(owner, destination, &paths, &logFile, original, &plan);
    if (result != S_OK)
        return result;

    // 2. Earlier installations. An uninstall entry that already starts this
    // installation's uninstaller on its log stays: the earlier installation
    // here is never without one while this run replaces it.
    result = RemoveEarlierVersions(owner, kProductKeyPath, paths.uninstallCommand);

    // 3. Paths and 4. the command line: built and checked above.

    // 5. Destination directory: it and its parents exist before the log
    // does, so they are never listed in it.
    if (result == S_OK)
        result = CreateParentDirectories(paths.log, nullptr);

    // 6. Log: the earlier one checked above, else a new one.
    if (result == S_OK && logFile.handle == INVALID_HANDLE_VALUE)
        result = OpenLog(paths.log, OPEN_ALWAYS, &logFile.handle);
    DWORD earlier = 0;
    FILE* stream = nullptr;
    if (result == S_OK)
        result = BeginLog(logFile.handle, destination, &earlier, &stream);
    if (result != S_OK) {
        KeepUninstallable(paths, nullptr);
        return result;
    }
    InstallLog log(stream);

    // 7. Archive 215, the uninstaller, as planned, and its uninstall entry.
    result = ExtractArchiveResource(&plan.uninstaller, kUninstallerArchive, destination);
    if (result == S_OK)
        result = EnterUninstaller(paths);

    // 8. Archive 216, the product, as planned; what is written is logged.
    plan.product.log = &log;
    if (result == S_OK)
        result = ExtractArchiveResource(&plan.product, kProductArchive, destination);

    // 9. Start-menu folder and shortcuts.
    if (result == S_OK)
        result = CreateShortcuts(owner, destination, &log);

    // 10. App Paths entry.
    if (result == S_OK)
        result = RegisterAppPath(destination, paths.executable, &log);

    // 11. Uninstall entry: it exists since step 7, so it is written again,
    // and listed.
    if (result == S_OK)
        result = RegisterUninstall(paths.uninstallCommand, nullptr);
    if (result == S_OK)
        result = LogUninstallEntry(&log);

    // 12. The product's keys, the drawing class when chosen, the per-user
    // log line.
    if (result == S_OK)
        result = RegisterApplication(destination, associate, &log);
    if (result != S_OK)
        KeepUninstallable(paths, &log);

    // 13. Close, whatever happened, so the log lists what a failed
    // installation created as far as it went. After a complete run the
    // earlier entries go, but for the files and directories this run found
    // in place and so did not list again: after a plain reinstallation the
    // log holds nothing but the new lines.
    result = CloseLog(stream, result);
    if (result == S_OK && earlier > 0)
        result = DropRelistedEntriesIn(logFile.handle, earlier);
    return result;
}
