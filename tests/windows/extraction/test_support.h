// Files, inputs and INSTALL.LOG for the extraction tests; the dialog
// watcher and the file helpers come from the shared test support.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "dialog_watcher.h"
#include "file_helpers.h"

// Archive members get this time from lzhpack --mtime (see CMakeLists.txt).
constexpr int64_t kMemberUnixTime = 1700000000;
uint64_t FileTimeFromUnix(int64_t seconds);

// A fresh empty directory C:\extraction\<name>; returns its path.
std::string FreshDirectory(const std::string& name);
std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& data);
// Last-write time of a file (0 when it cannot be opened).
uint64_t LastWriteTime(const std::string& path);
void SetLastWriteTime(const std::string& path, uint64_t time);
// The test inputs that the archives were made from (T:\...\inputs\<rel>).
std::string InputPath(const std::string& relative);
std::string ReadInput(const std::string& relative);
// The bytes of an LZH resource of this program.
std::vector<unsigned char> ResourceBytes(int id);

// The archive planned, then extracted as planned, as the installation does
// it: questions, Cancel and files that cannot be replaced come before
// anything is written.
HRESULT PlanAndExtract(struct ExtractContext* context, const std::string& dir, const unsigned char* bytes,
                       uint32_t size);
HRESULT PlanAndExtractResource(struct ExtractContext* context, int id, const std::string& dir);

// An INSTALL.LOG opened for writing; Lines() closes it and reads it back.
class TestLog {
public:
    explicit TestLog(const std::string& directory);
    ~TestLog();
    class InstallLog* log() { return log_; }
    std::vector<std::string> Lines();

private:
    std::string path_;
    FILE* stream_ = nullptr;
    class InstallLog* log_ = nullptr;
};
