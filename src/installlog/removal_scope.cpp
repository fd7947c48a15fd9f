#include "installlog/removal_scope.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "ground/codepage.h"
#include "ground/device_name.h"
#include "ground/product_names.h"
#include "ground/temporary_name.h"

namespace {

struct Span {
    const char* p;
    size_t n;
};

constexpr int kMaxParts = kPathSize / 2 + 2;

struct SplitPath {
    Span root;
    Span parts[kMaxParts];
    int count;
};

int Fold(unsigned char c)
{
    return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c;
}

// Equal ignoring the case of single-byte letters; double-byte characters exactly.
bool SpanEquals(Span a, Span b)
{
    if (a.n != b.n)
        return false;
    for (size_t i = 0; i < a.n; ++i) {
        unsigned char c = static_cast<unsigned char>(a.p[i]);
        if (IsLead(c) && i + 1 < a.n) {
            if (a.p[i] != b.p[i] || a.p[i + 1] != b.p[i + 1])
                return false;
            ++i;
            continue;
        }
        if (Fold(c) != Fold(static_cast<unsigned char>(b.p[i])))
            return false;
    }
    return true;
}

bool SpanIs(Span s, const char* text)
{
    return SpanEquals(s, Span{text, std::strlen(text)});
}

bool IsAsciiLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsPlainComponent(Span component)
{
    if (!component.n || SpanIs(component, ".") || SpanIs(component, ".."))
        return false;
    for (size_t i = 0; i < component.n; ++i) {
        unsigned char c = static_cast<unsigned char>(component.p[i]);
        if (IsLead(c)) {
            if (i + 1 >= component.n)
                return false;
            ++i;
            continue;
        }
        if (c < 0x20 || IsForbiddenInPath(c))
            return false;
    }
    // No trail byte is a dot or a blank, so the last byte tells.
    char last = component.p[component.n - 1];
    return last != '.' && last != ' ' && !IsDeviceName(component.p, component.n);
}

// Splits at separators found by stepping through characters; one trailing
// separator is dropped, any other empty component fails.
bool SplitComponents(const char* text, SplitPath* out)
{
    out->count = 0;
    const char* start = text;
    const char* p = text;
    for (;;) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c == '\\' || c == '\0') {
            Span part{start, static_cast<size_t>(p - start)};
            if (!part.n) {
                // Empty at the end: nothing at all, or one trailing separator.
                if (c == '\\')
                    return false;
            } else {
                if (out->count == kMaxParts || !IsPlainComponent(part))
                    return false;
                out->parts[out->count++] = part;
            }
            if (!c)
                return true;
            start = ++p;
            continue;
        }
        p += (IsLead(c) && p[1]) ? 2 : 1;
    }
}

bool Split(const char* path, SplitPath* out)
{
    if (IsAsciiLetter(path[0]) && path[1] == ':' && path[2] == '\\') {
        out->root = Span{path, 2};
        return SplitComponents(path + 3, out);
    }
    if (path[0] == '\\' && path[1] == '\\' && path[2]) {
        // Server and share are the root; both must be plain names.
        if (!SplitComponents(path + 2, out) || out->count < 2)
            return false;
        out->root = Span{path, static_cast<size_t>(out->parts[1].p + out->parts[1].n - path)};
        out->count -= 2;
        std::memmove(out->parts, out->parts + 2, sizeof(Span) * static_cast<size_t>(out->count));
        return true;
    }
    return false;
}

bool ReadText(const SystemView& view, RegRoot root, const char* path, const char* name, char* text, size_t size)
{
    if (!view.readText(view.context, RegKeyName{root, path}, name, text, size)) {
        text[0] = '\0';
        return false;
    }
    return true;
}

bool Exists(const SystemView& view, RegRoot root, const char* path)
{
    return view.keyExists(view.context, RegKeyName{root, path});
}

}  // namespace

void AddPathForm(PathForms* forms, const char* path)
{
    if (forms->count == kMaxForms || std::strlen(path) >= kPathSize)
        return;
    for (int i = 0; i < forms->count; ++i) {
        if (std::strcmp(forms->form[i], path) == 0)
            return;
    }
    std::strcpy(forms->form[forms->count++], path);
}

