#include "extraction/extract.h"

#include <cstring>

#include "archive/crc16.h"
#include "archive/member_walk.h"
#include "archive/verify_archive.h"
#include "extraction/copy_method_dialog.h"
#include "ground/codepage.h"
#include "ground/directory.h"
#include "ground/folder_paths.h"
#include "ground/path.h"
#include "ground/process_hardening.h"
#include "ground/result.h"
#include "ground/temporary_name.h"
#include "installlog/directory_creation.h"
#include "installlog/install_log.h"

const char AlwaysReplaceExtensions[ALWAYS_REPLACE_SLOTS][5] = {
    "EXE", "DLL", "SYS", "VXD", "386", "DRV", "PNF", "KPA", "KPB", "KPC", "KPD", "ZUA",
    "ZUB", "ZUC", "ZUE", "ZUG", "ZUJ", "QEX", "QEV", "QEVZ", "INI", "QWZ", "XJW", "",
};

namespace {

char AsciiUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

FILETIME ToFileTime(uint64_t time)
{
    FILETIME result;
    result.dwLowDateTime = static_cast<DWORD>(time);
    result.dwHighDateTime = static_cast<DWORD>(time >> 32);
    return result;
}

// The archives are our own, but a member must still land inside the
// destination: no drive or root form, no "..", a file member has a name.
bool IsContainedMemberPath(const char* memberPath, bool isDirectory)
{
    if (!isDirectory && memberPath[0] == '\0') {
        return false;
    }
    if (memberPath[0] != '\0' && !IsRelativePath(memberPath)) {
        return false;
    }
    const char* component = memberPath;
    for (const char* p = memberPath;; p = NextChar(p)) {
        if (*p == '\\' || *p == '\0') {
            if (p - component == 2 && component[0] == '.' && component[1] == '.') {
                return false;
            }
            if (*p == '\0') {
                return true;
            }
            component = p + 1;
        }
    }
}

// ReplaceUnlessNewer: an existing file whose last-write time is later than
// the member's keeps its place.
HRESULT IsExistingFileNewer(const char* destinationPath, const FILETIME& memberTime, bool* newer)
{
    *newer = false;
    WIN32_FIND_DATAA existing;
    SetLastError(0);
    HANDLE find = FindFirstFileA(destinationPath, &existing);
    if (find == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            return S_OK;
        }
        return ResultFromLastError();
    }
    FindClose(find);
    *newer = CompareFileTime(&memberTime, &existing.ftLastWriteTime) < 0;
    return S_OK;
}

// The mode for a file member, chosen before anything is written: a listed
// extension, a missing file and an identical file are written; a differing
// file gets the context's mode, or the user's answer.
HRESULT ChooseCopyMode(ExtractContext* context, const char* memberPath, const char* destinationPath,
                       const MemberInfo* info, CopyMode* mode, DWORD* absence)
{
    *absence = 0;
    const char* extension = FindExtension(memberPath);
    if (*extension == '.') {
        ++extension;
    }
    if (IsAlwaysReplacedExtension(extension)) {
        *mode = CopyMode::Replace;
        return S_OK;
    }

    WIN32_FIND_DATAA existing;
    SetLastError(0);
    HANDLE find = FindFirstFileA(destinationPath, &existing);
    if (find == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        // Before anything is extracted, a member's directory may still be
        // missing: then nothing is there to replace.
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
            return ResultFromLastError();
        }
        *mode = CopyMode::Replace;
        *absence = error;
        return S_OK;
    }
    FindClose(find);
    // Compared as the system compares names, double-byte characters whole.
    if (context->unfinishedFile != nullptr && lstrcmpiA(destinationPath, context->unfinishedFile) == 0) {
        *mode = CopyMode::Replace;
        return S_OK;
    }

    const FILETIME memberTime = ToFileTime(info->lastWriteTime);
    if (CompareFileTime(&memberTime, &existing.ftLastWriteTime) == 0 && info->originalSize == existing.nFileSizeLow) {
        *mode = CopyMode::Replace;  // the same file is written again
        return S_OK;
    }

    if (!context->doNotAsk) {
        WIN32_FIND_DATAA member;
        memset(&member, 0, sizeof member);
        member.ftLastWriteTime = memberTime;
        member.nFileSizeLow = info->originalSize;
        SetLastError(0);
        const INT_PTR answer =
            AskCopyMethod(context->owner, memberPath, &member, &existing, &context->copyMode, &context->doNotAsk);
        const DWORD error = GetLastError();
        // The installation is still running once the question is answered.
        SetCursor(LoadCursor(nullptr, IDC_WAIT));
        if (answer == IDCANCEL) {
            return E_ABORT;
        }
        if (answer != IDOK) {
            // No dialog at all is a failure of its own, not the user's stop.
            return ResultFromWin32(error);
        }
    }
    *mode = context->copyMode;
    return S_OK;
}

