// Window objects: every sheet, page and dialog window of the program is bound
// to a C++ object so that its messages reach the object's HandleMessage.
//
// Binding works without executable memory, the same way on x86_64 and i686:
//  * Before the system creates the window, the object registers itself in the
//    window-creation list of g_appModule (RegisterPendingWindow).
//  * The first message that reaches the window's procedure takes the object
//    from that list (TakePendingWindow, per thread, newest first), stores the
//    object pointer as a window property of the window and installs the
//    object's entry procedure (GetEntryProcedure) in place of the start
//    procedure. The entry procedure finds the object through the property.
//  * At WM_NCDESTROY, which no HandleMessage claims, the property is removed,
//    the window handle cleared and OnDetached called; a subclassed window
//    gets its previous procedure back. A handled WM_NCDESTROY would return
//    its result instead and leave the object bound.
//
// A plain modal dialog (one that is not a property-sheet page) derives from
// DialogWindow, overrides HandleMessage and calls RunModalDialog:
//
//     class CopyMethodDialog : public DialogWindow {
//         bool HandleMessage(HWND, UINT, WPARAM, LPARAM, LRESULT& result) override;
//     };
//     CopyMethodDialog dialog(...);
//     INT_PTR answer = dialog.RunModalDialog(owner, 211);
//
// RunModalDialog registers the object and runs DialogBoxParamA with the module
// instance and DialogWindow::StartDialogProc. A caller that needs another
// creation call does the same: RegisterPendingWindow(object), create the
// dialog with StartDialogProc as its dialog procedure.
//
// Dialog results follow the dialog manager's rule: a handled message's result
// is stored in DWLP_MSGRESULT and the procedure returns TRUE, except for the
// messages whose result the dialog procedure returns itself (WM_INITDIALOG,
// WM_CTLCOLOR*, ...). HandleMessage just sets result and returns true.
#pragma once

#include <windows.h>

#include "window/app_module.h"

class WindowObject
{
public:
    WindowObject() = default;
    WindowObject(const WindowObject&) = delete;
    WindowObject& operator=(const WindowObject&) = delete;

    // The window this object is bound to; null before binding and after
    // WM_NCDESTROY.
    HWND Window() const { return m_window; }

    // Handles one message; true with result set when handled. WM_NCDESTROY
    // is left unhandled, so that the window is let go.
    virtual bool HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                               LRESULT& result) = 0;
    // The procedure that serves this object's window once bound: a WNDPROC
    // for subclassed windows, a DLGPROC for dialogs.
    virtual LONG_PTR GetEntryProcedure() const = 0;
    // Called once after the window's last message (WM_NCDESTROY).
    virtual void OnDetached(HWND window);

    // The object bound to window, or null.
    static WindowObject* FromWindow(HWND window);

protected:
    virtual ~WindowObject();

    // Stores this object with window (a window property).
    bool Bind(HWND window);
    // Forgets window; returns the handle it had.
    HWND Unbind();

public:
    // Storage of this object's entry while it waits for its window.
    PendingWindow* PendingEntry() { return &m_pending; }

private:
    HWND m_window = nullptr;
    PendingWindow m_pending = {nullptr, 0, nullptr};
};

// Fills entry with object and the current thread id and pushes it on the
// window-creation list under the module's lock.
void RegisterPendingWindow(PendingWindow* entry, WindowObject* object);
// Unlinks the newest entry of the current thread and returns its object;
// null when the thread has none.
WindowObject* TakePendingWindow();

// Base of every dialog window: property-sheet pages and modal dialogs.
class DialogWindow : public WindowObject
{
public:
    LONG_PTR GetEntryProcedure() const override;

    // DialogBoxParamA of template templateId from the module instance, bound
    // to this object. Returns what DialogBoxParamA returns.
    INT_PTR RunModalDialog(HWND owner, int templateId);

    // Dialog procedure of a dialog created for a registered object: binds
    // the window at its first message and passes that message on.
    static INT_PTR CALLBACK StartDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // Dialog procedure of a bound dialog window.
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

protected:
    ~DialogWindow() override = default;
};

// True for the messages whose result a dialog procedure returns itself
// instead of storing it in DWLP_MSGRESULT.
bool DialogReturnsResultDirectly(UINT message);
