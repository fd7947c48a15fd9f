#include "system_state.h"

#include <shlobj.h>

#include <cstdio>

#include "registration/product_names.h"

bool SetRegString(HKEY root, const std::string& key, const char* name, const std::string& value)
{
    HKEY opened;
    if (RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &opened, nullptr) !=
        ERROR_SUCCESS)
        return false;
    LONG result = RegSetValueExA(opened, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                 static_cast<DWORD>(value.size() + 1));
    RegCloseKey(opened);
    return result == ERROR_SUCCESS;
}

std::string RegString(HKEY root, const std::string& key, const char* name)
{
    HKEY opened;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return "<missing>";
    char value[1024] = "";
    DWORD size = sizeof value - 1;
    LONG result = RegQueryValueExA(opened, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(opened);
    return result == ERROR_SUCCESS ? std::string(value) : "<missing>";
}

bool KeyPresent(HKEY root, const std::string& key)
{
    HKEY opened;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    RegCloseKey(opened);
    return true;
}

void DeleteKeyTree(HKEY root, const std::string& key)
{
    RegDeleteTreeA(root, key.c_str());
    RegDeleteKeyA(root, key.c_str());
}

bool FilePresent(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryPresent(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool WriteFileBytes(const std::string& path, const std::string& bytes)
{
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return false;
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    return std::fclose(out) == 0 && written;
}

std::string ReadFileBytes(const std::string& path)
{
    std::string bytes;
    if (FILE* in = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0)
            bytes.append(buffer, n);
        std::fclose(in);
    }
    return bytes;
}

bool MakeDirectories(const std::string& path)
{
    return SHCreateDirectoryExA(nullptr, path.c_str(), nullptr) == ERROR_SUCCESS || DirectoryPresent(path);
}

FILETIME LastWriteTime(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

bool SetLastWriteTime(const std::string& path, const FILETIME& time)
{
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool set = SetFileTime(file, nullptr, nullptr, &time) != 0;
    CloseHandle(file);
    return set;
}

FILETIME MakeFileTime(int year, int month, int day)
{
    SYSTEMTIME system = {};
    system.wYear = static_cast<WORD>(year);
    system.wMonth = static_cast<WORD>(month);
    system.wDay = static_cast<WORD>(day);
    system.wHour = 12;
    FILETIME time = {};
    SystemTimeToFileTime(&system, &time);
    return time;
}

DWORD FileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return data.nFileSizeLow;
}

int ProgramsCsidl(bool other)
{
    return ((GetVersion() & 0x80000000u) != 0) != other ? CSIDL_PROGRAMS : CSIDL_COMMON_PROGRAMS;
}

int DesktopCsidl(bool other)
{
    return ((GetVersion() & 0x80000000u) != 0) != other ? CSIDL_DESKTOPDIRECTORY : CSIDL_COMMON_DESKTOPDIRECTORY;
}

std::string SpecialFolder(int csidl)
{
    char path[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, csidl, nullptr, 0, path);
    return path;
}

std::string DialogTime(const FILETIME& time)
{
    FILETIME local;
    SYSTEMTIME system;
    FileTimeToLocalFileTime(&time, &local);
    FileTimeToSystemTime(&local, &system);
    char date[64] = "", clock[64] = "";
    GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &system, nullptr, date, sizeof date);
    GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &system, nullptr, clock, sizeof clock);
    return std::string(date) + " " + clock;
}

std::vector<std::string> LogLines(const std::string& path)
{
    std::vector<std::string> lines;
    std::string bytes = ReadFileBytes(path);
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos)
            end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> ExpectedFirstLog(const std::string& directory, bool associate)
{
    std::string programs = SpecialFolder(ProgramsCsidl());
    std::string desktop = SpecialFolder(DesktopCsidl());
    std::string folder = programs + "\\" + kMenuFolderName;
    std::vector<std::string> lines = {
        "[Files]",
        directory + "ORVIK.exe",
        directory + "ORVIK.DAT",
        "[Dirs]",
        folder,
        "[Files]",
        folder + "\\" + kShortcutFileName,
        desktop + "\\" + kShortcutFileName,
        "[RegKeys]",
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\ORVIK.exe",
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvik 6.0",
        "HKEY_LOCAL_MACHINE\\Software\\Velmar\\Orvik",
        "HKEY_LOCAL_MACHINE\\Software\\Velmar\\Orvik\\6.0",
    };
    if (associate) {
        const std::string clsid = std::string("HKEY_CLASSES_ROOT\\") + kDrawingClassKeyPath;
        lines.push_back("HKEY_CLASSES_ROOT\\.kdw");
        lines.push_back(clsid);
        for (const char* sub : {"AuxUserType\\2", "AuxUserType\\3", "DataFormats\\DefaultFile", "DataFormats\\GetSet",
                                "DataFormats\\GetSet\\0", "DataFormats\\GetSet\\1", "DefaultIcon", "InprocHandler",
                                "InprocHandler32", "Insertable", "LocalServer", "LocalServer32", "MiscStatus",
                                "ProgID", "Verb\\0"})
            lines.push_back(clsid + "\\" + sub);
        for (const char* key :
             {kDrawingProgId, ORVIK_DRAWING_PROGID "\\CLSID", ORVIK_DRAWING_PROGID "\\CurVer", kDrawingVersionProgId,
              ORVIK_DRAWING_VERSION_PROGID "\\CLSID", ORVIK_DRAWING_VERSION_PROGID "\\DefaultIcon",
              ORVIK_DRAWING_VERSION_PROGID "\\Insertable", ORVIK_DRAWING_VERSION_PROGID "\\Protocol\\StdFileEditing\\Server",
              ORVIK_DRAWING_VERSION_PROGID "\\Protocol\\StdFileEditing\\Verb\\0",
              ORVIK_DRAWING_VERSION_PROGID "\\Shell\\Open\\Command"})
            lines.push_back(std::string("HKEY_CLASSES_ROOT\\") + key);
    }
    lines.push_back("HKEY_CURRENT_USER\\Software\\Velmar\\Orvik");
    return lines;
}
