// The uninstaller's portable side seen from the tests: a registry and file
// system of plain records behind SystemView, and its lists as std types.
#pragma once

#include <cctype>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ground/temporary_name.h"
#include "removal_plan.h"

// A log parsed in its own buffer, as the uninstaller parses it.
struct ParsedLog {
    std::vector<char> bytes;
    InstallLogContents contents;
    LogError error;
    bool ok = false;
    ~ParsedLog() { FreeLogContents(&contents); }
};

inline std::unique_ptr<ParsedLog> Parse(const std::string& text)
{
    auto log = std::make_unique<ParsedLog>();
    log->bytes.assign(text.begin(), text.end());
    log->bytes.push_back('\0');
    log->ok = ParseInstallLog(log->bytes.data(), text.size(), &log->contents, &log->error);
    return log;
}

inline std::vector<std::string> Strings(const TextList& list)
{
    return std::vector<std::string>(list.items, list.items + list.count);
}

inline std::set<std::string> Names(const KeyList& keys)
{
    std::set<std::string> names;
    for (size_t i = 0; i < keys.count; ++i) {
        char name[600];
        FormatKeyName(keys.items[i], name, sizeof(name));
        names.insert(name);
    }
    return names;
}

inline PathForms Forms(const std::vector<std::string>& paths)
{
    PathForms forms;
    for (const std::string& path : paths)
        AddPathForm(&forms, path.c_str());
    return forms;
}

struct FakeSystem {
    std::map<std::string, std::map<std::string, std::string>> keys;
    // Pairs of long and short directory forms, as the system knows them.
    std::vector<std::pair<std::string, std::string>> shortForms;
    std::map<std::string, ItemKind> kinds;  // everything else is missing
    std::vector<std::string> entries;       // the paths of kinds as given

    static std::string Upper(std::string name)
    {
        for (char& c : name)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return name;
    }
    static std::string Name(RegRoot root, const std::string& path)
    {
        return Upper(std::to_string(static_cast<int>(root)) + "\\" + path);
    }
    void Set(RegRoot root, const std::string& path, const std::string& value, const std::string& text)
    {
        // Parents exist as the system's would.
        for (size_t at = path.find('\\'); at != std::string::npos; at = path.find('\\', at + 1))
            keys[Name(root, path.substr(0, at))];
        keys[Name(root, path)][value] = text;
    }
    void SetKind(const std::string& path, ItemKind kind)
    {
        kinds[Upper(path)] = kind;
        entries.push_back(path);
    }

    static FakeSystem* Self(void* context) { return static_cast<FakeSystem*>(context); }
    SystemView View()
    {
        SystemView view;
        view.context = this;
        view.otherForms = [](void* context, const char* path, char (*forms)[kPathSize], int max) {
            int count = 0;
            std::string text = path;
            for (const auto& pair : Self(context)->shortForms) {
                for (int way = 0; way < 2 && count < max; ++way) {
                    const std::string& from = way ? pair.second : pair.first;
                    const std::string& to = way ? pair.first : pair.second;
                    if (text.compare(0, from.size(), from) == 0 &&
                        (text.size() == from.size() || text[from.size()] == '\\'))
                        std::strcpy(forms[count++], (to + text.substr(from.size())).c_str());
                }
            }
            return count;
        };
        view.kind = [](void* context, const char* path) {
            auto it = Self(context)->kinds.find(Upper(path));
            return it == Self(context)->kinds.end() ? ItemKind::Missing : it->second;
        };
        view.keyExists = [](void* context, const RegKeyName& key) {
            return Self(context)->keys.count(Name(key.root, key.path)) > 0;
        };
        view.readText = [](void* context, const RegKeyName& key, const char* value, char* text, size_t size) {
            auto it = Self(context)->keys.find(Name(key.root, key.path));
            if (it == Self(context)->keys.end() || !it->second.count(value) || it->second.at(value).size() >= size)
                return false;
            std::strcpy(text, it->second.at(value).c_str());
            return true;
        };
        view.subkey = [](void* context, const RegKeyName& key, unsigned index, char* name, size_t size) {
            std::string prefix = Name(key.root, key.path) + "\\";
            for (const auto& entry : Self(context)->keys) {
                if (entry.first.compare(0, prefix.size(), prefix) == 0 &&
                    entry.first.find('\\', prefix.size()) == std::string::npos && index-- == 0) {
                    std::string child = entry.first.substr(prefix.size());
                    if (child.size() >= size)
                        return false;
                    std::strcpy(name, child.c_str());
                    return true;
                }
            }
            return false;
        };
        view.temporaries = [](void* context, const char* directory, TextList* found, TextPool* pool) {
            const std::string dir = Upper(directory);
            for (const std::string& path : Self(context)->entries) {
                const size_t slash = path.rfind('\\');
                if (Upper(path.substr(0, slash)) == dir && Self(context)->kinds[Upper(path)] == ItemKind::File &&
                    IsTemporaryName(path.c_str() + slash + 1))
                    AppendText(found, PoolJoin(pool, path.c_str()));
            }
        };
        return view;
    }
};

// A plan freed with the test.
struct Plan {
    RemovalPlan plan;
    bool ok;
    Plan(const InstallLogContents& log, const InstallationPlaces& places, const SystemView& view,
         const std::vector<std::string>& kept = {})
    {
        std::vector<const char*> pointers;
        for (const std::string& k : kept)
            pointers.push_back(k.c_str());
        ok = PlanRemoval(log, places, view, pointers.data(), static_cast<int>(pointers.size()), &plan);
    }
    ~Plan() { FreePlan(&plan); }
};