// Whether the member is to be written: the policy, the user's answer and,
// for ReplaceUnlessNewer, the existing file's time. absence: why no file
// was found there (ERROR_FILE_NOT_FOUND, or ERROR_PATH_NOT_FOUND when its
// directory is missing), or 0.
HRESULT DecideMember(ExtractContext* context, const char* memberPath, const char* destinationPath,
                     const MemberInfo* info, bool* write, DWORD* absence)
{
    *write = false;
    CopyMode mode = CopyMode::Skip;  // nothing is written unless a mode is chosen
    HRESULT result = ChooseCopyMode(context, memberPath, destinationPath, info, &mode, absence);
    if (result != S_OK) {
        return result;
    }
    switch (mode) {
    case CopyMode::Skip:
        return S_OK;
    case CopyMode::ReplaceUnlessNewer: {
        bool newer = false;
        result = IsExistingFileNewer(destinationPath, ToFileTime(info->lastWriteTime), &newer);
        *write = result == S_OK && !newer;
        return result;
    }
    default:
        *write = true;
        return S_OK;
    }
}

struct MemberOutput {
    HANDLE file;
    DWORD error;  // why a write fell short: a full disk must say so
};

bool WriteToFile(void* output, const unsigned char* data, uint32_t size)
{
    MemberOutput* out = static_cast<MemberOutput*>(output);
    // A write cut short (the disk filling up) is continued: the next one
    // then fails and says why.
    while (size > 0) {
        DWORD written = 0;
        SetLastError(0);
        if (!WriteFile(out->file, data, size, &written, nullptr) || written == 0) {
            out->error = GetLastError() != 0 ? GetLastError() : static_cast<DWORD>(ERROR_WRITE_FAULT);
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

// Resource (type, id) of the program's own module: an archive (type "lzh")
// or the sum the build made of it (type "lzhsum"). A resource that is not
// there gives no bytes.
void FindArchiveResource(int resourceId, const unsigned char** bytes, DWORD* size, const char* type = "lzh")
{
    HMODULE module = GetModuleHandleA(nullptr);
    *bytes = nullptr;
    *size = 0;
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(resourceId), type);
    if (resource != nullptr) {
        HGLOBAL loaded = LoadResource(module, resource);
        if (loaded != nullptr) {
            *bytes = static_cast<const unsigned char*>(LockResource(loaded));
            *size = *bytes != nullptr ? SizeofResource(module, resource) : 0;
        }
    }
}

// The archived times, through the file's own handle. A failure gives the
// raw system error number.
HRESULT SetMemberTimes(HANDLE file, const MemberInfo* info)
{
    if (info->creationTime == 0 && info->lastAccessTime == 0 && info->lastWriteTime == 0) {
        return S_OK;
    }
    const FILETIME creation = ToFileTime(info->creationTime);
    const FILETIME access = ToFileTime(info->lastAccessTime);
    const FILETIME write = ToFileTime(info->lastWriteTime);
    SetLastError(0);
    if (!SetFileTime(file, info->creationTime ? &creation : nullptr, info->lastAccessTime ? &access : nullptr,
                     info->lastWriteTime ? &write : nullptr)) {
        return ResultFromLastError();
    }
    return S_OK;
}

// What creating the file anew would refuse stays refused, with its cause: a
// file held open (0x80070020), read-only where the system enforces it, hidden
// or system, a directory (0x80070005).
HRESULT CheckReplaceable(const char* destinationPath, bool* replacing)
{
    SetLastError(0);
    const DWORD attributes = GetFileAttributesA(destinationPath);
    *replacing = attributes != INVALID_FILE_ATTRIBUTES;
    if (!*replacing) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? S_OK : ResultFromWin32(error);
    }
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) {
        return ResultFromWin32(ERROR_ACCESS_DENIED);
    }
    SetLastError(0);
    HANDLE probe = CreateFileA(destinationPath, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe == INVALID_HANDLE_VALUE) {
        return ResultFromLastError();
    }
    CloseHandle(probe);
    return S_OK;
}

