// Arbitrary bytes as INSTALL.LOG, read and planned against a registry that
// leads everywhere to this installation and a file system whose answers
// come from the path itself: whatever is planned must be a line of the log
// (or a product file that is there) and lie where the setup puts things.
// The setup's merge of the same log as an earlier one, with its own lines
// behind, must give a log that reads again.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "ground/codepage.h"
#include "ground/product_names.h"
#include "installlog/log_merge.h"
#include "removal_plan.h"

namespace {

const std::string kDir = "C:\\Program Files\\\x83\x75\x83\x8C\x83\x93\x83\x69\x95\x5C";  // ブレンナ表
const std::string kMenu = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Menu";
const std::string kLink = "C:\\users\\Public\\Desktop\\Link.lnk";

bool root = false;

bool StartsWith(const std::string& text, const std::string& head)
{
    return StartsWithIgnoreCase(text.c_str(), head.c_str());
}

bool Listed(const char* path, const TextList& lines)
{
    for (size_t i = 0; i < lines.count; ++i) {
        if (std::strcmp(lines.items[i], path) == 0)
            return true;
    }
    return false;
}

// A "." or ".." component, found by stepping through characters.
bool HasDotComponent(const std::string& path)
{
    std::string part;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '\\') {
            if (part == "." || part == "..")
                return true;
            part.clear();
        } else if (IsLeadByte(static_cast<unsigned char>(path[i])) && i + 1 < path.size()) {
            part += path.substr(i++, 2);
        } else {
            part += path[i];
        }
    }
    return false;
}

// The file system's answer from the path's bytes: every kind occurs, and the
// product files are there as files unless the input says otherwise.
ItemKind Kind(void*, const char* path)
{
    size_t sum = 0;
    for (const char* p = path; *p; ++p)
        sum += static_cast<unsigned char>(*p);
    return static_cast<ItemKind>(sum % 3);
}

// Merges the log as the setup does, some entries still there and the lines
// of the log itself as the run's own, and reads the result back.
void CheckMerge(const std::string& text)
{
    std::string earlier = text;
    ItemProbe probe;
    probe.stillThere = [](void*, const LogLine& entry) { return Kind(nullptr, entry.text) != ItemKind::Missing; };
    LogText kept;
    if (KeepExistingEntries(&earlier[0], text.size(), probe, &kept) != LogProblem::None)
        __builtin_trap();
    std::string both(kept.bytes, kept.size);
    FreeLogText(&kept);
    const size_t keptSize = both.size();
    both += text;
    LogText merged;
    if (DropRelistedEntries(&both[0], keptSize, both.size(), &merged) != LogProblem::None)
        __builtin_trap();
    std::string again(merged.bytes, merged.size);
    FreeLogText(&merged);
    again.push_back('\0');
    InstallLogContents contents;
    LogError error;
    if (!ParseInstallLog(&again[0], again.size() - 1, &contents, &error))
        __builtin_trap();
    FreeLogContents(&contents);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The length picks a drive-root installation or the usual one, so that
    // the whole input stays a log.
    root = size % 2 == 1;
    std::string dir = root ? "C:\\" : kDir;
    std::string bytes(reinterpret_cast<const char*>(data), size);
    bytes.push_back('\0');
    InstallLogContents log;
    LogError error;
    if (!ParseInstallLog(&bytes[0], size, &log, &error)) {
        FreeLogContents(&log);
        return 0;
    }
    CheckMerge(std::string(reinterpret_cast<const char*>(data), size));
    for (const TextList* list : {&log.files, &log.dirs}) {
        for (size_t i = 0; i < list->count; ++i) {
            if (std::strlen(list->items[i]) > kMaxPathBytes)
                __builtin_trap();
        }
    }

    InstallationPlaces places;
    AddPathForm(&places.directory, dir.c_str());
    AddPathForm(&places.menuFolder, kMenu.c_str());
    AddPathForm(&places.desktopLink, kLink.c_str());
    SystemView view;
    view.kind = Kind;
    view.keyExists = [](void*, const RegKeyName&) { return true; };
    view.readText = [](void*, const RegKeyName&, const char*, char* text, size_t size) {
        std::string value = (root ? std::string("C:") : kDir) + "\\" + kExecutableName;
        if (value.size() >= size)
            return false;
        std::strcpy(text, value.c_str());
        return true;
    };
    view.subkey = [](void*, const RegKeyName&, unsigned, char*, size_t) { return false; };
    std::string logPath = dir + (root ? "" : "\\") + "INSTALL.LOG";
    const char* kept[] = {logPath.c_str()};
    RemovalPlan plan;
    PlanRemoval(log, places, view, kept, 1, &plan);

    for (size_t i = 0; i < plan.files.count; ++i) {
        std::string path = plan.files.items[i];
        bool product = false;
        for (const char* name : {kExecutableName, kDataFileName})
            product = product || EqualsIgnoreCase(path.c_str(), (dir + (root ? "" : "\\") + name).c_str());
        bool inside = root ? product : StartsWith(path, kDir + "\\");
        bool listed = Listed(path.c_str(), log.files) || (product && Kind(nullptr, path.c_str()) == ItemKind::File);
        if (!listed || !(inside || StartsWith(path, kMenu + "\\") || EqualsIgnoreCase(path.c_str(), kLink.c_str())) ||
            Kind(nullptr, path.c_str()) == ItemKind::Directory || EqualsIgnoreCase(path.c_str(), logPath.c_str()) ||
            HasDotComponent(path))
            __builtin_trap();
    }
    for (size_t i = 0; i < plan.dirs.count; ++i) {
        std::string path = plan.dirs.items[i];
        bool inside = !root && StartsWith(path, kDir + "\\");
        if (!Listed(path.c_str(), log.dirs) ||
            !(inside || StartsWith(path, kMenu + "\\") || EqualsIgnoreCase(path.c_str(), kMenu.c_str())) ||
            Kind(nullptr, path.c_str()) == ItemKind::File)
            __builtin_trap();
    }
    FreePlan(&plan);
    FreeLogContents(&log);
    return 0;
}
