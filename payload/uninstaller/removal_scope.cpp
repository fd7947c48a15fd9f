#include "removal_scope.h"

#include <cstring>

#include "registration/product_names.h"
#include "removal_plan.h"
#include "util/codepage.h"

namespace {

bool IsAsciiLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Names the system takes for devices whatever the directory or extension.
bool IsDeviceName(const std::string& component)
{
    std::string base = component.substr(0, component.find('.'));
    while (!base.empty() && base.back() == ' ')
        base.pop_back();
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"}) {
        if (EqualsIgnoreCase(base, device))
            return true;
    }
    if (base.size() == 4 && base[3] >= '1' && base[3] <= '9')
        return EqualsIgnoreCase(base.substr(0, 3), "COM") || EqualsIgnoreCase(base.substr(0, 3), "LPT");
    return false;
}

bool IsPlainComponent(const std::string& component)
{
    if (component.empty() || component == "." || component == "..")
        return false;
    for (size_t i = 0; i < component.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(component[i]);
        if (IsLeadByte(c)) {
            if (i + 1 >= component.size())
                return false;
            ++i;
            continue;
        }
        if (c < 0x20 || std::strchr(":*?\"<>|/", c))
            return false;
    }
    // No trail byte is a dot or a blank, so the last byte tells.
    char last = component.back();
    return last != '.' && last != ' ' && !IsDeviceName(component);
}

// Splits at separators found by stepping through characters; one trailing
// separator is dropped, any other empty component fails.
bool SplitComponents(const std::string& text, std::vector<std::string>* parts)
{
    std::string part;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (IsLeadByte(c) && i + 1 < text.size()) {
            part += text.substr(i, 2);
            ++i;
        } else if (c == '\\') {
            if (part.empty())
                return false;
            parts->push_back(part);
            part.clear();
        } else {
            part += text[i];
        }
    }
    if (!part.empty())
        parts->push_back(part);
    else if (!text.empty() && parts->empty())
        return false;
    for (const std::string& p : *parts) {
        if (!IsPlainComponent(p))
            return false;
    }
    return true;
}

std::vector<std::string> AllForms(const std::string& path, const SystemView& view)
{
    std::vector<std::string> forms{path};
    if (view.otherForms) {
        for (const std::string& form : view.otherForms(path))
            forms.push_back(form);
    }
    return forms;
}

bool SamePath(const std::string& a, const std::string& b)
{
    return PathWithin(a, b, true) && PathWithin(b, a, true);
}

bool IsRoot(const std::string& directory)
{
    std::string root;
    std::vector<std::string> parts;
    return SplitPlainPath(directory, &root, &parts) && parts.empty();
}

std::string Text(const SystemView& view, RegRoot root, const std::string& path, const char* name)
{
    std::string text;
    if (!view.readText(RegKeyName{root, path}, name, &text))
        text.clear();
    return text;
}

bool Exists(const SystemView& view, RegRoot root, const std::string& path)
{
    return view.keyExists(RegKeyName{root, path});
}

}  // namespace

bool SplitPlainPath(const std::string& path, std::string* root, std::vector<std::string>* parts)
{
    parts->clear();
    std::string rest;
    if (path.size() >= 3 && IsAsciiLetter(path[0]) && path[1] == ':' && path[2] == '\\') {
        *root = path.substr(0, 2);
        rest = path.substr(3);
    } else if (path.size() > 2 && path[0] == '\\' && path[1] == '\\') {
        // Server and share are the root; both must be plain names.
        std::vector<std::string> all;
        if (!SplitComponents(path.substr(2), &all) || all.size() < 2)
            return false;
        *root = "\\\\" + all[0] + "\\" + all[1];
        parts->assign(all.begin() + 2, all.end());
        return true;
    } else {
        return false;
    }
    return SplitComponents(rest, parts);
}

bool PathWithin(const std::string& path, const std::string& directory, bool orEqual)
{
    std::string pathRoot, dirRoot;
    std::vector<std::string> pathParts, dirParts;
    if (!SplitPlainPath(path, &pathRoot, &pathParts) || !SplitPlainPath(directory, &dirRoot, &dirParts))
        return false;
    if (!EqualsIgnoreCase(pathRoot, dirRoot) || pathParts.size() < dirParts.size())
        return false;
    if (pathParts.size() == dirParts.size() && !orEqual)
        return false;
    for (size_t i = 0; i < dirParts.size(); ++i) {
        if (!EqualsIgnoreCase(pathParts[i], dirParts[i]))
            return false;
    }
    return true;
}

bool IsOwnFile(const std::string& path, const InstallationPlaces& places, const SystemView& view)
{
    std::string root;
    std::vector<std::string> parts;
    if (!SplitPlainPath(path, &root, &parts))
        return false;
    for (const std::string& form : AllForms(path, view)) {
        for (const std::string& dir : places.directory) {
            if (!IsRoot(dir)) {
                if (PathWithin(form, dir, false))
                    return true;
                continue;
            }
            // A drive or share root holds other things too: only the files
            // the product archive carries, directly in it.
            for (const char* name : {kExecutableName, kDataFileName}) {
                std::string own = dir + (dir.back() == '\\' ? "" : "\\") + name;
                if (SamePath(form, own))
                    return true;
            }
        }
        for (const std::string& menu : places.menuFolder) {
            if (PathWithin(form, menu, false))
                return true;
        }
        for (const std::string& link : places.desktopLink) {
            if (SamePath(form, link))
                return true;
        }
    }
    return false;
}

