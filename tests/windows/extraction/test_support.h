// Files, INSTALL.LOG and a watcher that answers copy-method dialogs from a
// second thread, for the extraction tests.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

// Archive members get this time from lzhpack --mtime (see CMakeLists.txt).
constexpr int64_t kMemberUnixTime = 1700000000;
uint64_t FileTimeFromUnix(int64_t seconds);
FILETIME ToFileTime(uint64_t time);
uint64_t FromFileTime(const FILETIME& time);

// A fresh empty directory C:\extraction\<name>; returns its path.
std::string FreshDirectory(const std::string& name);
bool FileExists(const std::string& path);
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

// Watches the calling thread's windows from a second thread; every
// copy-method dialog that appears is handed to the handler once it is
// visible. Without a handler every dialog is cancelled.
class DialogWatcher {
public:
    using Handler = std::function<void(HWND dialog, int index)>;
    explicit DialogWatcher(Handler handler = nullptr);
    ~DialogWatcher();
    int Count() const { return count_; }

private:
    void Run();

    Handler handler_;
    DWORD uiThread_;
    std::atomic<bool> stop_{false};
    std::atomic<int> count_{0};
    std::thread thread_;
};

// Actions on a copy-method dialog from the watcher thread.
std::string ControlText(HWND dialog, int id);
void PressButton(HWND dialog, int id);      // WM_COMMAND with the id, posted
void ClickControl(HWND dialog, int id);     // a radio button or the check box
// Saves the dialog as it is on screen to path (a 24-bit BMP).
bool SaveWindowBitmap(HWND window, const std::string& path);
