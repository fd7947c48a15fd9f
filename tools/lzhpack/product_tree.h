// The product folder that becomes setup.exe's archive 216: what an
// installation can hold, in the order the installer and its log expect.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace lzhpack {

// setup.exe joins every member to the destination in 260-byte buffers. The
// longest destination it accepts is fixed by its uninstall command line,
// '"' D '\setdown.exe" "' D '\INSTALL.LOG"', 2 * D + 29 bytes, which must fit
// into 260 bytes with its terminator: D <= 115.
constexpr std::size_t kLongestDestination = 115;
// A file's path below the destination: D '\' path, terminator included.
constexpr std::size_t kLongestMemberPath = 260 - 1 - (kLongestDestination + 1);  // 143
// A folder's path below the destination: inside the 248 bytes
// CreateDirectoryA takes, with room to spare. (The extractor writes each
// file first under a temporary name beside it, or in the nearest folder
// above where that name does not fit.)
constexpr std::size_t kLongestMemberFolder = 260 - 14 - 1 - (kLongestDestination + 1);  // 129

struct ProductMember {
    std::string archivePath;  // code page 932 components joined by '/'
    std::filesystem::path hostPath;
    bool directory;
};

// The members of the product folder root: ORVIK.exe first, then the rest
// depth first, the entries of each folder by their code page 932 bytes and
// each folder before what it holds. Throws std::runtime_error naming the
// host file when the folder holds something the installation cannot
// reproduce.
std::vector<ProductMember> ListProductTree(const std::filesystem::path& root);

}  // namespace lzhpack
