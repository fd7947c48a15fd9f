#include "product_tree.h"

#include <algorithm>
#include <map>
#include <stdexcept>

#include "ground/codepage.h"
#include "ground/device_name.h"
#include "platform.h"

namespace fs = std::filesystem;

namespace lzhpack {
namespace {

[[noreturn]] void Refuse(const fs::path& path, const std::string& why) {
    throw std::runtime_error(path.string() + ": " + why);
}

// The name as Windows compares names: single-byte letters folded; the
// bytes of a double-byte character (a trail byte may be a letter) kept.
std::string Folded(const std::string& name) {
    std::string out = name;
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (IsLeadByte(static_cast<unsigned char>(out[i])) && i + 1 < out.size())
            ++i;
        else if (out[i] >= 'a' && out[i] <= 'z')
            out[i] = static_cast<char>(out[i] - 'a' + 'A');
    }
    return out;
}

// Why Windows cannot hold a file of this code page 932 name, or empty.
std::string WindowsNameFault(const std::string& name) {
    for (std::size_t i = 0; i < name.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (IsLeadByte(c) && i + 1 < name.size()) {
            ++i;
            continue;
        }
        if (c < 0x20 || std::string("<>:\"/\\|?*").find(static_cast<char>(c)) != std::string::npos)
            return "the character '" + std::string(1, static_cast<char>(c)) + "' is not allowed in Windows names";
    }
    if (name.back() == '.' || name.back() == ' ') return "Windows drops a name's trailing dot or blank";
    if (IsDeviceName(name.data(), name.size())) return "a device name on Windows";
    return std::string();
}

void Walk(const fs::path& folder, const std::string& prefix, std::vector<ProductMember>& out) {
    const bool top = prefix.empty();
    struct Entry {
        std::string name;
        fs::path path;
        bool directory;
    };
    std::vector<Entry> entries;
    std::map<std::string, fs::path> folded;
    for (const fs::directory_entry& e : fs::directory_iterator(folder)) {
        const fs::path& path = e.path();
        std::string name;
        try {
            name = ArchiveName(path.filename());
        } catch (const std::runtime_error&) {
            Refuse(path, "the name has no code page 932 form");
        }
        const fs::file_status st = e.symlink_status();
        if (fs::is_symlink(st)) Refuse(path, "a symbolic link; put the file or folder itself there");
        const bool directory = fs::is_directory(st);
        if (!directory && !fs::is_regular_file(st)) Refuse(path, "a special file, neither a regular file nor a folder");
        const std::string fault = WindowsNameFault(name);
        if (!fault.empty()) Refuse(path, fault);
        const std::string key = Folded(name);
        if (!folded.emplace(key, path).second)
            Refuse(path, "differs from " + folded[key].filename().string() +
                             " only in letter case; Windows would keep one of them");
        if (top && (key == "SETDOWN.EXE" || key == "INSTALL.LOG"))
            Refuse(path, "setup.exe writes a file of this name beside ORVIK.exe itself");
        if (top && key == "ORVIK.EXE" && (directory || name != "ORVIK.exe"))
            Refuse(path, "the program must be a file named ORVIK.exe");
        const std::string archivePath = top ? name : prefix + "/" + name;
        const std::size_t limit = directory ? kLongestMemberFolder : kLongestMemberPath;
        if (archivePath.size() > limit)
            Refuse(path, "its path in the folder is " + std::to_string(archivePath.size()) +
                             " bytes in code page 932; a " + (directory ? "folder" : "file") + "'s may have " +
                             std::to_string(limit) + " to fit below the longest destination (" +
                             std::to_string(kLongestDestination) + " bytes) in setup.exe's 260-byte paths");
        entries.push_back({archivePath, path, directory});
    }
    // std::string compares as unsigned bytes: code page 932 order.
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
    for (const Entry& e : entries) {
        out.push_back({e.name, e.path, e.directory});
        if (e.directory) Walk(e.path, e.name, out);
    }
}

}  // namespace

std::vector<ProductMember> ListProductTree(const fs::path& root) {
    std::error_code ec;
    if (!fs::is_directory(root, ec)) Refuse(root, "not a folder");
    if (fs::is_empty(root, ec)) Refuse(root, "an empty folder; it must hold at least ORVIK.exe");
    std::vector<ProductMember> members;
    Walk(root, std::string(), members);
    auto program = std::find_if(members.begin(), members.end(),
                                [](const ProductMember& m) { return m.archivePath == "ORVIK.exe"; });
    if (program == members.end())
        Refuse(root, "no file ORVIK.exe at its top; the product folder must hold the program there");
    // The wizard and the log expect the program as the first member.
    std::rotate(members.begin(), program, program + 1);
    return members;
}

}  // namespace lzhpack
