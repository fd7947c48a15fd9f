#include "removal_plan.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "ground/codepage.h"
#include "ground/product_names.h"

namespace {

// Indexes of the items in the reverse order of the log, each item once
// (its last line): sorted by name, the equal neighbours dropped.
template <typename Compare>
size_t* ReversedOnce(size_t count, Compare compare, size_t* kept)
{
    *kept = 0;
    size_t* order = static_cast<size_t*>(std::malloc((count ? count : 1) * sizeof(size_t)));
    bool* last = static_cast<bool*>(std::malloc(count ? count : 1));
    if (!order || !last) {
        std::free(order);
        std::free(last);
        return nullptr;
    }
    for (size_t i = 0; i < count; ++i)
        order[i] = i;
    std::sort(order, order + count, [&](size_t a, size_t b) {
        int c = compare(a, b);
        return c != 0 ? c < 0 : a > b;
    });
    for (size_t i = 0; i < count; ++i)
        last[order[i]] = i == 0 || compare(order[i - 1], order[i]) != 0;
    for (size_t i = count; i-- > 0;) {
        if (last[i])
            order[(*kept)++] = i;
    }
    std::free(last);
    return order;
}

// Single-byte letters upper-cased, double-byte characters as they are: two
// texts are equal ignoring case exactly when their folded forms are equal.
char* Folded(const char* text, TextPool* pool)
{
    char* folded = const_cast<char*>(PoolJoin(pool, text));
    for (char* p = folded; p && *p; ++p) {
        if (IsLead(static_cast<unsigned char>(*p)) && p[1])
            ++p;
        else if (*p >= 'a' && *p <= 'z')
            *p = static_cast<char>(*p - 'a' + 'A');
    }
    return folded;
}

size_t* ReversedOnce(const TextList& list, size_t* kept)
{
    TextPool pool;
    const char** folded = static_cast<const char**>(std::malloc((list.count ? list.count : 1) * sizeof(char*)));
    for (size_t i = 0; folded && i < list.count; ++i)
        folded[i] = Folded(list.items[i], &pool);
    size_t* order = nullptr;
    if (folded && !pool.failed)
        order = ReversedOnce(list.count, [&](size_t a, size_t b) { return std::strcmp(folded[a], folded[b]); }, kept);
    std::free(folded);
    FreePool(&pool);
    return order;
}

// The same key or one of its subkeys; ".kdw" holds other programs' keys, so
// only the key itself is covered by it.
bool KeyWithin(const RegKeyName& key, const RegKeyName& top)
{
    if (key.root != top.root || !StartsWithIgnoreCase(key.path, top.path))
        return false;
    char next = key.path[std::strlen(top.path)];
    if (next == '\0')
        return true;
    return next == '\\' && !(top.root == RegRoot::ClassesRoot && EqualsIgnoreCase(top.path, kDrawingExtension));
}

bool Kept(const PathForms& forms, const PathForms* kept, int keptCount)
{
    for (int i = 0; i < keptCount; ++i) {
        if (SameItem(forms, kept[i]))
            return true;
    }
    return false;
}

ItemKind KindOf(const SystemView& view, const char* path)
{
    return view.kind ? view.kind(view.context, path) : ItemKind::Missing;
}

// What a setup stopped dead left under its temporary names, in the
// directories where it writes: the installation directory, the listed
// directories and those of the listed files, each looked at once.
void PlanTemporaries(const InstallationPlaces& places, const SystemView& view, const PreparedPlaces& prepared,
                     const PathForms* keptForms, int keptCount, RemovalPlan* plan)
{
    if (!view.temporaries || !places.directory.count)
        return;
    const char* directory = places.directory.form[0];
    bool rootOnly = false;
    if (!IsPlainPath(directory, &rootOnly) || rootOnly)
        return;
    TextPool pool;
    TextList candidates;
    AppendText(&candidates, directory);
    for (const TextList* list : {&plan->dirs, &plan->files}) {
        for (size_t i = 0; i < list->count; ++i) {
            char parent[kPathSize];
            const char* item = list->items[i];
            if (list == &plan->files && ParentDirectory(item, parent, sizeof(parent)))
                item = PoolJoin(&pool, parent);
            if (item && PathWithin(item, directory, true))
                AppendText(&candidates, item);
        }
    }
    size_t count = 0;
    size_t* order = ReversedOnce(candidates, &count);
    plan->failed = plan->failed || !order || pool.failed || candidates.failed;
    TextList found;
    for (size_t i = 0; order && i < count; ++i)
        view.temporaries(view.context, candidates.items[order[i]], &found, &plan->texts);
    PathForms forms;
    for (size_t i = 0; i < found.count; ++i) {
        FormsOf(found.items[i], view, &forms);
        if (!Kept(forms, keptForms, keptCount) && IsOwnTemporaryForms(forms, prepared))
            AppendText(&plan->files, found.items[i]);
    }
    plan->failed = plan->failed || found.failed;
    std::free(order);
    FreeTexts(&found);
    FreeTexts(&candidates);
    FreePool(&pool);
}

}  // namespace

