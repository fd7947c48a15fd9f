#include "window/app_module.h"

AppModule g_appModule;

HRESULT AppModule::Init(HINSTANCE instance)
{
    m_instance = instance;
    if (!m_lockReady) {
        InitializeCriticalSection(&m_lock);
        m_lockReady = true;
    }
    m_pending = nullptr;
    m_threadId = GetCurrentThreadId();
    return S_OK;
}

void AppModule::Term()
{
    if (m_lockReady) {
        DeleteCriticalSection(&m_lock);
        m_lockReady = false;
    }
    m_pending = nullptr;
}

void AppModule::PushPending(PendingWindow* entry)
{
    EnterCriticalSection(&m_lock);
    entry->next = m_pending;
    m_pending = entry;
    LeaveCriticalSection(&m_lock);
}

PendingWindow* AppModule::TakePending(DWORD threadId)
{
    EnterCriticalSection(&m_lock);
    PendingWindow** link = &m_pending;
    while (*link && (*link)->threadId != threadId)
        link = &(*link)->next;
    PendingWindow* found = *link;
    if (found) {
        *link = found->next;
        found->next = nullptr;
    }
    LeaveCriticalSection(&m_lock);
    return found;
}

bool AppModule::RemovePending(PendingWindow* entry)
{
    if (!m_lockReady)
        return false;
    EnterCriticalSection(&m_lock);
    PendingWindow** link = &m_pending;
    while (*link && *link != entry)
        link = &(*link)->next;
    bool found = *link != nullptr;
    if (found) {
        *link = entry->next;
        entry->next = nullptr;
    }
    LeaveCriticalSection(&m_lock);
    return found;
}
