// Level-2 archives put together in memory, for members that a well-behaved
// packer never writes: stored members with a wrong CRC, headers with a broken
// check, names that leave the destination, data cut short.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct CraftedMember {
    std::string path;            // '\' separated; a directory member ends with '\'
    std::string method = "-lh0-";
    std::string data;
    int32_t unixTime = 1700000000;
    // Extended header 0x41 (creation, last write, last access) when any is set.
    uint64_t creationTime = 0;
    uint64_t lastWriteTime = 0;
    uint64_t lastAccessTime = 0;
    bool withFileTimes = false;
    int dataCrcDelta = 0;        // added to the true CRC of the data
    bool breakHeaderCrc = false;
    int64_t originalSizeOverride = -1;
};

std::vector<unsigned char> CraftArchive(const std::vector<CraftedMember>& members, bool endMarker = true);
// Offset of the first data byte of member index within a level-2 archive.
size_t MemberDataOffset(const std::vector<unsigned char>& archive, int index);
