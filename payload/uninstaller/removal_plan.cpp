#include "removal_plan.h"

#include "util/codepage.h"

namespace {

char FoldAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

template <typename T, typename Same>
void AppendReversedOnce(std::vector<T>* out, const std::vector<T>& in, Same same)
{
    for (auto it = in.rbegin(); it != in.rend(); ++it) {
        bool seen = false;
        for (const T& have : *out)
            seen = seen || same(have, *it);
        if (!seen)
            out->push_back(*it);
    }
}

bool SamePath(const std::string& a, const std::string& b)
{
    return EqualsIgnoreCase(a, b);
}

// The same key or one of its subkeys.
bool KeyWithin(const RegKeyName& key, const RegKeyName& top)
{
    if (key.root != top.root || key.path.size() < top.path.size())
        return false;
    if (!EqualsIgnoreCase(key.path.substr(0, top.path.size()), top.path))
        return false;
    return key.path.size() == top.path.size() || key.path[top.path.size()] == '\\';
}

}  // namespace

bool EqualsIgnoreCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    // Folding a trail byte could make two different characters equal, so
    // double-byte characters are compared exactly.
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(a[i]);
        if (IsLeadByte(c) && i + 1 < a.size()) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1])
                return false;
            ++i;
            continue;
        }
        if (FoldAscii(a[i]) != FoldAscii(b[i]))
            return false;
    }
    return true;
}

RemovalPlan PlanRemoval(const InstallLogContents& log, const InstallationPlaces& places, const SystemView& view,
                        const std::vector<std::string>& keptForLast)
{
    RemovalPlan plan;
    std::vector<std::string> files, dirs;
    AppendReversedOnce(&files, log.files, SamePath);
    AppendReversedOnce(&dirs, log.dirs, SamePath);
    auto kept = [&](const std::string& path) {
        for (const std::string& last : keptForLast) {
            if (SamePath(path, last))
                return true;
        }
        return false;
    };
    for (const std::string& file : files) {
        if (!kept(file))
            (IsOwnFile(file, places, view) ? plan.files : plan.notOurs).push_back(file);
    }
    for (const std::string& dir : dirs) {
        if (!kept(dir))
            (IsOwnDirectory(dir, places, view) ? plan.dirs : plan.notOurs).push_back(dir);
    }

    OwnKeys own = FindOwnKeys(places, view);
    plan.keys = own.keys;
    plan.finishing = own.finishing;
    // A listed key that is neither one of those nor below one is not this
    // installation's; it is named only while it exists.
    std::vector<RegKeyName> listed;
    AppendReversedOnce(&listed, log.keys, SameKeyName);
    for (auto it = listed.rbegin(); it != listed.rend(); ++it) {
        bool covered = false;
        for (const std::vector<RegKeyName>* group : {&plan.keys, &plan.finishing}) {
            for (const RegKeyName& key : *group)
                covered = covered || KeyWithin(*it, key);
        }
        if (!covered && view.keyExists(*it))
            plan.notOurs.push_back(FormatKeyName(*it));
    }
    return plan;
}

std::string ParentDirectory(const std::string& path)
{
    // The last separator found by stepping through characters.
    size_t last = std::string::npos;
    for (size_t i = 0; i < path.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(path[i]);
        if (IsLeadByte(c)) {
            ++i;
            continue;
        }
        if (c == '\\')
            last = i;
    }
    if (last == std::string::npos)
        return std::string();
    return path.substr(0, last);
}

std::vector<std::string> SplitCommandLine(const char* commandLine)
{
    std::vector<std::string> args;
    const char* p = commandLine;
    for (;;) {
        while (*p == ' ' || *p == '\t')
            ++p;
        if (!*p)
            break;
        std::string arg;
        bool quoted = false;
        while (*p) {
            unsigned char c = static_cast<unsigned char>(*p);
            if (IsLeadByte(c) && p[1]) {
                arg += p[0];
                arg += p[1];
                p += 2;
                continue;
            }
            if (c == '"') {
                quoted = !quoted;
                ++p;
                continue;
            }
            if (!quoted && (c == ' ' || c == '\t'))
                break;
            arg += *p++;
        }
        args.push_back(arg);
    }
    return args;
}
