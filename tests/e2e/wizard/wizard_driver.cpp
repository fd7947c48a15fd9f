#include "wizard_driver.h"

#include "screen_capture.h"
#include "user_input.h"

#include <commctrl.h>
#include <prsht.h>

#include <algorithm>
#include <cstdio>

const char kWelcomeButtons[] = "back=0 next=1 finish=0 cancel=1 label=次へ(&N) >";
const char kInteriorButtons[] = "back=1 next=1 finish=0 cancel=1 label=次へ(&N) >";
const char kReadyButtons[] = "back=1 next=1 finish=0 cancel=1 label=インストール(&I)";
const char kClosingButtons[] = "back=0 next=0 finish=1 cancel=0";
const char kBusyButtons[] = "back=0 next=0 finish=0 cancel=0 label=インストール(&I)";

namespace {

constexpr int kBack = 0x3023;
constexpr int kNext = 0x3024;
constexpr int kFinish = 0x3025;
const char kWizardTitle[] = "ブレンナビューア for Windows Ver6.0 のインストール";

bool Usable(HWND button)
{
    return button && IsWindowVisible(button) && IsWindowEnabled(button);
}

}  // namespace

std::string SetupExePath()
{
    // Another copy to drive, e.g. the signed one of signed_setup_test.sh.
    char given[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("ORVIK_SETUP_EXE", given, sizeof given);
    if (length > 0 && length < sizeof given)
        return given;
    std::string path = "T:\\" SETUP_EXE_RELATIVE;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

SetupRun::SetupRun(std::string shotPrefix, std::string executable)
    : m_prefix(std::move(shotPrefix)), m_executable(std::move(executable))
{
}

SetupRun::~SetupRun()
{
    if (m_process.hProcess) {
        if (WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(m_process.hProcess, 99);
        CloseHandle(m_process.hProcess);
        CloseHandle(m_process.hThread);
    }
}

bool SetupRun::Start()
{
    std::string command = "\"" + m_executable + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &m_process)) {
        std::fprintf(stderr, "cannot start %s: error %lu\n", command.c_str(), GetLastError());
        return false;
    }
    m_sheet = WaitForTopLevelWindow(
        m_process.dwProcessId, [](HWND w) { return IsWindowVisible(w) && WindowText(w) == kWizardTitle; }, 30000);
    return m_sheet != nullptr;
}

HWND SetupRun::Page() const
{
    DWORD_PTR page = 0;
    SendMessageTimeoutA(m_sheet, PSM_GETCURRENTPAGEHWND, 0, 0, SMTO_BLOCK, 5000, &page);
    return reinterpret_cast<HWND>(page);
}

int SetupRun::PageId() const
{
    HWND page = Page();
    if (!page)
        return -1;
    DWORD_PTR index = 0, id = 0;
    SendMessageTimeoutA(m_sheet, PSM_HWNDTOINDEX, reinterpret_cast<WPARAM>(page), 0, SMTO_BLOCK, 5000, &index);
    SendMessageTimeoutA(m_sheet, PSM_INDEXTOID, index, 0, SMTO_BLOCK, 5000, &id);
    return static_cast<int>(id);
}

bool SetupRun::WaitForPage(int id, DWORD timeoutMs) const
{
    return WaitUntil([&] { return PageId() == id; }, timeoutMs);
}

void SetupRun::SetText(int id, const std::string& text) const
{
    SendMessageTimeoutA(GetDlgItem(Page(), id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_BLOCK,
                        5000, nullptr);
}

bool SetupRun::Choose(int checked) const
{
    HWND page = Page();
    return ClickDlgItem(page, checked) && WaitUntil([&] { return IsChecked(page, checked); }, 5000);
}

std::string SetupRun::Buttons() const
{
    HWND next = GetDlgItem(m_sheet, kNext);
    std::string state = std::string("back=") + (Usable(GetDlgItem(m_sheet, kBack)) ? "1" : "0") +
                        " next=" + (Usable(next) ? "1" : "0") +
                        " finish=" + (Usable(GetDlgItem(m_sheet, kFinish)) ? "1" : "0") +
                        " cancel=" + (Usable(GetDlgItem(m_sheet, IDCANCEL)) ? "1" : "0");
    // The Next label only matters while Next is there to be seen.
    if (IsWindowVisible(next))
        state += " label=" + WindowText(next);
    return state;
}

std::string SetupRun::WaitForButtons(const std::string& expected, DWORD timeoutMs) const
{
    std::string state;
    WaitUntil([&] { return (state = Buttons()) == expected; }, timeoutMs);
    return state;
}

bool SetupRun::Press(int psbtn, Via via) const
{
    int id = psbtn == PSBTN_BACK ? kBack : psbtn == PSBTN_NEXT ? kNext : psbtn == PSBTN_FINISH ? kFinish : IDCANCEL;
    HWND button = GetDlgItem(m_sheet, id);
    if (!Usable(button))
        return false;
    if (via == Via::Click)
        return ClickWindow(button);
    switch (psbtn) {
    case PSBTN_BACK: return PressKey(m_sheet, 'B', true);
    case PSBTN_NEXT: return PressKey(m_sheet, 'N', true);
    case PSBTN_FINISH: return PressKey(m_sheet, VK_RETURN);
    default: return PressKey(m_sheet, VK_ESCAPE);
    }
}

bool SetupRun::Answer(HWND dialog, int id)
{
    return ClickDlgItem(dialog, id);
}

HWND SetupRun::WaitForDialog(DWORD timeoutMs) const
{
    return WaitForOwnedDialog(m_process.dwProcessId, m_sheet, timeoutMs);
}

bool SetupRun::WaitForDialogGone(HWND dialog, DWORD timeoutMs)
{
    return WaitUntil([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, timeoutMs);
}

void SetupRun::Shot(const std::string& label, HWND window)
{
    const std::string folder = ScreensFolder() + "\\";
    if (m_shots == 0) {
        // An earlier run's shots would be taken for this run's later pages.
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((folder + m_prefix + "_??_*.png").c_str(), &found);
        for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found))
            DeleteFileA((folder + found.cFileName).c_str());
        if (search != INVALID_HANDLE_VALUE)
            FindClose(search);
    }
    // Painting follows the posted button changes; give it a moment.
    Sleep(250);
    char number[8];
    std::snprintf(number, sizeof number, "%02d", ++m_shots);
    m_lastShot = m_prefix + "_" + number + "_" + label + ".png";
    // A dialog is shown over the sheet it belongs to.
    RECT area = {}, dialog = {};
    GetWindowRect(m_sheet, &area);
    if (window && GetWindowRect(window, &dialog))
        UnionRect(&area, &area, &dialog);
    if (!SaveScreenArea(area, (folder + m_lastShot).c_str()))
        std::fprintf(stderr, "screenshot %s not saved\n", m_lastShot.c_str());
}

long SetupRun::WaitForExit(DWORD timeoutMs)
{
    if (WaitForSingleObject(m_process.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(m_process.hProcess, &code);
    return static_cast<long>(code);
}
