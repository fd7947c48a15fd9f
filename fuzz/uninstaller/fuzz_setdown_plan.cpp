// Arbitrary bytes as INSTALL.LOG, read and planned against a registry that
// leads everywhere to this installation: whatever is planned must be a line
// of the log and lie where the setup puts things.
#include <cstddef>
#include <cstdint>
#include <string>

#include "registration/product_names.h"
#include "removal_plan.h"
#include "util/codepage.h"

namespace {

const std::string kDir = "C:\\Program Files\\\x83\x75\x83\x8C\x83\x93\x83\x69\x95\x5C";  // ブレンナ表
const std::string kMenu = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Menu";
const std::string kLink = "C:\\users\\Public\\Desktop\\Link.lnk";

bool StartsWith(const std::string& text, const std::string& head)
{
    return text.size() >= head.size() && EqualsIgnoreCase(text.substr(0, head.size()), head);
}

bool Listed(const std::string& path, const std::vector<std::string>& lines)
{
    for (const std::string& line : lines) {
        if (line == path)
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The length picks a drive-root installation or the usual one, so that
    // the whole input stays a log.
    bool root = size % 2 == 1;
    std::string dir = root ? "C:\\" : kDir;
    std::string bytes(reinterpret_cast<const char*>(data), size);
    InstallLogContents log;
    LogError error;
    if (!ParseInstallLog(bytes, &log, &error))
        return 0;

    InstallationPlaces places;
    places.directory = {dir};
    places.menuFolder = {kMenu};
    places.desktopLink = {kLink};
    SystemView view;
    view.otherForms = [](const std::string&) { return std::vector<std::string>(); };
    view.keyExists = [](const RegKeyName&) { return true; };
    view.readText = [&](const RegKeyName&, const char*, std::string* text) {
        *text = (root ? "C:" : kDir) + "\\" + kExecutableName;
        return true;
    };
    view.subkeys = [](const RegKeyName&) { return std::vector<std::string>(); };
    RemovalPlan plan = PlanRemoval(log, places, view, {dir + "\\INSTALL.LOG"});

    for (const std::string& path : plan.files) {
        bool inside = root ? (EqualsIgnoreCase(path, "C:\\ORVIK.exe") || EqualsIgnoreCase(path, "C:\\ORVIK.DAT"))
                           : StartsWith(path, kDir + "\\");
        if (!Listed(path, log.files) || !(inside || StartsWith(path, kMenu + "\\") || EqualsIgnoreCase(path, kLink)))
            __builtin_trap();
    }
    for (const std::string& path : plan.dirs) {
        bool inside = !root && StartsWith(path, kDir + "\\");
        if (!Listed(path, log.dirs) || !(inside || StartsWith(path, kMenu + "\\") || EqualsIgnoreCase(path, kMenu)))
            __builtin_trap();
    }
    for (const std::string& path : plan.files) {
        if (HasDotComponent(path))
            __builtin_trap();
    }
    return 0;
}
