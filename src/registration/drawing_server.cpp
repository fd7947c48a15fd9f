#include "registration/drawing_server.h"

#include <windows.h>

#include "ground/path.h"
#include "ground/product_names.h"
#include "registration/registry_writer.h"

namespace {

enum class RowValue { Text, KeyOnly, IconLocation, ServerPath };

struct Row {
    const char* key;
    RowValue kind;
    const char* text;
};

// Written in this order; the open command follows as the last row.
const Row kRows[] = {
    {kDrawingExtension, RowValue::Text, ORVIK_DRAWING_VERSION_PROGID},
    {ORVIK_DRAWING_CLASS_KEY, RowValue::Text, "ブレンナ 図面"},
    {ORVIK_DRAWING_CLASS_KEY "\\AuxUserType\\2", RowValue::Text, "ブレンナ 図面"},
    {ORVIK_DRAWING_CLASS_KEY "\\AuxUserType\\3", RowValue::Text, "ブレンナ 6.0"},
    {ORVIK_DRAWING_CLASS_KEY "\\DataFormats\\DefaultFile", RowValue::Text, "ORVDOC"},
    {ORVIK_DRAWING_CLASS_KEY "\\DataFormats\\GetSet", RowValue::KeyOnly, nullptr},
    {ORVIK_DRAWING_CLASS_KEY "\\DataFormats\\GetSet\\0", RowValue::Text, "3,1,32,1"},
    {ORVIK_DRAWING_CLASS_KEY "\\DataFormats\\GetSet\\1", RowValue::Text, "3,4,32,1"},
    {ORVIK_DRAWING_CLASS_KEY "\\DefaultIcon", RowValue::IconLocation, nullptr},
    {ORVIK_DRAWING_CLASS_KEY "\\InprocHandler", RowValue::Text, "OLE2.DLL"},
    {ORVIK_DRAWING_CLASS_KEY "\\InprocHandler32", RowValue::Text, "OLE32.DLL"},
    {ORVIK_DRAWING_CLASS_KEY "\\Insertable", RowValue::KeyOnly, nullptr},
    {ORVIK_DRAWING_CLASS_KEY "\\LocalServer", RowValue::ServerPath, nullptr},
    {ORVIK_DRAWING_CLASS_KEY "\\LocalServer32", RowValue::ServerPath, nullptr},
    {ORVIK_DRAWING_CLASS_KEY "\\MiscStatus", RowValue::Text, "0"},
    {ORVIK_DRAWING_CLASS_KEY "\\ProgID", RowValue::Text, ORVIK_DRAWING_VERSION_PROGID},
    {ORVIK_DRAWING_CLASS_KEY "\\Verb\\0", RowValue::Text, "開く(&O),0,2"},
    {ORVIK_DRAWING_PROGID, RowValue::Text, "ブレンナ 図面"},
    {ORVIK_DRAWING_PROGID "\\CLSID", RowValue::Text, ORVIK_DRAWING_CLSID},
    {ORVIK_DRAWING_PROGID "\\CurVer", RowValue::Text, ORVIK_DRAWING_VERSION_PROGID},
    {ORVIK_DRAWING_VERSION_PROGID, RowValue::Text, "ブレンナ 図面"},
    {ORVIK_DRAWING_VERSION_PROGID "\\CLSID", RowValue::Text, ORVIK_DRAWING_CLSID},
    {ORVIK_DRAWING_VERSION_PROGID "\\DefaultIcon", RowValue::IconLocation, nullptr},
    {ORVIK_DRAWING_VERSION_PROGID "\\Insertable", RowValue::KeyOnly, nullptr},
    {ORVIK_DRAWING_VERSION_PROGID "\\Protocol\\StdFileEditing\\Server", RowValue::ServerPath, nullptr},
    {ORVIK_DRAWING_VERSION_PROGID "\\Protocol\\StdFileEditing\\Verb\\0", RowValue::Text, "開く(&O)"},
};

const char* const kOpenCommandKey = ORVIK_DRAWING_VERSION_PROGID "\\Shell\\Open\\Command";
const char* const kOpenArgument = " \"%1\"";

constexpr size_t kValueSize = 2 * PATH_BUFFER_SIZE;

}  // namespace

HRESULT ComposeServerValue(char* value, size_t size, const char* serverPath, const char* suffix)
{
    // Short names never hold a blank; a path that does came back long and
    // would be split at the blank by whoever starts the server.
    HRESULT result;
    if (FindChar(serverPath, ' ') != nullptr) {
        result = CopyBounded(value, size, "\"");
        if (result == S_OK) result = AppendBounded(value, size, serverPath);
        if (result == S_OK) result = AppendBounded(value, size, "\"");
    } else {
        result = CopyBounded(value, size, serverPath);
    }
    if (result == S_OK) {
        result = AppendBounded(value, size, suffix);
    }
    return result;
}

HRESULT RegisterDrawingServer(const char* destination, const char* serverName,
                              const char* iconSuffix, InstallLog* log)
{
    char serverPath[PATH_BUFFER_SIZE];
    if (JoinPath(serverPath, destination, serverName) != S_OK) {
        return E_FAIL;
    }
    char shortPath[PATH_BUFFER_SIZE];
    const DWORD length = GetShortPathNameA(serverPath, shortPath, sizeof shortPath);
    if (length == 0 || length >= sizeof shortPath) {
        return E_FAIL;
    }
    return WriteDrawingServerRows(shortPath, iconSuffix, log);
}

HRESULT WriteDrawingServerRows(const char* shortPath, const char* iconSuffix, InstallLog* log)
{
    char serverValue[kValueSize];
    HRESULT result = ComposeServerValue(serverValue, sizeof serverValue, shortPath, "");
    if (result != S_OK) {
        return result;
    }
    char value[kValueSize];  // the icon location, later the open command
    result = ComposeServerValue(value, sizeof value, shortPath, iconSuffix);
    if (result != S_OK) {
        return result;
    }

    for (const Row& row : kRows) {
        const char* text = row.text;
        if (row.kind == RowValue::IconLocation) {
            text = value;
        } else if (row.kind == RowValue::ServerPath) {
            text = serverValue;
        }
        result = WriteRegString(HKEY_CLASSES_ROOT, row.key, "", text, log);
        if (result != S_OK) {
            return result;
        }
    }

    result = ComposeServerValue(value, sizeof value, shortPath, kOpenArgument);
    if (result != S_OK) {
        return result;
    }
    return WriteRegString(HKEY_CLASSES_ROOT, kOpenCommandKey, "", value, log);
}
