#include <windows.h>

#include <cstdint>

#include "platform.h"

namespace lzhpack {
namespace {

constexpr std::int64_t kEpochDifference = 11644473600;

std::uint64_t FromFileTime(const FILETIME& ft) {
    return (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

FILETIME ToFileTime(std::uint64_t t) {
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(t);
    ft.dwHighDateTime = static_cast<DWORD>(t >> 32);
    return ft;
}

}  // namespace

// Archive names are in the ANSI code page, as the installer reads them.
std::string ArchiveName(const std::filesystem::path& component) {
    const std::wstring& w = component.native();
    int n = WideCharToMultiByte(CP_ACP, 0, w.c_str(), static_cast<int>(w.size()), nullptr, 0, nullptr,
                                nullptr);
    std::string s(static_cast<std::size_t>(n), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_ACP, 0, w.c_str(), static_cast<int>(w.size()), &s[0], n, nullptr, nullptr);
    return s;
}

std::filesystem::path NativeName(const std::string& component) {
    int n = MultiByteToWideChar(CP_ACP, 0, component.c_str(), static_cast<int>(component.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_ACP, 0, component.c_str(), static_cast<int>(component.size()), &w[0], n);
    return std::filesystem::path(w);
}

// The narrow functions take paths in the ANSI code page, as archive names are.
std::string SystemPath(const std::filesystem::path& path) { return ArchiveName(path); }

std::string DisplayName(const std::string& component) { return component; }

bool ReadFileTimes(const std::filesystem::path& path, MemberTimes& times) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
    times.creation = FromFileTime(data.ftCreationTime);
    times.lastWrite = FromFileTime(data.ftLastWriteTime);
    times.lastAccess = FromFileTime(data.ftLastAccessTime);
    times.unixTime = static_cast<std::int32_t>(static_cast<std::int64_t>(times.lastWrite / 10000000u) -
                                               kEpochDifference);
    return true;
}

bool ApplyFileTimes(const std::filesystem::path& path, std::uint64_t creation, std::uint64_t lastWrite,
                    std::uint64_t lastAccess) {
    // Directories open only with backup semantics.
    HANDLE h = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    FILETIME c = ToFileTime(creation), w = ToFileTime(lastWrite), a = ToFileTime(lastAccess);
    BOOL ok = SetFileTime(h, creation ? &c : nullptr, lastAccess ? &a : nullptr, lastWrite ? &w : nullptr);
    CloseHandle(h);
    return ok != FALSE;
}

}  // namespace lzhpack
