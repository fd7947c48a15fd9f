#include "window/window_object.h"

namespace {

// The window property that names a window's object.
const char kObjectProperty[] = "OrvikWindowObject";

} // namespace

WindowObject::~WindowObject()
{
    // A window that never came (a failed creation) must not leave this
    // object in the list for the next window of the thread to take.
    g_appModule.RemovePending(&m_pending);
}

void WindowObject::OnDetached(HWND)
{
}

WindowObject* WindowObject::FromWindow(HWND window)
{
    return static_cast<WindowObject*>(GetPropA(window, kObjectProperty));
}

bool WindowObject::Bind(HWND window)
{
    if (!SetPropA(window, kObjectProperty, this))
        return false;
    m_window = window;
    return true;
}

HWND WindowObject::Unbind()
{
    HWND window = m_window;
    if (window)
        RemovePropA(window, kObjectProperty);
    m_window = nullptr;
    return window;
}

void RegisterPendingWindow(PendingWindow* entry, WindowObject* object)
{
    entry->object = object;
    entry->threadId = GetCurrentThreadId();
    g_appModule.PushPending(entry);
}

WindowObject* TakePendingWindow()
{
    PendingWindow* entry = g_appModule.TakePending(GetCurrentThreadId());
    return entry ? static_cast<WindowObject*>(entry->object) : nullptr;
}

bool DialogReturnsResultDirectly(UINT message)
{
    switch (message) {
    case WM_INITDIALOG:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
    case WM_COMPAREITEM:
        return true;
    default:
        return message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC;
    }
}

LONG_PTR DialogWindow::GetEntryProcedure() const
{
    return reinterpret_cast<LONG_PTR>(&DialogWindow::DialogProc);
}

INT_PTR DialogWindow::RunModalDialog(HWND owner, int templateId)
{
    RegisterPendingWindow(PendingEntry(), this);
    INT_PTR result = DialogBoxParamA(g_appModule.Instance(), MAKEINTRESOURCEA(templateId), owner,
                                     &DialogWindow::StartDialogProc, reinterpret_cast<LPARAM>(this));
    // Still listed when the dialog could not be created at all.
    g_appModule.RemovePending(PendingEntry());
    return result;
}

INT_PTR CALLBACK DialogWindow::StartDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Only dialog objects are created with this procedure.
    auto* object = dynamic_cast<DialogWindow*>(TakePendingWindow());
    if (!object || !object->Bind(window))
        return FALSE;
    SetWindowLongPtrA(window, DWLP_DLGPROC, object->GetEntryProcedure());
    return DialogProc(window, message, wParam, lParam);
}

INT_PTR CALLBACK DialogWindow::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // The property is set by StartDialogProc, on dialog objects only.
    auto* object = static_cast<DialogWindow*>(FromWindow(window));
    if (!object)
        return FALSE;
    LRESULT result = 0;
    if (object->HandleMessage(window, message, wParam, lParam, result)) {
        if (DialogReturnsResultDirectly(message))
            return static_cast<INT_PTR>(result);
        SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
        return TRUE;
    }
    if (message == WM_NCDESTROY) {
        // The window's last message: nothing may reach the object after it.
        HWND old = object->Unbind();
        object->OnDetached(old);
    }
    return FALSE;
}
