#include "uninstall_log.h"

#include <cstring>

#include "removal_plan.h"
#include "util/codepage.h"

namespace {

struct RootName {
    const char* name;
    RegRoot root;
};

const RootName kRootNames[] = {
    {"HKEY_LOCAL_MACHINE", RegRoot::LocalMachine},
    {"HKEY_CLASSES_ROOT", RegRoot::ClassesRoot},
    {"HKEY_CURRENT_USER", RegRoot::CurrentUser},
};

enum class Section { None, Files, Dirs, RegKeys };

// Components between backslashes, stepping by characters. False for an
// empty component or a lead byte without its trail byte.
bool SplitComponents(const char* text, std::vector<std::string>* parts)
{
    std::string part;
    const char* p = text;
    while (*p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (IsLeadByte(c)) {
            if (!p[1])
                return false;
            part += p[0];
            part += p[1];
            p += 2;
            continue;
        }
        if (c == '\\') {
            if (part.empty())
                return false;
            parts->push_back(part);
            part.clear();
        } else {
            part += *p;
        }
        ++p;
    }
    if (part.empty())
        return false;
    parts->push_back(part);
    return true;
}

bool IsAsciiLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

bool SameKeyName(const RegKeyName& a, const RegKeyName& b)
{
    return a.root == b.root && EqualsIgnoreCase(a.path, b.path);
}

std::string FormatKeyName(const RegKeyName& key)
{
    for (const RootName& r : kRootNames) {
        if (r.root == key.root)
            return std::string(r.name) + "\\" + key.path;
    }
    return key.path;
}

bool IsAbsoluteFilePath(const char* path)
{
    const char* rest;
    size_t rootComponents;
    if (IsAsciiLetter(path[0]) && path[1] == ':' && path[2] == '\\') {
        rest = path + 3;
        rootComponents = 0;
    } else if (path[0] == '\\' && path[1] == '\\') {
        rest = path + 2;
        rootComponents = 2;  // server and share
    } else {
        return false;
    }
    std::vector<std::string> parts;
    if (!SplitComponents(rest, &parts))
        return false;
    if (parts.size() <= rootComponents)
        return false;
    for (const std::string& part : parts) {
        if (part == "." || part == "..")
            return false;
        if (part.find_first_of(":*?\"<>|/") != std::string::npos) {
            // Those bytes are never data in a path, except as trail bytes.
            bool inTrail = false;
            for (size_t i = 0; i < part.size(); ++i) {
                unsigned char c = static_cast<unsigned char>(part[i]);
                if (inTrail) {
                    inTrail = false;
                    continue;
                }
                if (IsLeadByte(c)) {
                    inTrail = true;
                    continue;
                }
                if (std::strchr(":*?\"<>|/", c))
                    return false;
            }
        }
        for (unsigned char c : part) {
            if (c < 0x20)
                return false;
        }
    }
    return true;
}

bool ParseKeyName(const char* text, RegKeyName* key, LogProblem* problem)
{
    std::string line(text);
    size_t slash = line.find('\\');
    std::string rootName = line.substr(0, slash);
    const RootName* found = nullptr;
    for (const RootName& r : kRootNames) {
        if (EqualsIgnoreCase(rootName, r.name))
            found = &r;
    }
    if (!found) {
        *problem = LogProblem::UnknownRootKey;
        return false;
    }
    if (slash == std::string::npos || slash + 1 == line.size()) {
        *problem = LogProblem::RootKey;
        return false;
    }
    std::string path = line.substr(slash + 1);
    std::vector<std::string> parts;
    if (!SplitComponents(path.c_str(), &parts)) {
        *problem = LogProblem::MalformedKey;
        return false;
    }
    for (const std::string& part : parts) {
        for (unsigned char c : part) {
            if (c < 0x20) {
                *problem = LogProblem::MalformedKey;
                return false;
            }
        }
    }
    key->root = found->root;
    key->path = path;
    return true;
}

bool ParseInstallLog(const std::string& bytes, InstallLogContents* contents, LogError* error)
{
    *contents = InstallLogContents();
    *error = LogError();
    if (bytes.size() > kMaxLogSize) {
        error->problem = LogProblem::TooLarge;
        return false;
    }
    Section section = Section::None;
    size_t start = 0;
    int lineNumber = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos)
            end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        auto fail = [&](LogProblem problem) {
            error->problem = problem;
            error->line = lineNumber;
            error->text = line;
            return false;
        };
        if (line.find('\0') != std::string::npos)
            return fail(LogProblem::NulByte);
        if (line.empty())
            continue;
        if (line[0] == '[') {
            if (line == "[Files]")
                section = Section::Files;
            else if (line == "[Dirs]")
                section = Section::Dirs;
            else if (line == "[RegKeys]")
                section = Section::RegKeys;
            else
                return fail(LogProblem::UnknownSection);
            continue;
        }
        switch (section) {
        case Section::None:
            return fail(LogProblem::EntryBeforeSection);
        case Section::Files:
        case Section::Dirs:
            if (!IsAbsoluteFilePath(line.c_str()))
                return fail(LogProblem::NotAbsolutePath);
            (section == Section::Files ? contents->files : contents->dirs).push_back(line);
            break;
        case Section::RegKeys: {
            RegKeyName key;
            LogProblem problem;
            if (!ParseKeyName(line.c_str(), &key, &problem))
                return fail(problem);
            contents->keys.push_back(key);
            break;
        }
        }
    }
    return true;
}