void FormsOf(const char* path, const SystemView& view, PathForms* forms)
{
    forms->count = 0;
    AddPathForm(forms, path);
    if (view.otherForms) {
        char other[kMaxForms][kPathSize];
        int count = view.otherForms(view.context, path, other, kMaxForms - 1);
        for (int i = 0; i < count; ++i)
            AddPathForm(forms, other[i]);
    }
}

bool IsPlainPath(const char* path, bool* rootOnly)
{
    SplitPath split;
    if (!Split(path, &split))
        return false;
    if (rootOnly)
        *rootOnly = split.count == 0;
    return true;
}

bool PathWithin(const char* path, const char* directory, bool orEqual)
{
    SplitPath a, b;
    if (!Split(path, &a) || !Split(directory, &b))
        return false;
    if (!SpanEquals(a.root, b.root) || a.count < b.count)
        return false;
    if (a.count == b.count && !orEqual)
        return false;
    for (int i = 0; i < b.count; ++i) {
        if (!SpanEquals(a.parts[i], b.parts[i]))
            return false;
    }
    return true;
}

bool SamePath(const char* a, const char* b)
{
    // Equal components make equal lengths, but for one trailing separator.
    size_t la = std::strlen(a), lb = std::strlen(b);
    if (la > lb + 1 || lb > la + 1)
        return false;
    SplitPath sa, sb;
    if (!Split(a, &sa) || !Split(b, &sb) || sa.count != sb.count || !SpanEquals(sa.root, sb.root))
        return false;
    for (int i = 0; i < sa.count; ++i) {
        if (!SpanEquals(sa.parts[i], sb.parts[i]))
            return false;
    }
    return true;
}

bool SameItem(const PathForms& a, const PathForms& b)
{
    for (int i = 0; i < a.count; ++i) {
        for (int j = 0; j < b.count; ++j) {
            if (SamePath(a.form[i], b.form[j]))
                return true;
        }
    }
    return false;
}

namespace {

bool Within(const SplitPath& a, const SplitPath& b, bool orEqual)
{
    if (!SpanEquals(a.root, b.root) || a.count < b.count || (a.count == b.count && !orEqual))
        return false;
    for (int i = 0; i < b.count; ++i) {
        if (!SpanEquals(a.parts[i], b.parts[i]))
            return false;
    }
    return true;
}

bool Same(const SplitPath& a, const SplitPath& b)
{
    return a.count == b.count && Within(a, b, true);
}

}  // namespace

struct PreparedPlaces {
    SplitPath directory[kMaxForms];
    int directoryCount;
    // Of a root directory: the product archive's files directly in it.
    char ownText[kMaxForms * 2][kPathSize];
    SplitPath own[kMaxForms * 2];
    int ownCount;
    SplitPath menu[kMaxForms];
    int menuCount;
    SplitPath link[kMaxForms];
    int linkCount;
};

PreparedPlaces* PreparePlaces(const InstallationPlaces& places)
{
    PreparedPlaces* prepared = static_cast<PreparedPlaces*>(std::malloc(sizeof(PreparedPlaces)));
    if (!prepared)
        return nullptr;
    prepared->directoryCount = prepared->ownCount = prepared->menuCount = prepared->linkCount = 0;
    for (int d = 0; d < places.directory.count; ++d) {
        const char* dir = places.directory.form[d];
        SplitPath& split = prepared->directory[prepared->directoryCount];
        if (!Split(dir, &split))
            continue;
        if (split.count) {
            ++prepared->directoryCount;
            continue;
        }
        // A drive or share root holds other things too: only the files the
        // product archive carries, directly in it.
        const char* separator = dir[std::strlen(dir) - 1] == '\\' ? "" : "\\";
        for (const char* name : {kExecutableName, kDataFileName}) {
            char* text = prepared->ownText[prepared->ownCount];
            if (JoinText(text, kPathSize, dir, separator, name) && Split(text, &prepared->own[prepared->ownCount]))
                ++prepared->ownCount;
        }
    }
    for (int m = 0; m < places.menuFolder.count; ++m) {
        if (Split(places.menuFolder.form[m], &prepared->menu[prepared->menuCount]))
            ++prepared->menuCount;
    }
    for (int l = 0; l < places.desktopLink.count; ++l) {
        if (Split(places.desktopLink.form[l], &prepared->link[prepared->linkCount]))
            ++prepared->linkCount;
    }
    return prepared;
}

void FreePreparedPlaces(PreparedPlaces* prepared)
{
    std::free(prepared);
}

