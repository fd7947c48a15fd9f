#include <fcntl.h>
#include <sys/stat.h>

#include <cstdint>

#include "platform.h"

namespace lzhpack {
namespace {

constexpr std::int64_t kEpochDifference = 11644473600;

std::uint64_t ToFileTime(const struct timespec& ts) {
    std::int64_t s = ts.tv_sec + kEpochDifference;
    if (s < 0) return 0;
    return static_cast<std::uint64_t>(s) * 10000000u + static_cast<std::uint64_t>(ts.tv_nsec / 100);
}

struct timespec FromFileTime(std::uint64_t ft) {
    struct timespec ts{};
    if (ft == 0) {
        ts.tv_nsec = UTIME_OMIT;
        return ts;
    }
    ts.tv_sec = static_cast<time_t>(static_cast<std::int64_t>(ft / 10000000u) - kEpochDifference);
    ts.tv_nsec = static_cast<long>(ft % 10000000u) * 100;
    return ts;
}

}  // namespace

std::string ArchiveName(const std::filesystem::path& component) { return component.string(); }

std::filesystem::path NativeName(const std::string& component) { return std::filesystem::path(component); }

bool ReadFileTimes(const std::filesystem::path& path, MemberTimes& times) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return false;
    times.unixTime = static_cast<std::int32_t>(st.st_mtim.tv_sec);
    times.lastWrite = ToFileTime(st.st_mtim);
    times.lastAccess = ToFileTime(st.st_atim);
    times.creation = times.lastWrite;  // no birth time through stat
    return true;
}

bool ApplyFileTimes(const std::filesystem::path& path, std::uint64_t, std::uint64_t lastWrite,
                    std::uint64_t lastAccess) {
    if (lastAccess == 0) lastAccess = lastWrite;
    struct timespec ts[2] = {FromFileTime(lastAccess), FromFileTime(lastWrite)};
    return ::utimensat(AT_FDCWD, path.c_str(), ts, 0) == 0;
}

}  // namespace lzhpack
