// Dialogs of the code under test answered from a second thread, the way a
// user would, and an owner window for them.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

// A visible top-level window standing in for the wizard's frame.
class OwnerWindow {
public:
    explicit OwnerWindow(int x = 100, int y = 80, int width = 640, int height = 480, bool visible = true);
    ~OwnerWindow();
    HWND get() const { return window_; }

private:
    HWND window_;
};

// Watches the calling thread's windows from a second thread and hands every
// visible dialog (#32770) to the handler once, with its index from 0.
// Without a handler every dialog is cancelled.
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

// Actions on a dialog from the watcher thread.
std::string ControlText(HWND dialog, int id);
void PressButton(HWND dialog, int id);   // WM_COMMAND with the id, posted
void ClickControl(HWND dialog, int id);  // a radio button or a check box