// A new, empty file under a temporary name (ground/temporary_name.h) in
// directory, or the nearest one above it whose name leaves room for that
// name, opened for writing. Made new and kept open, the file is created once
// and never truncated (a truncated file is written back at once by some file
// systems). A name that is taken is never opened: another random one is
// tried.
HRESULT CreateTemporaryIn(const char* where, char* temporary, HANDLE* file)
{
    char directory[PATH_BUFFER_SIZE];
    if (CopyBounded(directory, sizeof directory, where) != S_OK) {
        return E_FAIL;
    }
    RemoveBackslash(directory);
    while (strlen(directory) + 1 + kTemporaryNameLength >= MAX_PATH) {
        if (!RemoveLastComponent(directory)) {
            return E_FAIL;
        }
        RemoveBackslash(directory);
    }
    // 64 random bits: no one can take every name, so the bound is never
    // reached but by a generator that repeats itself.
    for (unsigned int tries = 0; tries < 0x10000; ++tries) {
        char name[kTemporaryNameLength + 1];
        FormatTemporaryName(name, RandomBits());
        wsprintfA(temporary, "%s\\%s", directory, name);
        SetLastError(0);
        // With DELETE on the NT family, the finished file can be renamed
        // through this handle (RenameThroughHandle).
        const DWORD access = IsWindows9xFamily() ? GENERIC_WRITE : GENERIC_WRITE | DELETE;
        *file = CreateFileA(temporary, access, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (*file != INVALID_HANDLE_VALUE) {
            return S_OK;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            return ResultFromWin32(error);
        }
    }
    return ResultFromWin32(ERROR_FILE_EXISTS);
}

// The same beside path, in its own directory: on its volume, and wherever
// path fits.
HRESULT CreateTemporaryNear(const char* path, char* temporary, HANDLE* file)
{
    char directory[PATH_BUFFER_SIZE];
    if (CopyBounded(directory, sizeof directory, path) != S_OK || !RemoveLastComponent(directory)) {
        return E_FAIL;
    }
    return CreateTemporaryIn(directory, temporary, file);
}

// A fresh temporary name beside path, its empty file made and closed.
HRESULT ReserveNameBeside(const char* path, char* name)
{
    HANDLE reserved;
    const HRESULT result = CreateTemporaryNear(path, name, &reserved);
    if (result == S_OK) {
        CloseHandle(reserved);
    }
    return result;
}

// A complete temporary on another volume than its destination (a folder
// of the destination mounted from elsewhere) is first moved beside it, under
// a fresh temporary name, so that the destination's name still changes in
// one step. On success temporary names the moved file.
HRESULT MoveBeside(char* temporary, const char* destinationPath)
{
    char beside[PATH_BUFFER_SIZE];
    HRESULT result = ReserveNameBeside(destinationPath, beside);
    if (result != S_OK) {
        return result;
    }
    SetLastError(0);
    if (!MoveFileExA(temporary, beside, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
        result = ResultFromLastError();
        DeleteFileA(beside);
        return result;
    }
    return CopyBounded(temporary, PATH_BUFFER_SIZE, beside);
}

// Whether path's directory exists: S_OK, or the error that taking the name
// there would give.
HRESULT CheckDirectoryOf(const char* path)
{
    char directory[PATH_BUFFER_SIZE];
    if (CopyBounded(directory, sizeof directory, path) != S_OK || !RemoveLastComponent(directory)) {
        return E_FAIL;
    }
    RemoveBackslash(directory);
    return FindSystemEntry(directory) == SystemEntry::Directory ? S_OK : RESULT_PATH_NOT_FOUND;
}

typedef BOOL(WINAPI* SetFileInformationByHandleFunction)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);
SetFileInformationByHandleFunction setFileInformation = nullptr;
bool setFileInformationLooked = false;

// From Vista on, the finished temporary takes its name through its own open
// handle: no second open by name, and no look-up of the new name before the
// rename itself (MoveFileEx makes one on some systems). False when that
// cannot be done here; the caller then renames by name, which reports why.
bool RenameThroughHandle(HANDLE file, const char* destinationPath)
{
    if (!setFileInformationLooked) {
        setFileInformation =
            SystemFunction<SetFileInformationByHandleFunction>("kernel32.dll", "SetFileInformationByHandle");
        setFileInformationLooked = true;
    }
    if (setFileInformation == nullptr || IsWindows9xFamily()) {
        return false;
    }
    // The new name in the system's own form: \??\C:\... or \??\UNC\server\...
    const bool unc = destinationPath[0] == '\\' && destinationPath[1] == '\\';
    const wchar_t* prefix = unc ? L"\\??\\UNC" : L"\\??\\";
    union {
        FILE_RENAME_INFO info;
        unsigned char bytes[sizeof(FILE_RENAME_INFO) + (8 + PATH_BUFFER_SIZE) * sizeof(WCHAR)];
    } buffer;
    WCHAR* name = buffer.info.FileName;
    const int prefixLength = lstrlenW(prefix);
    memcpy(name, prefix, prefixLength * sizeof(WCHAR));
    const int converted = MultiByteToWideChar(CP_ACP, 0, destinationPath + (unc ? 1 : 0), -1, name + prefixLength,
                                              PATH_BUFFER_SIZE);
    if (converted == 0) {
        return false;
    }
    buffer.info.ReplaceIfExists = TRUE;
    buffer.info.RootDirectory = nullptr;
    buffer.info.FileNameLength = static_cast<DWORD>((prefixLength + converted - 1) * sizeof(WCHAR));
    return setFileInformation(file, FileRenameInfo, &buffer.info, sizeof buffer) != FALSE;
}

// One rename on the NT family. Windows 95/98/Me have no MoveFileExA: there
// the existing file steps aside under a name of its own, the new one takes
// its place, and the old one comes back if that fails. preservedOriginal,
// when given: where the user's original is left under another name, to be
// shown with the failure.
HRESULT PutInPlace(char* temporary, const char* destinationPath, bool replacing, char* preservedOriginal)
{
    SetLastError(0);
    if (!IsWindows9xFamily()) {
        if (MoveFileExA(temporary, destinationPath, MOVEFILE_REPLACE_EXISTING)) {
            return S_OK;
        }
        if (GetLastError() != ERROR_NOT_SAME_DEVICE) {
            return ResultFromLastError();
        }
        const HRESULT moved = MoveBeside(temporary, destinationPath);
        if (moved != S_OK) {
            return moved;
        }
        SetLastError(0);
        return MoveFileExA(temporary, destinationPath, MOVEFILE_REPLACE_EXISTING) ? S_OK : ResultFromLastError();
    }
    if (!replacing) {
        return MoveFileA(temporary, destinationPath) ? S_OK : ResultFromLastError();
    }
    char backup[PATH_BUFFER_SIZE];
    HRESULT result = ReserveNameBeside(destinationPath, backup);
    if (result != S_OK) {
        return result;
    }
    DeleteFileA(backup);  // MoveFileA will not replace the name it reserved
    SetLastError(0);
    if (!MoveFileA(destinationPath, backup)) {
        return ResultFromLastError();
    }
    SetLastError(0);
    if (!MoveFileA(temporary, destinationPath)) {
        result = ResultFromLastError();
        if (!MoveFileA(backup, destinationPath)) {
            // The original survives only under the backup's name.
            if (preservedOriginal != nullptr)
                CopyBounded(preservedOriginal, PATH_BUFFER_SIZE, backup);
        }
        return result;
    }
    SetLastError(0);
    if (!DeleteFileA(backup)) {
        // The new file is in place; the old one cannot go. Try once more
        // without attributes before reporting it, and where it is.
        SetFileAttributesA(backup, FILE_ATTRIBUTE_NORMAL);
        SetLastError(0);
        if (!DeleteFileA(backup)) {
            if (preservedOriginal != nullptr)
                CopyBounded(preservedOriginal, PATH_BUFFER_SIZE, backup);
            return ResultFromLastError();
        }
    }
    return S_OK;
}

}  // namespace

