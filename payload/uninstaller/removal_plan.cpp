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

bool EndsWithSeparator(const std::string& path)
{
    bool last = false;
    for (size_t i = 0; i < path.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(path[i]);
        last = (c == '\\');
        if (IsLeadByte(c))
            ++i;
    }
    return last;
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

RemovalPlan PlanRemoval(const InstallLogContents& log, const std::vector<RegKeyName>& ownRegistrations,
                        const std::vector<std::string>& keptForLast)
{
    RemovalPlan plan;
    AppendReversedOnce(&plan.files, log.files, SamePath);
    AppendReversedOnce(&plan.dirs, log.dirs, SamePath);
    for (std::vector<std::string>* group : {&plan.files, &plan.dirs}) {
        for (const std::string& kept : keptForLast) {
            for (auto it = group->begin(); it != group->end();)
                it = SamePath(*it, kept) ? group->erase(it) : it + 1;
        }
    }
    AppendReversedOnce(&plan.keys, log.keys, SameKeyName);
    for (const RegKeyName& key : ownRegistrations) {
        bool seen = false;
        for (const RegKeyName& have : plan.keys)
            seen = seen || SameKeyName(have, key);
        if (!seen)
            plan.keys.push_back(key);
    }
    return plan;
}

bool NamesPathInside(const char* text, const char* directory)
{
    while (*text == ' ')
        ++text;
    if (*text == '"')
        ++text;
    std::string dir(directory);
    if (EndsWithSeparator(dir))
        dir.pop_back();
    if (dir.empty())
        return false;
    size_t i = 0;
    for (; i < dir.size(); ++i) {
        if (!text[i])
            return false;
        unsigned char c = static_cast<unsigned char>(dir[i]);
        if (IsLeadByte(c) && i + 1 < dir.size()) {
            if (text[i] != dir[i] || text[i + 1] != dir[i + 1])
                return false;
            ++i;
            continue;
        }
        if (FoldAscii(text[i]) != FoldAscii(dir[i]))
            return false;
    }
    // The directory itself is not inside; something must follow it.
    return text[i] == '\\' && text[i + 1] != '\0' && text[i + 1] != '"' && text[i + 1] != ' ';
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