bool IsOwnDirectory(const std::string& path, const InstallationPlaces& places, const SystemView& view)
{
    std::string root;
    std::vector<std::string> parts;
    if (!SplitPlainPath(path, &root, &parts))
        return false;
    for (const std::string& form : AllForms(path, view)) {
        for (const std::string& dir : places.directory) {
            if (!IsRoot(dir) && PathWithin(form, dir, false))
                return true;
        }
        for (const std::string& menu : places.menuFolder) {
            if (PathWithin(form, menu, true))
                return true;
        }
    }
    return false;
}

bool NamesProgramIn(const std::string& text, const std::vector<std::string>& directories, const char* fileName)
{
    size_t start = 0;
    while (start < text.size() && text[start] == ' ')
        ++start;
    bool quoted = start < text.size() && text[start] == '"';
    if (quoted)
        ++start;
    for (const std::string& dir : directories) {
        std::string root;
        std::vector<std::string> parts;
        if (!SplitPlainPath(dir, &root, &parts))
            continue;
        std::string expected = root + "\\";
        for (const std::string& part : parts)
            expected += part + "\\";
        expected += fileName;
        if (text.size() - start < expected.size())
            continue;
        std::string head = text.substr(start, expected.size());
        if (!EqualsIgnoreCase(head, expected))
            continue;
        char next = start + expected.size() < text.size() ? text[start + expected.size()] : '\0';
        if (quoted ? next == '"' : (next == '\0' || next == ' ' || next == ','))
            return true;
    }
    return false;
}

OwnKeys FindOwnKeys(const InstallationPlaces& places, const SystemView& view)
{
    OwnKeys own;
    const std::vector<std::string>& dir = places.directory;
    auto names = [&](RegRoot root, const std::string& path, const char* value, const char* file) {
        return Exists(view, root, path) && NamesProgramIn(Text(view, root, path, value), dir, file);
    };

    // Version keys of this installation; the product key (and the user's
    // settings, which all installations share) only when no other
    // installation's key remains below it.
    std::vector<std::string> ours;
    for (const char* version : kProductVersions) {
        std::string path = std::string(kProductKeyPath) + "\\" + version;
        if (!Exists(view, RegRoot::LocalMachine, path))
            continue;
        std::string location = Text(view, RegRoot::LocalMachine, path, "Path");
        bool sameDir = false;
        for (const std::string& form : dir)
            sameDir = sameDir || (!location.empty() && SamePath(location, form));
        if (sameDir || names(RegRoot::LocalMachine, path, "AppPath", kExecutableName)) {
            own.keys.push_back({RegRoot::LocalMachine, path});
            ours.push_back(version);
        }
    }
    if (names(RegRoot::LocalMachine, kProductKeyPath, "AppPath", kExecutableName)) {
        bool foreign = false;
        for (const std::string& name : view.subkeys(RegKeyName{RegRoot::LocalMachine, kProductKeyPath})) {
            bool mine = false;
            for (const std::string& version : ours)
                mine = mine || EqualsIgnoreCase(version, name);
            foreign = foreign || !mine;
        }
        if (!foreign) {
            own.keys.push_back({RegRoot::LocalMachine, kProductKeyPath});
            if (Exists(view, RegRoot::CurrentUser, kProductKeyPath))
                own.keys.push_back({RegRoot::CurrentUser, kProductKeyPath});
        }
    }

    // The class while its server is this installation's viewer; the ProgIDs
    // while they lead to that class; ".kdw" while it leads to such a ProgID.
    const std::string classKey = kDrawingClassKeyPath;
    bool classOurs = names(RegRoot::ClassesRoot, classKey + "\\LocalServer32", "", kExecutableName) ||
                     names(RegRoot::ClassesRoot, classKey + "\\LocalServer", "", kExecutableName);
    std::vector<std::string> progIds;
    if (classOurs) {
        for (const char* progId : {kDrawingVersionProgId, kDrawingProgId}) {
            std::string clsid = Text(view, RegRoot::ClassesRoot, std::string(progId) + "\\CLSID", "");
            if (EqualsIgnoreCase(clsid, kDrawingClassId))
                progIds.push_back(progId);
        }
    }
    std::string type = Text(view, RegRoot::ClassesRoot, kDrawingExtension, "");
    for (const std::string& progId : progIds) {
        if (EqualsIgnoreCase(type, progId))
            own.keys.push_back({RegRoot::ClassesRoot, kDrawingExtension});
    }
    for (const std::string& progId : progIds)
        own.keys.push_back({RegRoot::ClassesRoot, progId});
    if (classOurs)
        own.keys.push_back({RegRoot::ClassesRoot, classKey});

    if (names(RegRoot::LocalMachine, kAppPathKeyPath, "", kExecutableName))
        own.finishing.push_back({RegRoot::LocalMachine, kAppPathKeyPath});
    // The uninstall entry goes last of all: while it stays, the user can
    // start the uninstall again.
    if (names(RegRoot::LocalMachine, kUninstallKeyPath, "UninstallString", kUninstallerFileName))
        own.finishing.push_back({RegRoot::LocalMachine, kUninstallKeyPath});
    return own;
}