namespace {

bool WithinAny(const SplitPath& path, const SplitPath* places, int count, bool orEqual)
{
    for (int p = 0; p < count; ++p) {
        if (Within(path, places[p], orEqual))
            return true;
    }
    return false;
}

bool SameAsAny(const SplitPath& path, const SplitPath* places, int count)
{
    for (int p = 0; p < count; ++p) {
        if (Same(path, places[p]))
            return true;
    }
    return false;
}

// A file lies below the directory or the menu folder, or is one of the
// root's own files or the desktop link; a directory lies below the
// directory or is the menu folder or below it.
bool IsOwnForms(const PathForms& forms, const PreparedPlaces& places, bool directory)
{
    SplitPath split;
    for (int f = 0; f < forms.count; ++f) {
        // The path as the log has it must be plain; other forms only serve.
        if (!Split(forms.form[f], &split)) {
            if (f == 0)
                return false;
            continue;
        }
        if (WithinAny(split, places.directory, places.directoryCount, false) ||
            WithinAny(split, places.menu, places.menuCount, directory))
            return true;
        if (!directory &&
            (SameAsAny(split, places.own, places.ownCount) || SameAsAny(split, places.link, places.linkCount)))
            return true;
    }
    return false;
}

}  // namespace

bool IsOwnFileForms(const PathForms& forms, const PreparedPlaces& places)
{
    return IsOwnForms(forms, places, false);
}

bool IsOwnDirectoryForms(const PathForms& forms, const PreparedPlaces& places)
{
    return IsOwnForms(forms, places, true);
}

bool IsOwnTemporaryForms(const PathForms& forms, const PreparedPlaces& places)
{
    SplitPath split;
    if (!forms.count || !Split(forms.form[0], &split) || !split.count)
        return false;
    // The name is the one the directory listing gave; other forms may be short ones.
    const Span name = split.parts[split.count - 1];
    char text[kPathSize];
    std::memcpy(text, name.p, name.n);
    text[name.n] = '\0';
    if (!IsTemporaryName(text))
        return false;
    for (int f = 0; f < forms.count; ++f) {
        if (Split(forms.form[f], &split) && WithinAny(split, places.directory, places.directoryCount, false))
            return true;
    }
    return false;
}

namespace {

template <typename Check>
bool WithPrepared(const char* path, const InstallationPlaces& places, const SystemView& view, Check check)
{
    PathForms forms;
    FormsOf(path, view, &forms);
    PreparedPlaces* prepared = PreparePlaces(places);
    bool own = prepared && check(forms, *prepared);
    FreePreparedPlaces(prepared);
    return own;
}

}  // namespace

bool IsOwnFile(const char* path, const InstallationPlaces& places, const SystemView& view)
{
    return WithPrepared(path, places, view, IsOwnFileForms);
}

bool IsOwnDirectory(const char* path, const InstallationPlaces& places, const SystemView& view)
{
    return WithPrepared(path, places, view, IsOwnDirectoryForms);
}

bool NamesProgramIn(const char* text, const PathForms& directories, const char* fileName)
{
    while (*text == ' ')
        ++text;
    bool quoted = *text == '"';
    if (quoted)
        ++text;
    for (int d = 0; d < directories.count; ++d) {
        SplitPath split;
        if (!Split(directories.form[d], &split))
            continue;
        char expected[kPathSize * 2];
        size_t length = 0;
        auto add = [&](const char* p, size_t n) {
            if (length + n < sizeof(expected)) {
                std::memcpy(expected + length, p, n);
                length += n;
            }
        };
        add(split.root.p, split.root.n);
        add("\\", 1);
        for (int i = 0; i < split.count; ++i) {
            add(split.parts[i].p, split.parts[i].n);
            add("\\", 1);
        }
        add(fileName, std::strlen(fileName));
        expected[length] = '\0';
        if (!StartsWithIgnoreCase(text, expected))
            continue;
        char next = text[length];
        if (quoted ? next == '"' : (next == '\0' || next == ' ' || next == ','))
            return true;
    }
    return false;
}

void FreeOwnKeys(OwnKeys* own)
{
    FreeKeys(&own->keys);
    FreeKeys(&own->finishing);
    FreePool(&own->names);
}