bool IsAlwaysReplacedExtension(const char* extension)
{
    if (extension == nullptr || extension[0] == '\0') {
        return false;
    }
    // Byte-wise, ignoring ASCII case: the slots are ASCII, so a double-byte
    // character can never match one.
    for (int slot = 0; AlwaysReplaceExtensions[slot][0] != '\0'; ++slot) {
        const char* entry = AlwaysReplaceExtensions[slot];
        size_t i = 0;
        while (entry[i] != '\0' && AsciiUpper(extension[i]) == entry[i]) {
            ++i;
        }
        if (entry[i] == '\0' && extension[i] == '\0') {
            return true;
        }
    }
    return false;
}

namespace {

// The member's data written to output, its CRC checked and its times set.
HRESULT WriteMemberData(MemberOutput* output, const MemberInfo* info, LzhDecodeStream* cursor)
{
    unsigned int crc = Crc16Update(0, nullptr, 0);
    HRESULT result = ReadMemberData(info, cursor, WriteToFile, output, &crc);
    if (result != S_OK && output->error != 0) {
        result = ResultFromWin32(output->error);
    }
    if (result == S_OK && crc != static_cast<unsigned int>(info->dataCrc & 0xFFFF)) {
        result = E_CORRUPT_DATA;
    }
    if (result == S_OK) {
        result = SetMemberTimes(output->file, info);
    }
    return result;
}

// A file took the member's name after the plan found none: nothing was
// written, and it is replaced as any other.
constexpr HRESULT kNameTaken = static_cast<HRESULT>(0x80070000u | ERROR_FILE_EXISTS);

// A new file of the log is written once, under its own name: making a
// temporary and renaming it would look the name up twice more, and each
// look-up of a name that is not there reads its whole directory on some
// systems. It is listed before it is made, so that a run stopped in between
// leaves nothing the log does not name, and taken back with the partial
// file when it fails. A run stopped dead may leave it half-written and
// newer than its member; it is then the log's last entry, which the next
// run replaces without asking (ExtractContext::unfinishedFile).
HRESULT WriteNewMember(const char* destinationPath, const MemberInfo* info, LzhDecodeStream* cursor,
                       InstallLog* log)
{
    const LogMark mark = log->Mark();
    HRESULT result = log->Add(LogEntryKind::File, destinationPath);
    MemberOutput output = {INVALID_HANDLE_VALUE, 0};
    if (result == S_OK) {
        SetLastError(0);
        output.file = CreateFileA(destinationPath, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                  nullptr);
        if (output.file == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            result = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? kNameTaken : ResultFromWin32(error);
        }
    }
    if (output.file != INVALID_HANDLE_VALUE) {
        result = WriteMemberData(&output, info, cursor);
        SetLastError(0);
        if (!CloseHandle(output.file) && result == S_OK) {
            result = ResultFromLastError();
        }
        if (result != S_OK) {
            DeleteFileA(destinationPath);
        }
    }
    if (result != S_OK) {
        const HRESULT rewound = log->Rewind(mark);
        return rewound == S_OK ? result : rewound;
    }
    return S_OK;
}

HRESULT WriteMember(const char* destinationPath, const char* stagingDirectory, const MemberInfo* info,
                    LzhDecodeStream* cursor, InstallLog* log, bool foundAbsent, char* preservedOriginal)
{
    // Every look-up of a name that is not there reads its whole directory
    // on some systems; a new file is looked up once, by its creation.
    bool replacing = false;
    HRESULT result = foundAbsent ? S_OK : CheckReplaceable(destinationPath, &replacing);
    if (result == S_OK && !replacing && log != nullptr) {
        result = WriteNewMember(destinationPath, info, cursor, log);
        if (result != kNameTaken) {
            return result;
        }
        result = CheckReplaceable(destinationPath, &replacing);
    }
    if (result != S_OK) {
        return result;
    }
    // Any other is written under a temporary name and put in place only
    // once complete, so a failure never costs the existing file. The
    // temporary is made in the staging directory (the installation's top,
    // where few names are) rather than beside the destination: making a name
    // new reads the whole directory on some systems, and the member's own
    // directory, which may hold thousands, is then read once, by the rename.
    char temporary[PATH_BUFFER_SIZE];
    MemberOutput output = {INVALID_HANDLE_VALUE, 0};
    result = CreateTemporaryIn(stagingDirectory, temporary, &output.file);
    if (result != S_OK) {
        return result;
    }
    result = WriteMemberData(&output, info, cursor);
    // A new file is listed before it takes its name, so that a run stopped
    // in between leaves nothing the log does not name; its directory must be
    // there, or the name could never be taken. A replaced one is listed once
    // it is written: until then it is what it was before.
    if (result == S_OK && log != nullptr && !replacing) {
        result = CheckDirectoryOf(destinationPath);
        if (result == S_OK) {
            result = log->Add(LogEntryKind::File, destinationPath);
        }
    }
    const bool renamed = result == S_OK && RenameThroughHandle(output.file, destinationPath);
    SetLastError(0);
    if (!CloseHandle(output.file) && result == S_OK) {
        result = ResultFromLastError();
    }
    if (result == S_OK && !renamed) {
        result = PutInPlace(temporary, destinationPath, replacing, preservedOriginal);
    }
    if (result != S_OK) {
        if (!renamed) {
            DeleteFileA(temporary);
        }
        return result;
    }
    if (log != nullptr && replacing) {
        result = log->Add(LogEntryKind::File, destinationPath);
    }
    return result;
}

// As the plan says: decided and asked before anything changed, not asked
// again.
HRESULT ExtractFileMember(ExtractContext* context, const char* destinationDirectory, const char* destinationPath,
                          const MemberInfo* info, LzhDecodeStream* cursor, uint32_t fileIndex)
{
    if (fileIndex >= context->plan->Count()) {
        return E_FAIL;  // not the archive that was planned
    }
    if (!context->plan->Writes(fileIndex)) {
        return S_OK;
    }
    return WriteMember(destinationPath, destinationDirectory, info, cursor, context->log,
                       !context->plan->Replaces(fileIndex), context->preservedOriginal);
}


// The temporaries that a stopped run left in directory.
void RemoveStaleTemporaries(const char* directory)
{
    char pattern[PATH_BUFFER_SIZE];
    if (JoinPath(pattern, directory, "ORV*.TMP") != S_OK) {
        return;
    }
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(pattern, &found);
    if (find == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        char path[PATH_BUFFER_SIZE];
        // The pattern also meets other names through their short forms.
        if (!(found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) &&
            IsTemporaryName(found.cFileName) && JoinPath(path, directory, found.cFileName) == S_OK) {
            SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(path);
        }
    } while (FindNextFileA(find, &found));
    FindClose(find);
}

// The member walk of the extraction and the plan before it: every member's
// path checked and joined to the destination.
template <typename Visit>
HRESULT WalkMembers(const char* destinationDirectory, const unsigned char* archiveBytes, uint32_t archiveSize,
                    Visit visit)
{
    char memberPath[PATH_BUFFER_SIZE];
    bool endMarker;
    return WalkArchiveMembers(
        archiveBytes, archiveSize, memberPath, sizeof memberPath, &endMarker,
        [&](const char*, const MemberInfo* info, bool isDirectory, LzhDecodeStream* cursor) -> HRESULT {
            if (!IsContainedMemberPath(memberPath, isDirectory)) {
                return E_FAIL;
            }
            char destinationPath[PATH_BUFFER_SIZE];
            const HRESULT result = JoinPath(destinationPath, destinationDirectory, memberPath);
            return result == S_OK ? visit(memberPath, destinationPath, info, isDirectory, cursor) : result;
        });
}

}  // namespace

