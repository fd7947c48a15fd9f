// Drives a running setup.exe from another process under the same
// wineserver: the sheet and its pages by control id, texts read back with
// WM_GETTEXT; buttons clicked and keys typed with SendInput, as a user
// does, so the program's own sheet procedure and dialog manager handle them
// (the sheet's own press-button message would reach comctl32's handlers
// directly); screenshots of the screen under each window.
#pragma once

#include <windows.h>

#include <string>

#include "window_driver.h"

// setup.exe of the build tree, as seen from Wine (T:\...).
std::string SetupExePath();


class SetupRun
{
public:
    // Screenshots go to <screens folder>\<shotPrefix>_<nn>_<label>.png.
    explicit SetupRun(std::string shotPrefix, std::string executable = SetupExePath());
    ~SetupRun();  // a run still going is terminated
    SetupRun(const SetupRun&) = delete;
    SetupRun& operator=(const SetupRun&) = delete;

    // Starts setup.exe and waits for its wizard window.
    bool Start();
    HWND Sheet() const { return m_sheet; }
    DWORD Pid() const { return m_process.dwProcessId; }

    HWND Page() const;
    // The dialog id of the page shown; -1 when none.
    int PageId() const;
    bool WaitForPage(int id, DWORD timeoutMs = 10000) const;
    std::string Text(int id) const { return ItemText(Page(), id); }
    // WM_SETTEXT into a control of the current page, as typing would leave it.
    void SetText(int id, const std::string& text) const;
    // Clicks one radio button of the current page; false when it is not
    // checked afterwards.
    bool Choose(int checked) const;

    // "back=1 next=1 finish=0 cancel=1 label=..." of the sheet's buttons;
    // a button counts as 1 when it is visible and enabled.
    std::string Buttons() const;
    // Waits for the buttons to read expected (they are set by a posted
    // message after the page change); returns what they read last.
    std::string WaitForButtons(const std::string& expected, DWORD timeoutMs = 10000) const;

    // A wizard button (PSBTN_*) clicked, or with Via::Keys typed: Alt+B,
    // Alt+N, Enter for Finish, Esc for Cancel. False, with nothing pressed,
    // when the button is hidden or disabled.
    enum class Via { Click, Keys };
    bool Press(int psbtn, Via via = Via::Click) const;
    void ClickCancel() const { Press(PSBTN_CANCEL); }
    // A button of a dialog or message box clicked (IDOK, IDYES...).
    static bool Answer(HWND dialog, int id);

    // A visible #32770 window of the process owned by the sheet: a message
    // box or the copy-method dialog.
    HWND WaitForDialog(DWORD timeoutMs = 10000) const;
    static bool WaitForDialogGone(HWND dialog, DWORD timeoutMs = 10000);

    // Saves the screen under the sheet and window (a dialog over it).
    void Shot(const std::string& label, HWND window = nullptr);
    const std::string& LastShot() const { return m_lastShot; }

    // Waits for the process to end; its exit code, or -1 on timeout.
    long WaitForExit(DWORD timeoutMs = 20000);

private:
    std::string m_prefix;
    std::string m_executable;
    int m_shots = 0;
    std::string m_lastShot;
    PROCESS_INFORMATION m_process = {};
    HWND m_sheet = nullptr;
};

// The button states of the pages, for Buttons().
extern const char kWelcomeButtons[];
extern const char kInteriorButtons[];
extern const char kReadyButtons[];
extern const char kClosingButtons[];
extern const char kBusyButtons[];  // during the installation
