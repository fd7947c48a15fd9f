// Helpers shared by the registration tests: a real INSTALL.LOG-like file and
// read-back of the real registry.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "installlog/install_log.h"
#include "registry_helpers.h"

// A log stream on a scratch file, read back line by line once closed.
class LogFile {
public:
    LogFile()
    {
        char directory[MAX_PATH];
        GetTempPathA(sizeof directory, directory);
        GetTempFileNameA(directory, "log", 0, path_);
        stream_ = fopen(path_, "w");
        log_ = new InstallLog(stream_);
    }
    ~LogFile()
    {
        Close();
        delete log_;
        DeleteFileA(path_);
    }
    InstallLog* log() { return log_; }

    // The file's bytes, after closing the stream.
    std::string Bytes()
    {
        Close();
        std::string bytes;
        if (FILE* file = fopen(path_, "rb")) {
            char buffer[4096];
            size_t count;
            while ((count = fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, count);
            fclose(file);
        }
        return bytes;
    }

    // Lines without their CR LF; a line that lacks it fails the test.
    std::vector<std::string> Lines()
    {
        std::string bytes = Bytes();
        std::vector<std::string> lines;
        size_t start = 0;
        while (start < bytes.size()) {
            size_t end = bytes.find("\r\n", start);
            if (end == std::string::npos) {
                ADD_FAILURE() << "line without CR LF: " << bytes.substr(start);
                break;
            }
            lines.push_back(bytes.substr(start, end - start));
            start = end + 2;
        }
        return lines;
    }

private:
    void Close()
    {
        if (stream_ != nullptr) {
            fclose(stream_);
            stream_ = nullptr;
        }
    }
    char path_[MAX_PATH] = {};
    FILE* stream_ = nullptr;
    InstallLog* log_ = nullptr;
};

// Number of values of the key, -1 when it is missing.
inline int ValueCount(HKEY root, const char* path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return -1;
    DWORD count = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr,
                     nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return static_cast<int>(count);
}

inline std::wstring ReadWideString(HKEY root, const wchar_t* path, const wchar_t* name)
{
    HKEY key;
    if (RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return L"<missing>";
    wchar_t data[512];
    DWORD size = sizeof data;
    LONG error = RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    if (error != ERROR_SUCCESS) return L"<missing>";
    return std::wstring(data, size / sizeof(wchar_t) - 1);
}

// A key whose children the system refuses to create non-volatile.
inline void CreateVolatileKey(HKEY root, const char* path)
{
    HKEY key;
    // Its parents stay ordinary keys.
    const std::string parent = std::string(path).substr(0, std::string(path).rfind('\\'));
    if (parent != path) {
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(root, parent.c_str(), &key));
        RegCloseKey(key);
    }
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root, path, 0, nullptr, REG_OPTION_VOLATILE,
                                             KEY_ALL_ACCESS, nullptr, &key, nullptr));
    RegCloseKey(key);
}

// An empty file, for a target that must exist.
inline void CreateEmptyFile(const char* path)
{
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file) << path;
    CloseHandle(file);
}
