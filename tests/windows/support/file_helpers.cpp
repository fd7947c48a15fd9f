#include "file_helpers.h"

#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdio>

bool PathExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsDirectory(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ReadFileBytes(const std::string& path)
{
    std::string bytes;
    if (std::FILE* in = std::fopen(path.c_str(), "rb")) {
        char buffer[65536];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0)
            bytes.append(buffer, n);
        std::fclose(in);
    }
    return bytes;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes)
{
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    return std::fclose(out) == 0 && written;
}

uint64_t FromFileTime(const FILETIME& time)
{
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FILETIME ToFileTime(uint64_t time)
{
    FILETIME result;
    result.dwLowDateTime = static_cast<DWORD>(time);
    result.dwHighDateTime = static_cast<DWORD>(time >> 32);
    return result;
}

void MakeShortcut(const std::string& path, const std::string& target)
{
    CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                               reinterpret_cast<void**>(&link)),
              S_OK);
    link->SetPath(target.c_str());
    IPersistFile* file = nullptr;
    ASSERT_EQ(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)), S_OK);
    wchar_t wide[MAX_PATH];
    ASSERT_GT(MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH), 0);
    EXPECT_EQ(file->Save(wide, TRUE), S_OK) << path;
    file->Release();
    link->Release();
    ASSERT_TRUE(PathExists(path)) << path;
}

bool ReadShortcut(const std::string& path, std::string* target, std::string* workingDirectory)
{
    IShellLinkA* link = nullptr;
    if (CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                         reinterpret_cast<void**>(&link)) < 0)
        return false;
    IPersistFile* file = nullptr;
    bool ok = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)) >= 0;
    if (ok) {
        WCHAR wide[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
        ok = file->Load(wide, STGM_READ) == S_OK;
        file->Release();
    }
    char buffer[MAX_PATH] = "";
    if (ok)
        ok = link->GetPath(buffer, sizeof buffer, nullptr, SLGP_RAWPATH) == S_OK;
    *target = buffer;
    buffer[0] = '\0';
    if (ok)
        ok = link->GetWorkingDirectory(buffer, sizeof buffer) == S_OK;
    *workingDirectory = buffer;
    link->Release();
    return ok;
}
