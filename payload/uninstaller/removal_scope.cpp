#include "removal_scope.h"

#include <cstring>
#include <initializer_list>

#include "registration/product_names.h"
#include "util/codepage.h"

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
        if (IsLeadByte(c) && i + 1 < a.n) {
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

// Names the system takes for devices whatever the directory or extension.
bool IsDeviceName(Span component)
{
    Span base{component.p, 0};
    while (base.n < component.n && component.p[base.n] != '.')
        ++base.n;
    while (base.n && base.p[base.n - 1] == ' ')
        --base.n;
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"}) {
        if (SpanIs(base, device))
            return true;
    }
    if (base.n == 4 && base.p[3] >= '1' && base.p[3] <= '9')
        return SpanIs(Span{base.p, 3}, "COM") || SpanIs(Span{base.p, 3}, "LPT");
    return false;
}

bool IsPlainComponent(Span component)
{
    if (!component.n || SpanIs(component, ".") || SpanIs(component, ".."))
        return false;
    for (size_t i = 0; i < component.n; ++i) {
        unsigned char c = static_cast<unsigned char>(component.p[i]);
        if (IsLeadByte(c)) {
            if (i + 1 >= component.n)
                return false;
            ++i;
            continue;
        }
        if (c < 0x20 || std::strchr(":*?\"<>|/", c))
            return false;
    }
    // No trail byte is a dot or a blank, so the last byte tells.
    char last = component.p[component.n - 1];
    return last != '.' && last != ' ' && !IsDeviceName(component);
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
        p += (IsLeadByte(c) && p[1]) ? 2 : 1;
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

bool IsRoot(const char* directory)
{
    bool rootOnly = false;
    return IsPlainPath(directory, &rootOnly) && rootOnly;
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

void AddForm(PathForms* forms, const char* path)
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
    AddForm(forms, path);
    if (view.otherForms) {
        char other[kMaxForms][kPathSize];
        int count = view.otherForms(view.context, path, other, kMaxForms - 1);
        for (int i = 0; i < count; ++i)
            AddForm(forms, other[i]);
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

bool IsOwnFileForms(const PathForms& forms, const InstallationPlaces& places)
{
    if (!forms.count || !IsPlainPath(forms.form[0]))
        return false;
    for (int f = 0; f < forms.count; ++f) {
        const char* form = forms.form[f];
        for (int d = 0; d < places.directory.count; ++d) {
            const char* dir = places.directory.form[d];
            if (!IsRoot(dir)) {
                if (PathWithin(form, dir, false))
                    return true;
                continue;
            }
            // A drive or share root holds other things too: only the files
            // the product archive carries, directly in it.
            const char* separator = dir[std::strlen(dir) - 1] == '\\' ? "" : "\\";
            for (const char* name : {kExecutableName, kDataFileName}) {
                char own[kPathSize];
                if (JoinText(own, sizeof(own), dir, separator, name) && SamePath(form, own))
                    return true;
            }
        }
        for (int m = 0; m < places.menuFolder.count; ++m) {
            if (PathWithin(form, places.menuFolder.form[m], false))
                return true;
        }
        for (int l = 0; l < places.desktopLink.count; ++l) {
            if (SamePath(form, places.desktopLink.form[l]))
                return true;
        }
    }
    return false;
}

bool IsOwnDirectoryForms(const PathForms& forms, const InstallationPlaces& places)
{
    if (!forms.count || !IsPlainPath(forms.form[0]))
        return false;
    for (int f = 0; f < forms.count; ++f) {
        const char* form = forms.form[f];
        for (int d = 0; d < places.directory.count; ++d) {
            const char* dir = places.directory.form[d];
            if (!IsRoot(dir) && PathWithin(form, dir, false))
                return true;
        }
        for (int m = 0; m < places.menuFolder.count; ++m) {
            if (PathWithin(form, places.menuFolder.form[m], true))
                return true;
        }
    }
    return false;
}

bool IsOwnFile(const char* path, const InstallationPlaces& places, const SystemView& view)
{
    PathForms forms;
    FormsOf(path, view, &forms);
    return IsOwnFileForms(forms, places);
}

bool IsOwnDirectory(const char* path, const InstallationPlaces& places, const SystemView& view)
{
    PathForms forms;
    FormsOf(path, view, &forms);
    return IsOwnDirectoryForms(forms, places);
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
