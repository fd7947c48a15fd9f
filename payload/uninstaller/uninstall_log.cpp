#include "uninstall_log.h"

#include <cstdlib>
#include <cstring>

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

bool IsTrailByte(unsigned char c)
{
    return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}

bool IsAsciiLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Components between backslashes, stepping by characters: None, or the
// problem of the first component that is empty, broken, too long, "." or
// "..", or (forPath) holds a byte that is never data in a path.
LogProblem CheckComponents(const char* text, bool forPath, LogProblem bad, size_t* count = nullptr)
{
    size_t components = 0;
    const char* start = text;
    const char* p = text;
    for (;;) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c == '\\' || c == '\0') {
            size_t length = static_cast<size_t>(p - start);
            if (length == 0)
                return bad;
            if (length > kMaxComponentBytes)
                return LogProblem::TooLong;
            if (forPath && start[0] == '.' && (length == 1 || (length == 2 && start[1] == '.')))
                return bad;
            ++components;
            if (!c) {
                if (count)
                    *count = components;
                return LogProblem::None;
            }
            start = ++p;
            continue;
        }
        if (IsLead(c)) {
            if (!IsTrailByte(static_cast<unsigned char>(p[1])))
                return bad;
            p += 2;
            continue;
        }
        if (c < 0x20 || (forPath && IsForbiddenInPath(c)))
            return bad;
        ++p;
    }
}

LogProblem CheckPath(const char* path)
{
    if (std::strlen(path) > kMaxPathBytes)
        return LogProblem::TooLong;
    size_t components = 0;
    LogProblem problem;
    if (IsAsciiLetter(path[0]) && path[1] == ':' && path[2] == '\\') {
        problem = CheckComponents(path + 3, true, LogProblem::NotAbsolutePath, &components);
    } else if (path[0] == '\\' && path[1] == '\\') {
        // Server and share, then at least one component.
        problem = CheckComponents(path + 2, true, LogProblem::NotAbsolutePath, &components);
        if (problem == LogProblem::None && components < 3)
            problem = LogProblem::NotAbsolutePath;
    } else {
        problem = LogProblem::NotAbsolutePath;
    }
    return problem;
}

}  // namespace

void AppendKey(KeyList* list, RegKeyName key)
{
    if (!key.path || !GrowArray(reinterpret_cast<void**>(&list->items), &list->capacity, list->count, sizeof(key))) {
        list->failed = true;
        return;
    }
    list->items[list->count++] = key;
}

void FreeKeys(KeyList* list)
{
    std::free(list->items);
    *list = KeyList();
}

void FreeLogContents(InstallLogContents* contents)
{
    FreeTexts(&contents->files);
    FreeTexts(&contents->dirs);
    FreeKeys(&contents->keys);
}

bool SameKeyName(const RegKeyName& a, const RegKeyName& b)
{
    return a.root == b.root && EqualsIgnoreCase(a.path, b.path);
}

bool FormatKeyName(const RegKeyName& key, char* out, size_t size)
{
    for (const RootName& r : kRootNames) {
        if (r.root == key.root)
            return JoinText(out, size, r.name, "\\", key.path);
    }
    return JoinText(out, size, key.path);
}

bool IsAbsoluteFilePath(const char* path)
{
    return CheckPath(path) == LogProblem::None;
}

bool ParseKeyName(const char* text, RegKeyName* key, LogProblem* problem)
{
    const char* slash = std::strchr(text, '\\');
    size_t rootLength = slash ? static_cast<size_t>(slash - text) : std::strlen(text);
    const RootName* found = nullptr;
    for (const RootName& r : kRootNames) {
        if (std::strlen(r.name) == rootLength && StartsWithIgnoreCase(text, r.name))
            found = &r;
    }
    if (!found) {
        *problem = LogProblem::UnknownRootKey;
        return false;
    }
    if (!slash || !slash[1]) {
        *problem = LogProblem::RootKey;
        return false;
    }
    if (std::strlen(text) > kMaxPathBytes) {
        *problem = LogProblem::TooLong;
        return false;
    }
    LogProblem checked = CheckComponents(slash + 1, false, LogProblem::MalformedKey);
    if (checked != LogProblem::None) {
        *problem = checked;
        return false;
    }
    key->root = found->root;
    key->path = slash + 1;
    return true;
}

bool ParseInstallLog(char* bytes, size_t size, InstallLogContents* contents, LogError* error)
{
    FreeLogContents(contents);
    *error = LogError();
    if (size > kMaxLogSize) {
        error->problem = LogProblem::TooLarge;
        return false;
    }
    bytes[size] = '\0';
    Section section = Section::None;
    size_t start = 0;
    int lineNumber = 0;
    while (start < size) {
        char* line = bytes + start;
        char* newline = static_cast<char*>(std::memchr(line, '\n', size - start));
        // A line is written whole with its end; a last one without it is
        // what a setup stopped by a power cut left half-written.
        if (!newline)
            break;
        size_t end = static_cast<size_t>(newline - bytes);
        size_t length = end - start;
        bytes[end] = '\0';
        start = end + 1;
        ++lineNumber;
        if (length && line[length - 1] == '\r')
            line[--length] = '\0';
        auto fail = [&](LogProblem problem) {
            error->problem = problem;
            error->line = lineNumber;
            error->text = line;
            return false;
        };
        if (std::strlen(line) != length)
            return fail(LogProblem::NulByte);
        if (!length)
            continue;
        if (line[0] == '[') {
            if (std::strcmp(line, "[Files]") == 0)
                section = Section::Files;
            else if (std::strcmp(line, "[Dirs]") == 0)
                section = Section::Dirs;
            else if (std::strcmp(line, "[RegKeys]") == 0)
                section = Section::RegKeys;
            else
                return fail(LogProblem::UnknownSection);
            continue;
        }
        switch (section) {
        case Section::None:
            return fail(LogProblem::EntryBeforeSection);
        case Section::Files:
        case Section::Dirs: {
            LogProblem problem = CheckPath(line);
            if (problem != LogProblem::None)
                return fail(problem);
            AppendText(section == Section::Files ? &contents->files : &contents->dirs, line);
            break;
        }
        case Section::RegKeys: {
            RegKeyName key;
            LogProblem problem;
            if (!ParseKeyName(line, &key, &problem))
                return fail(problem);
            AppendKey(&contents->keys, key);
            break;
        }
        }
        if (contents->files.failed || contents->dirs.failed || contents->keys.failed)
            return fail(LogProblem::OutOfMemory);
    }
    return true;
}
