#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>

#include <cstdint>
#include <stdexcept>

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

// Converts with iconv; false when some character has no equivalent.
bool Convert(const char* to, const char* from, const std::string& in, std::string& out) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    out.assign(in.size() * 4 + 4, '\0');
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char* dst = &out[0];
    std::size_t dstLeft = out.size();
    std::size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    if (r == static_cast<std::size_t>(-1) || srcLeft != 0) return false;
    out.resize(out.size() - dstLeft);
    return true;
}

bool IsAscii(const std::string& s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

}  // namespace

// Host names are UTF-8; archive names are code page 932, as the installer
// reads them on a Japanese system.
std::string ArchiveName(const std::filesystem::path& component) {
    const std::string& name = component.native();
    std::string out;
    if (IsAscii(name)) return name;
    if (!Convert("CP932", "UTF-8", name, out))
        throw std::runtime_error(name + ": name has no code page 932 form");
    return out;
}

// Names that are not valid code page 932 are taken as they are.
std::filesystem::path NativeName(const std::string& component) {
    std::string out;
    if (IsAscii(component) || !Convert("UTF-8", "CP932", component, out)) return component;
    return out;
}

std::string SystemPath(const std::filesystem::path& path) { return path.native(); }

std::string DisplayName(const std::string& component) { return NativeName(component).string(); }

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