void FindOwnKeys(const InstallationPlaces& places, const SystemView& view, OwnKeys* own)
{
    const PathForms& dir = places.directory;
    char text[1024];
    auto names = [&](RegRoot root, const char* path, const char* value, const char* file) {
        return Exists(view, root, path) && ReadText(view, root, path, value, text, sizeof(text)) &&
               NamesProgramIn(text, dir, file);
    };

    // Version keys of this installation; the product key (and the user's
    // settings, which all installations share) only when no other
    // installation's key remains below it.
    const char* ours[sizeof(kProductVersions) / sizeof(kProductVersions[0])];
    size_t oursCount = 0;
    for (const char* version : kProductVersions) {
        const char* path = PoolJoin(&own->names, kProductKeyPath, "\\", version);
        if (!path || !Exists(view, RegRoot::LocalMachine, path))
            continue;
        bool sameDir = false;
        if (ReadText(view, RegRoot::LocalMachine, path, "Path", text, sizeof(text)) && text[0]) {
            for (int i = 0; i < dir.count; ++i)
                sameDir = sameDir || SamePath(text, dir.form[i]);
        }
        if (sameDir || names(RegRoot::LocalMachine, path, "AppPath", kExecutableName)) {
            AppendKey(&own->keys, {RegRoot::LocalMachine, path});
            ours[oursCount++] = version;
        }
    }
    if (names(RegRoot::LocalMachine, kProductKeyPath, "AppPath", kExecutableName)) {
        bool foreign = false;
        char name[256];
        for (unsigned index = 0;
             !foreign && view.subkey(view.context, {RegRoot::LocalMachine, kProductKeyPath}, index, name, sizeof(name));
             ++index) {
            bool mine = false;
            for (size_t i = 0; i < oursCount; ++i)
                mine = mine || EqualsIgnoreCase(ours[i], name);
            foreign = !mine;
        }
        if (!foreign) {
            AppendKey(&own->keys, {RegRoot::LocalMachine, kProductKeyPath});
            if (Exists(view, RegRoot::CurrentUser, kProductKeyPath))
                AppendKey(&own->keys, {RegRoot::CurrentUser, kProductKeyPath});
        }
    } else if (!Exists(view, RegRoot::LocalMachine, kProductKeyPath) &&
               Exists(view, RegRoot::CurrentUser, kProductKeyPath)) {
        // No installation is registered any more (an earlier run of this
        // uninstall got that far): the settings are no one else's.
        AppendKey(&own->keys, {RegRoot::CurrentUser, kProductKeyPath});
    }

    // The class while its server is this installation's viewer; the ProgIDs
    // while they lead to that class; ".kdw" while it leads to such a ProgID.
    bool classOurs = names(RegRoot::ClassesRoot, kDrawingServerKeyPath, "", kExecutableName) ||
                     names(RegRoot::ClassesRoot, ORVIK_DRAWING_CLASS_KEY "\\LocalServer", "", kExecutableName);
    const char* progIds[2];
    size_t progIdCount = 0;
    if (classOurs) {
        for (const char* progId : {kDrawingVersionProgId, kDrawingProgId}) {
            const char* clsidKey = PoolJoin(&own->names, progId, "\\CLSID");
            if (clsidKey && ReadText(view, RegRoot::ClassesRoot, clsidKey, "", text, sizeof(text)) &&
                EqualsIgnoreCase(text, kDrawingClassId))
                progIds[progIdCount++] = progId;
        }
    }
    if (ReadText(view, RegRoot::ClassesRoot, kDrawingExtension, "", text, sizeof(text))) {
        for (size_t i = 0; i < progIdCount; ++i) {
            if (EqualsIgnoreCase(text, progIds[i])) {
                AppendKey(&own->keys, {RegRoot::ClassesRoot, kDrawingExtension});
                break;
            }
        }
    }
    for (size_t i = 0; i < progIdCount; ++i)
        AppendKey(&own->keys, {RegRoot::ClassesRoot, progIds[i]});
    if (classOurs)
        AppendKey(&own->keys, {RegRoot::ClassesRoot, kDrawingClassKeyPath});

    if (names(RegRoot::LocalMachine, kAppPathKeyPath, "", kExecutableName))
        AppendKey(&own->finishing, {RegRoot::LocalMachine, kAppPathKeyPath});
    // The uninstall entry goes last of all: while it stays, the user can
    // start the uninstall again.
    if (names(RegRoot::LocalMachine, kUninstallKeyPath, "UninstallString", kUninstallerFileName))
        AppendKey(&own->finishing, {RegRoot::LocalMachine, kUninstallKeyPath});
}
