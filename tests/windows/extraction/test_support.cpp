#include "test_support.h"

#include <cstdio>
#include <cstring>

#include "extraction/extract.h"
#include "installlog/install_log.h"

namespace {

// A fault (reading past an archive into the guard page, say) ends the test
// program at once instead of waiting in the debugger Wine starts.
LONG WINAPI ReportFault(EXCEPTION_POINTERS* info)
{
    fprintf(stderr, "fatal exception 0x%08lx at %p\n", info->ExceptionRecord->ExceptionCode,
            info->ExceptionRecord->ExceptionAddress);
    fflush(stderr);
    ExitProcess(4);
}

const LPTOP_LEVEL_EXCEPTION_FILTER previousFilter = SetUnhandledExceptionFilter(ReportFault);

}  // namespace

uint64_t FileTimeFromUnix(int64_t seconds)
{
    return static_cast<uint64_t>(seconds + 11644473600LL) * 10000000ULL;
}

namespace {

void RemoveTree(const std::string& path)
{
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((path + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = data.cFileName;
            if (name == "." || name == "..")
                continue;
            const std::string child = path + "\\" + name;
            SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                DeleteFileA(child.c_str());
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    RemoveDirectoryA(path.c_str());
}

}  // namespace

std::string FreshDirectory(const std::string& name)
{
    CreateDirectoryA("C:\\extraction", nullptr);
    const std::string path = "C:\\extraction\\" + name;
    RemoveTree(path);
    CreateDirectoryA(path.c_str(), nullptr);
    return path;
}

std::string ReadWholeFile(const std::string& path)
{
    std::string data;
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr)
        return "<missing>";
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0)
        data.append(buffer, got);
    fclose(file);
    return data;
}

void WriteWholeFile(const std::string& path, const std::string& data)
{
    FILE* file = fopen(path.c_str(), "wb");
    if (file == nullptr)
        return;
    fwrite(data.data(), 1, data.size(), file);
    fclose(file);
}

uint64_t LastWriteTime(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return FromFileTime(data.ftLastWriteTime);
}

void SetLastWriteTime(const std::string& path, uint64_t time)
{
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    const FILETIME t = ToFileTime(time);
    SetFileTime(file, nullptr, nullptr, &t);
    CloseHandle(file);
}

std::string InputPath(const std::string& relative)
{
    std::string path = std::string(ORVIK_EXTRACTION_INPUTS) + "\\" + relative;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

std::string ReadInput(const std::string& relative)
{
    return ReadWholeFile(InputPath(relative));
}

std::vector<unsigned char> ResourceBytes(int id)
{
    HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(id), "LZH");
    if (resource == nullptr)
        return {};
    const auto* bytes = static_cast<const unsigned char*>(LockResource(LoadResource(nullptr, resource)));
    return std::vector<unsigned char>(bytes, bytes + SizeofResource(nullptr, resource));
}

TestLog::TestLog(const std::string& directory) : path_(directory + "\\INSTALL.LOG")
{
    stream_ = fopen(path_.c_str(), "w");
    log_ = new InstallLog(stream_);
}

TestLog::~TestLog()
{
    delete log_;
    if (stream_ != nullptr)
        fclose(stream_);
}

std::vector<std::string> TestLog::Lines()
{
    if (stream_ != nullptr) {
        fclose(stream_);
        stream_ = nullptr;
    }
    std::vector<std::string> lines;
    std::string text = ReadWholeFile(path_), line;
    for (char c : text) {
        if (c == '\r')
            continue;
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

HRESULT PlanAndExtract(ExtractContext* context, const std::string& dir, const unsigned char* bytes, uint32_t size)
{
    ExtractPlan plan;
    HRESULT result = PlanMembers(context, dir.c_str(), bytes, size, &plan);
    context->plan = &plan;
    if (result == S_OK)
        result = ExtractMembers(context, dir.c_str(), bytes, size);
    context->plan = nullptr;
    return result;
}

HRESULT PlanAndExtractResource(ExtractContext* context, int id, const std::string& dir)
{
    const std::vector<unsigned char> bytes = ResourceBytes(id);
    return PlanAndExtract(context, dir, bytes.data(), static_cast<uint32_t>(bytes.size()));
}