HRESULT ExtractMembers(ExtractContext* context, const char* destinationDirectory, const unsigned char* archiveBytes,
                       uint32_t archiveSize)
{
    if (context->plan == nullptr) {
        return E_INVALIDARG;
    }
    uint32_t fileIndex = 0;
    // What a run stopped part-way left half-written goes before anything is
    // written again: in the destination and in each member directory, the
    // places where temporaries are made.
    RemoveStaleTemporaries(destinationDirectory);
    HRESULT result = WalkMembers(
        destinationDirectory, archiveBytes, archiveSize,
        [&](const char*, char* destinationPath, const MemberInfo* info, bool isDirectory,
            LzhDecodeStream* cursor) -> HRESULT {
            if (isDirectory) {
                // A directory member names the directory itself: with a
                // trailing separator it is created too, not only its
                // parents. A path without room for one cannot be formed.
                if (AddBackslash(destinationPath) == nullptr) {
                    return E_FAIL;
                }
                const HRESULT created = CreateParentDirectories(destinationPath, context->log);
                if (created == S_OK) {
                    RemoveStaleTemporaries(destinationPath);
                }
                return created;
            }
            return ExtractFileMember(context, destinationDirectory, destinationPath, info, cursor, fileIndex++);
        });
    if (result != S_OK) {
        return result;
    }

    SetLastError(0);
    if (!SetFileAttributesA(destinationDirectory, FILE_ATTRIBUTE_NORMAL)) {
        return ResultFromLastError();
    }
    return S_OK;
}