bool PlanRemoval(const InstallLogContents& log, const InstallationPlaces& places, const SystemView& view,
                 const char* const* kept, int keptCount, RemovalPlan* plan)
{
    FreePlan(plan);
    PathForms* keptForms = static_cast<PathForms*>(std::malloc(sizeof(PathForms) * (keptCount ? keptCount : 1)));
    if (!keptForms) {
        plan->failed = true;
        return false;
    }
    for (int i = 0; i < keptCount; ++i)
        FormsOf(kept[i], view, &keptForms[i]);

    // The files of the product archive count wherever the log stands.
    const char* fixedNames[] = {kExecutableName, kDataFileName};
    const int kFixed = 2;
    PathForms fixed[kFixed];
    bool fixedSeen[kFixed] = {};
    for (int i = 0; i < kFixed; ++i) {
        fixed[i].count = 0;
        if (places.directory.count) {
            const char* dir = places.directory.form[0];
            char path[kPathSize];
            size_t length = std::strlen(dir);
            bool separator = length && PrevChar(dir, dir + length)[0] == '\\' && PrevChar(dir, dir + length) == dir + length - 1;
            if (JoinText(path, sizeof(path), dir, separator ? "" : "\\", fixedNames[i]))
                FormsOf(path, view, &fixed[i]);
        }
    }

    PreparedPlaces* prepared = PreparePlaces(places);
    if (!prepared) {
        std::free(keptForms);
        plan->failed = true;
        return false;
    }
    PathForms forms;
    size_t count = 0;
    size_t* order = ReversedOnce(log.files, &count);
    plan->failed = plan->failed || !order;
    for (size_t i = 0; order && i < count; ++i) {
        const char* file = log.files.items[order[i]];
        FormsOf(file, view, &forms);
        if (Kept(forms, keptForms, keptCount))
            continue;
        // A directory where the log has a file is not what the setup made.
        if (!IsOwnFileForms(forms, *prepared) || KindOf(view, file) == ItemKind::Directory) {
            AppendText(&plan->notOurs, file);
            continue;
        }
        for (int f = 0; f < kFixed; ++f)
            fixedSeen[f] = fixedSeen[f] || SameItem(forms, fixed[f]);
        AppendText(&plan->files, file);
    }
    std::free(order);
    for (int f = 0; f < kFixed; ++f) {
        if (!fixedSeen[f] && fixed[f].count && IsOwnFileForms(fixed[f], *prepared) &&
            KindOf(view, fixed[f].form[0]) == ItemKind::File)
            AppendText(&plan->files, PoolJoin(&plan->texts, fixed[f].form[0]));
    }

    order = ReversedOnce(log.dirs, &count);
    plan->failed = plan->failed || !order;
    for (size_t i = 0; order && i < count; ++i) {
        const char* dir = log.dirs.items[order[i]];
        FormsOf(dir, view, &forms);
        if (Kept(forms, keptForms, keptCount))
            continue;
        if (!IsOwnDirectoryForms(forms, *prepared) || KindOf(view, dir) == ItemKind::File)
            AppendText(&plan->notOurs, dir);
        else
            AppendText(&plan->dirs, dir);
    }
    std::free(order);
    PlanTemporaries(places, view, *prepared, keptForms, keptCount, plan);
    std::free(keptForms);
    FreePreparedPlaces(prepared);

    FindOwnKeys(places, view, &plan->own);
    plan->keys = plan->own.keys;
    plan->finishing = plan->own.finishing;
    // A listed key that is neither one of those nor below one is not this
    // installation's; it is named only while it exists.
    const KeyList& listed = log.keys;
    order = ReversedOnce(
        listed.count,
        [&](size_t a, size_t b) {
            const RegKeyName &ka = listed.items[a], &kb = listed.items[b];
            if (ka.root != kb.root)
                return ka.root < kb.root ? -1 : 1;
            return CompareIgnoreCase(ka.path, kb.path);
        },
        &count);
    plan->failed = plan->failed || !order;
    for (size_t i = count; order && i-- > 0;) {
        const RegKeyName& key = listed.items[order[i]];
        bool covered = false;
        for (const KeyList* group : {&plan->keys, &plan->finishing}) {
            for (size_t k = 0; k < group->count; ++k)
                covered = covered || KeyWithin(key, group->items[k]);
        }
        char name[kPathSize + 32];
        if (!covered && view.keyExists(view.context, key) && FormatKeyName(key, name, sizeof(name)))
            AppendText(&plan->notOurs, PoolJoin(&plan->texts, name));
    }
    std::free(order);
    plan->failed = plan->failed || plan->files.failed || plan->dirs.failed || plan->notOurs.failed ||
                   plan->keys.failed || plan->finishing.failed || plan->texts.failed || plan->own.names.failed;
    return !plan->failed;
}

