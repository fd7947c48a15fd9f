#include "archive_writer.h"

#include <cstring>
#include <stdexcept>

#include "archive/crc16.h"

namespace lzhpack {
namespace {

constexpr std::uint64_t kEpochDifference = 11644473600ull;  // 1601-01-01 to 1970-01-01, seconds
constexpr std::size_t kMaxHeaderSize = 4096;                // what readers buffer
constexpr int kFileAttribute = 0x20;
constexpr int kDirectoryAttribute = 0x10;

void Put16(std::vector<std::uint8_t>& b, unsigned v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void Put64(std::vector<std::uint8_t>& b, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void Set16(std::vector<std::uint8_t>& b, std::size_t at, unsigned v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

// Appends one extended header: type, body, and the size field of the next
// one (patched when the next is added).
void PutExtended(std::vector<std::uint8_t>& h, std::size_t& nextSizeAt, int type,
                 const std::vector<std::uint8_t>& body) {
    Set16(h, nextSizeAt, static_cast<unsigned>(body.size() + 3));
    h.push_back(static_cast<std::uint8_t>(type));
    h.insert(h.end(), body.begin(), body.end());
    nextSizeAt = h.size();
    Put16(h, 0);
}

}  // namespace

MemberTimes TimesFromUnix(std::int64_t seconds) {
    MemberTimes t;
    t.unixTime = static_cast<std::int32_t>(seconds);
    std::uint64_t ft = static_cast<std::uint64_t>(seconds + static_cast<std::int64_t>(kEpochDifference)) *
                       10000000ull;
    if (seconds < -static_cast<std::int64_t>(kEpochDifference)) ft = 0;
    t.creation = t.lastWrite = t.lastAccess = ft;
    return t;
}

void ArchiveWriter::AddFile(const std::string& dir, const std::string& name, const std::uint8_t* data,
                            std::size_t size, const MemberTimes& times) {
    if (size > 0xFFFFFFFFu) throw std::runtime_error("file larger than 4 GiB");
    std::vector<std::uint8_t> coded = EncodeLh5(data, size, options_);
    if (coded.size() > 0xFFFFFFFFu) throw std::runtime_error("coded member larger than 4 GiB");
    unsigned crc = Crc16Update(Crc16Update(0, nullptr, 0), data, size);
    AddMember("-lh5-", dir, name, coded, static_cast<std::uint32_t>(size), crc, kFileAttribute, times);
}

void ArchiveWriter::AddDirectory(const std::string& dir, const MemberTimes& times) {
    AddMember("-lhd-", dir, std::string(), {}, 0, 0, kDirectoryAttribute, times);
}

void ArchiveWriter::AddMember(const char* method, const std::string& dir, const std::string& name,
                              const std::vector<std::uint8_t>& payload, std::uint32_t originalSize,
                              unsigned dataCrc, int attribute, const MemberTimes& times) {
    std::vector<std::uint8_t> h;
    Put16(h, 0);  // header size, patched below
    h.insert(h.end(), method, method + 5);
    Put32(h, static_cast<std::uint32_t>(payload.size()));
    Put32(h, originalSize);
    Put32(h, static_cast<std::uint32_t>(times.unixTime));
    h.push_back(static_cast<std::uint8_t>(attribute));
    h.push_back(2);  // level
    Put16(h, dataCrc);
    h.push_back('M');
    std::size_t nextSizeAt = h.size();
    Put16(h, 0);

    PutExtended(h, nextSizeAt, 0x00, {0, 0});
    const std::size_t crcAt = nextSizeAt - 2;
    PutExtended(h, nextSizeAt, 0x01, std::vector<std::uint8_t>(name.begin(), name.end()));
    if (!dir.empty()) {
        std::vector<std::uint8_t> d;
        for (char c : dir) d.push_back(c == '/' ? 0xFF : static_cast<std::uint8_t>(c));
        if (d.back() != 0xFF) d.push_back(0xFF);
        PutExtended(h, nextSizeAt, 0x02, d);
    }
    std::vector<std::uint8_t> ft;
    Put64(ft, times.creation);
    Put64(ft, times.lastWrite);
    Put64(ft, times.lastAccess);
    PutExtended(h, nextSizeAt, 0x41, ft);
    // A header size with a zero low byte would read as the end marker to
    // some readers; one pad byte avoids it.
    if ((h.size() & 0xFF) == 0) h.push_back(0);
    if (h.size() > kMaxHeaderSize) throw std::runtime_error("member name too long");
    Set16(h, 0, static_cast<unsigned>(h.size()));
    Set16(h, crcAt, Crc16Update(Crc16Update(0, nullptr, 0), h.data(), h.size()));

    out_.insert(out_.end(), h.begin(), h.end());
    out_.insert(out_.end(), payload.begin(), payload.end());
}

std::vector<std::uint8_t> ArchiveWriter::Finish() {
    out_.push_back(0);
    return std::move(out_);
}

}  // namespace lzhpack