HRESULT PlanMembers(ExtractContext* context, const char* destinationDirectory, const unsigned char* archiveBytes,
                    uint32_t archiveSize, ExtractPlan* plan)
{
    plan->Clear();
    // A directory found missing holds no file to replace or ask about: its
    // members are not looked up one by one. On some systems each look-up of
    // a missing name reads the whole directory above it.
    char missing[PATH_BUFFER_SIZE] = "";
    if (FindSystemEntry(destinationDirectory) == SystemEntry::Missing) {
        CopyBounded(missing, sizeof missing, destinationDirectory);
        RemoveBackslash(missing);
    }
    return WalkMembers(
        destinationDirectory, archiveBytes, archiveSize,
        [&](const char* memberPath, char* destinationPath, const MemberInfo* info, bool isDirectory,
            LzhDecodeStream*) -> HRESULT {
            if (isDirectory) {
                return S_OK;
            }
            const size_t missingLength = strlen(missing);
            if (missingLength > 0 && strncmp(destinationPath, missing, missingLength) == 0 &&
                destinationPath[missingLength] == '\\') {
                return plan->Add(true, false);
            }
            bool write = false;
            DWORD absence = 0;
            bool replacing = false;
            HRESULT result = DecideMember(context, memberPath, destinationPath, info, &write, &absence);
            if (absence == ERROR_PATH_NOT_FOUND) {
                char directory[PATH_BUFFER_SIZE];
                CopyBounded(directory, sizeof directory, destinationPath);
                RemoveLastComponent(directory);
                RemoveBackslash(directory);
                if (FindSystemEntry(directory) == SystemEntry::Missing) {
                    CopyBounded(missing, sizeof missing, directory);
                }
            }
            // A name found missing is not looked up again.
            if (result == S_OK && write && absence == 0) {
                result = CheckReplaceable(destinationPath, &replacing);
            }
            const HRESULT added = plan->Add(write, replacing);
            return result != S_OK ? result : added;
        });
}

HRESULT PlanArchiveResource(ExtractContext* context, int resourceId, const char* destinationDirectory,
                            ExtractPlan* plan)
{
    const unsigned char* bytes;
    DWORD size;
    FindArchiveResource(resourceId, &bytes, &size);
    return PlanMembers(context, destinationDirectory, bytes, size, plan);
}

HRESULT ExtractArchiveResource(ExtractContext* context, int resourceId, const char* destinationDirectory)
{
    // A resource that is not there reads as an empty archive.
    const unsigned char* bytes;
    DWORD size;
    FindArchiveResource(resourceId, &bytes, &size);
    return ExtractMembers(context, destinationDirectory, bytes, size);
}

HRESULT VerifyArchiveResource(int resourceId)
{
    const unsigned char* bytes;
    DWORD size;
    FindArchiveResource(resourceId, &bytes, &size);
    const unsigned char* sum;
    DWORD sumSize;
    FindArchiveResource(resourceId, &sum, &sumSize, "lzhsum");
    return CheckArchiveSum(bytes, size, sum, sumSize);
}
