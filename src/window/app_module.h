// The module record: the program's instance, its user-interface thread and
// the window-creation list that binds each new window to its object.
#pragma once

#include <windows.h>

// One entry of the window-creation list. The storage belongs to the object
// that waits for its window (see window/window_object.h).
struct PendingWindow
{
    void* object;
    DWORD threadId;
    PendingWindow* next;
};

class AppModule
{
public:
    // Stores the instance, creates the lock, empties the list and records the
    // current thread as the user-interface thread.
    HRESULT Init(HINSTANCE instance);
    // Deletes the lock; the list must be empty by then.
    void Term();

    HINSTANCE Instance() const { return m_instance; }
    DWORD ThreadId() const { return m_threadId; }

    // Window-creation list, newest first, guarded by the lock.
    void PushPending(PendingWindow* entry);
    // Unlinks the newest entry registered by threadId; null when there is none.
    PendingWindow* TakePending(DWORD threadId);
    // Unlinks entry if it is still listed; true when it was.
    bool RemovePending(PendingWindow* entry);

private:
    HINSTANCE m_instance = nullptr;
    DWORD m_threadId = 0;
    CRITICAL_SECTION m_lock;
    bool m_lockReady = false;
    PendingWindow* m_pending = nullptr;
};

extern AppModule g_appModule;
