// Writes LZH archives: level-2 headers, "-lh5-" members and "-lhd-"
// directory entries, OS id 'M', ended by one zero byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "lh5_encoder.h"

namespace lzhpack {

// Times of one member. unixTime goes into the base header; the Windows file
// times (100 ns since 1601-01-01 UTC) into extended header 0x41.
struct MemberTimes {
    std::int32_t unixTime = 0;
    std::uint64_t creation = 0;
    std::uint64_t lastWrite = 0;
    std::uint64_t lastAccess = 0;
};

// All three file times and the base stamp from one time in seconds since 1970.
MemberTimes TimesFromUnix(std::int64_t seconds);

class ArchiveWriter {
public:
    explicit ArchiveWriter(Lh5EncoderOptions options = {}) : options_(options) {}

    // dir: the member's directory inside the archive, components separated
    // by '/', empty for the top level. name: the file name. Throws
    // std::runtime_error when the member cannot be represented.
    void AddFile(const std::string& dir, const std::string& name, const std::uint8_t* data,
                 std::size_t size, const MemberTimes& times);
    // dir: the directory's own path, components separated by '/'.
    void AddDirectory(const std::string& dir, const MemberTimes& times);

    // Appends the end marker and hands over the archive bytes.
    std::vector<std::uint8_t> Finish();

    std::size_t size() const { return out_.size(); }

private:
    void AddMember(const char* method, const std::string& dir, const std::string& name,
                   const std::vector<std::uint8_t>& payload, std::uint32_t originalSize,
                   unsigned dataCrc, int attribute, const MemberTimes& times);

    Lh5EncoderOptions options_;
    std::vector<std::uint8_t> out_;
};

}  // namespace lzhpack
