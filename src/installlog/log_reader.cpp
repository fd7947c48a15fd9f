#include "installlog/log_reader.h"

#include <cstdlib>
#include <cstring>

#include "ground/codepage.h"

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

constexpr LogSection kSections[] = {LogSection::Files, LogSection::Dirs, LogSection::RegKeys};

const char* SectionLine(LogSection section)
{
    switch (section) {
    case LogSection::Files:
        return "[Files]";
    case LogSection::Dirs:
        return "[Dirs]";
    case LogSection::RegKeys:
        return "[RegKeys]";
    default:
        return "";
    }
}

const char* RootKeyName(RegRoot root)
{
    for (const RootName& r : kRootNames) {
        if (r.root == root)
            return r.name;
    }
    return "";
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

bool NextLogLine(LogCursor* cursor, LogLine* line, LogError* error)
{
    *error = LogError();
    while (cursor->next < cursor->size) {
        char* text = cursor->bytes + cursor->next;
        char* newline = static_cast<char*>(std::memchr(text, '\n', cursor->size - cursor->next));
        // A line is written whole with its end; a last one without it is
        // what a setup stopped by a power cut left half-written.
        if (!newline)
            break;
        size_t length = static_cast<size_t>(newline - text);
        *newline = '\0';
        cursor->next += length + 1;
        ++cursor->line;
        if (length && text[length - 1] == '\r')
            text[--length] = '\0';
        auto fail = [&](LogProblem problem) {
            error->problem = problem;
            error->line = cursor->line;
            error->text = text;
            return false;
        };
        if (std::strlen(text) != length)
            return fail(LogProblem::NulByte);
        if (!length)
            continue;
        line->text = text;
        line->length = length;
        line->opensSection = text[0] == '[';
        if (line->opensSection) {
            LogSection opened = LogSection::None;
            for (LogSection section : kSections) {
                if (std::strcmp(text, SectionLine(section)) == 0)
                    opened = section;
            }
            if (opened == LogSection::None)
                return fail(LogProblem::UnknownSection);
            cursor->section = opened;
            line->section = cursor->section;
            return true;
        }
        line->section = cursor->section;
        LogProblem problem = LogProblem::None;
        switch (cursor->section) {
        case LogSection::None:
            return fail(LogProblem::EntryBeforeSection);
        case LogSection::Files:
        case LogSection::Dirs:
            problem = CheckPath(text);
            break;
        case LogSection::RegKeys:
            ParseKeyName(text, &line->key, &problem);
            break;
        }
        if (problem != LogProblem::None)
            return fail(problem);
        return true;
    }
    return false;
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
    LogCursor cursor(bytes, size);
    LogLine line;
    while (NextLogLine(&cursor, &line, error)) {
        if (line.opensSection)
            continue;
        if (line.section == LogSection::RegKeys)
            AppendKey(&contents->keys, line.key);
        else
            AppendText(line.section == LogSection::Files ? &contents->files : &contents->dirs, line.text);
        if (contents->files.failed || contents->dirs.failed || contents->keys.failed) {
            error->problem = LogProblem::OutOfMemory;
            error->line = cursor.line;
            error->text = line.text;
            return false;
        }
    }
    return error->problem == LogProblem::None;
}

LogProblem CheckInstallLog(char* bytes, size_t size, const char** lastFile)
{
    if (lastFile != nullptr)
        *lastFile = nullptr;
    if (size > kMaxLogSize)
        return LogProblem::TooLarge;
    LogCursor cursor(bytes, size);
    LogLine line;
    LogError error;
    while (NextLogLine(&cursor, &line, &error)) {
        if (lastFile != nullptr && !line.opensSection)
            *lastFile = line.section == LogSection::Files ? line.text : nullptr;
    }
    if (error.problem != LogProblem::None && lastFile != nullptr)
        *lastFile = nullptr;
    return error.problem;
}
