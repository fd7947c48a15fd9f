// The few file-system services lzhpack needs beyond std::filesystem; one
// definition per platform (platform_host.cpp, platform_win32.cpp).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "archive_writer.h"

namespace lzhpack {

// A path component as it is stored in an archive (bytes in the system's
// narrow encoding) and back.
std::string ArchiveName(const std::filesystem::path& component);
std::filesystem::path NativeName(const std::string& component);

// A host path as the system's narrow file functions take it.
std::string SystemPath(const std::filesystem::path& path);

// An archive name as the console shows it.
std::string DisplayName(const std::string& component);

// The times of an existing file or directory; false when they cannot be read.
bool ReadFileTimes(const std::filesystem::path& path, MemberTimes& times);

// Sets the times of a file or directory (Windows file times; 0 leaves that
// time alone). False when the system refuses.
bool ApplyFileTimes(const std::filesystem::path& path, std::uint64_t creation,
                    std::uint64_t lastWrite, std::uint64_t lastAccess);

}  // namespace lzhpack
