#include "crafted_archive.h"

#include <windows.h>

#include "archive/crc16.h"

namespace {

void Put16(std::vector<unsigned char>& out, unsigned value)
{
    out.push_back(static_cast<unsigned char>(value));
    out.push_back(static_cast<unsigned char>(value >> 8));
}

void Put32(std::vector<unsigned char>& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

void Put64(std::vector<unsigned char>& out, uint64_t value)
{
    for (int i = 0; i < 8; ++i)
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

// Type byte, body, and the size of the next extended header (patched later).
void PutExtended(std::vector<unsigned char>& out, unsigned char type, const std::vector<unsigned char>& body)
{
    // The previous size field is the last two bytes written.
    const size_t size = 1 + body.size() + 2;
    out[out.size() - 2] = static_cast<unsigned char>(size);
    out[out.size() - 1] = static_cast<unsigned char>(size >> 8);
    out.push_back(type);
    out.insert(out.end(), body.begin(), body.end());
    Put16(out, 0);
}

}  // namespace

std::vector<unsigned char> CraftArchive(const std::vector<CraftedMember>& members, bool endMarker)
{
    std::vector<unsigned char> archive;
    for (const CraftedMember& m : members) {
        // Split at the last separator and mark separators with 0xFF, stepping
        // over double-byte characters (their trail byte may be 0x5C).
        std::string directory, name = m.path;
        size_t cut = std::string::npos;
        std::vector<size_t> separators;
        for (size_t i = 0; i < m.path.size(); ++i) {
            if (IsDBCSLeadByte(static_cast<unsigned char>(m.path[i])) && i + 1 < m.path.size()) {
                ++i;
            } else if (m.path[i] == '\\') {
                cut = i;
                separators.push_back(i);
            }
        }
        if (cut != std::string::npos) {
            directory = m.path.substr(0, cut + 1);
            name = m.path.substr(cut + 1);
            for (size_t at : separators)
                directory[at] = static_cast<char>(0xFF);
        }

        const unsigned dataCrc = (Crc16Update(0, m.data.data(), m.data.size()) + m.dataCrcDelta) & 0xFFFF;
        std::vector<unsigned char> h;
        Put16(h, 0);  // header size, patched below
        h.insert(h.end(), m.method.begin(), m.method.begin() + 5);
        Put32(h, static_cast<uint32_t>(m.data.size()));
        Put32(h, m.originalSizeOverride >= 0 ? static_cast<uint32_t>(m.originalSizeOverride)
                                             : static_cast<uint32_t>(m.data.size()));
        Put32(h, static_cast<uint32_t>(m.unixTime));
        h.push_back(0x20);
        h.push_back(2);
        Put16(h, dataCrc);
        h.push_back('M');
        Put16(h, 0);  // size of the first extended header

        PutExtended(h, 0x00, {0, 0});
        const size_t crcAt = h.size() - 4;
        if (!name.empty())
            PutExtended(h, 0x01, std::vector<unsigned char>(name.begin(), name.end()));
        if (!directory.empty())
            PutExtended(h, 0x02, std::vector<unsigned char>(directory.begin(), directory.end()));
        if (m.withFileTimes) {
            std::vector<unsigned char> times;
            Put64(times, m.creationTime);
            Put64(times, m.lastWriteTime);
            Put64(times, m.lastAccessTime);
            PutExtended(h, 0x41, times);
        }
        h[0] = static_cast<unsigned char>(h.size());
        h[1] = static_cast<unsigned char>(h.size() >> 8);
        unsigned headerCrc = Crc16Update(0, h.data(), h.size());
        if (m.breakHeaderCrc)
            headerCrc ^= 0x0101;
        h[crcAt] = static_cast<unsigned char>(headerCrc);
        h[crcAt + 1] = static_cast<unsigned char>(headerCrc >> 8);

        archive.insert(archive.end(), h.begin(), h.end());
        archive.insert(archive.end(), m.data.begin(), m.data.end());
    }
    if (endMarker)
        archive.push_back(0);
    return archive;
}

size_t MemberDataOffset(const std::vector<unsigned char>& archive, int index)
{
    size_t offset = 0;
    for (int i = 0;; ++i) {
        const size_t headerSize = archive[offset] | (archive[offset + 1] << 8);
        const uint32_t compressed = archive[offset + 7] | (archive[offset + 8] << 8) |
                                    (archive[offset + 9] << 16) | (uint32_t(archive[offset + 10]) << 24);
        if (i == index)
            return offset + headerSize;
        offset += headerSize + compressed;
    }
}