void FreePlan(RemovalPlan* plan)
{
    FreeTexts(&plan->files);
    FreeTexts(&plan->dirs);
    FreeTexts(&plan->notOurs);
    FreeOwnKeys(&plan->own);
    FreePool(&plan->texts);
    *plan = RemovalPlan();
}

bool ParentDirectory(const char* path, char* out, size_t size)
{
    // The last separator found by stepping through characters.
    const char* last = nullptr;
    for (const char* p = path; *p; p = NextChar(p)) {
        if (*p == '\\')
            last = p;
    }
    size_t length = last ? static_cast<size_t>(last - path) : 0;
    if (!last || length >= size) {
        if (size)
            out[0] = '\0';
        return false;
    }
    std::memcpy(out, path, length);
    out[length] = '\0';
    return true;
}

int SplitCommandLine(const char* commandLine, char* buffer, size_t size, const char** args, int maxArgs)
{
    int count = 0;
    size_t used = 0;
    const char* p = commandLine;
    for (;;) {
        while (*p == ' ' || *p == '\t')
            ++p;
        if (!*p)
            return count;
        if (count == maxArgs)
            return -1;
        args[count++] = buffer + used;
        bool quoted = false;
        while (*p) {
            unsigned char c = static_cast<unsigned char>(*p);
            if (!quoted && (c == ' ' || c == '\t'))
                break;
            if (c == '"') {
                quoted = !quoted;
                ++p;
                continue;
            }
            size_t n = (IsLead(c) && p[1]) ? 2 : 1;
            if (used + n >= size)
                return -1;
            std::memcpy(buffer + used, p, n);
            used += n;
            p += n;
        }
        if (used >= size)
            return -1;
        buffer[used++] = '\0';
    }
}
