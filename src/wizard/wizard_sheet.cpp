#include "wizard/wizard_sheet.h"

#include <cstring>

#include "window/app_module.h"
#include "window/message_box.h"
#include "wizard/resource_ids.h"
#include "wizard/wizard_page.h"

// MinGW's prsht.h names the header bitmap's union member through this
// macro without defining it; the union is anonymous there.
#ifndef DUMMYUNION5_MEMBER
#define DUMMYUNION5_MEMBER(member) member
#endif

void WizardSettings::Reset()
{
    centred = false;
    associate = false;
    destination[0] = '\0';
}

void SetWizardButtons(HWND sheet, DWORD flags)
{
    PostMessageA(sheet, PSM_SETWIZBUTTONS, 0, flags);
}

namespace {

// Largest first. The system draws a wizard bitmap at its own size, neither
// stretched nor shrunk, in a band that grows with the dialog font: a picture
// drawn for a larger scale than the display's would be cut, one for a
// smaller scale leaves part of its band plain.
const WizardBitmaps kWizardBitmaps[] = {
    {192, IDB_WATERMARK_200, IDB_HEADER_200},
    {144, IDB_WATERMARK_150, IDB_HEADER_150},
    {120, IDB_WATERMARK_125, IDB_HEADER_125},
    {96, IDB_WATERMARK, IDB_HEADER},
};

// The system's dots per inch, which the dialogs are laid out for (the
// manifest declares the program DPI-aware, so this is the display's own).
int DisplayDpi()
{
    HDC screen = GetDC(nullptr);
    if (!screen)
        return 96;
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

}  // namespace

const WizardBitmaps& WizardBitmapsForDpi(int dpi)
{
    for (const WizardBitmaps& bitmaps : kWizardBitmaps) {
        if (dpi >= bitmaps.dpi)
            return bitmaps;
    }
    return kWizardBitmaps[sizeof kWizardBitmaps / sizeof kWizardBitmaps[0] - 1];
}

WizardSheet::WizardSheet()
{
    ZeroMemory(&m_header, sizeof(m_header));
    // The form with watermark and header bitmap (52 bytes on i686), as the
    // system's wizard97 sheets expect it.
    m_header.dwSize = PROPSHEETHEADERA_V2_SIZE;
    m_header.dwFlags = PSH_USECALLBACK;
    m_header.hInstance = g_appModule.Instance();
    m_header.pszCaption = nullptr;
    m_header.nStartPage = 0;
    m_header.hwndParent = nullptr;
    m_header.pfnCallback = &WizardSheet::SheetCallback;

    m_header.dwFlags |= PSH_WIZARD97 | PSH_WATERMARK | PSH_HEADER;
    // 202 and 203 on a display at 100 %; the same drawings made larger at
    // 125 % and more.
    const WizardBitmaps& bitmaps = WizardBitmapsForDpi(DisplayDpi());
    m_header.pszbmWatermark = MAKEINTRESOURCEA(bitmaps.watermark);
    m_header.pszbmHeader = MAKEINTRESOURCEA(bitmaps.header);

    m_settings.Reset();
}

WizardSheet::~WizardSheet()
{
    for (size_t i = 0; i < m_pages.Count(); ++i)
        DestroyPropertySheetPage(m_pages[i]);
}

void WizardSheet::AddPageObject(WizardPage& page)
{
    page.SetSheet(this);
    AddPage(page.Description());
}

HPROPSHEETPAGE WizardSheet::AddPage(const PROPSHEETPAGEA& page)
{
    HPROPSHEETPAGE handle = CreatePropertySheetPageA(&page);
    if (!handle)
        return nullptr;
    if (!m_pages.Add(handle)) {
        DestroyPropertySheetPage(handle);
        return nullptr;
    }
    return handle;
}

INT_PTR WizardSheet::RunModal(HWND parent)
{
    m_header.dwFlags &= ~static_cast<DWORD>(PSH_MODELESS);
    if (!m_header.hwndParent)
        m_header.hwndParent = parent;
    m_header.nPages = static_cast<UINT>(m_pages.Count());
    m_header.phpage = m_pages.Items();

    RegisterPendingWindow(PendingEntry(), this);
    INT_PTR result = PropertySheetA(&m_header);
    // Still listed when the sheet window never came.
    g_appModule.RemovePending(PendingEntry());

    m_header.nPages = 0;
    m_header.phpage = nullptr;
    m_pages.Clear();
    return result;
}

bool WizardSheet::AttachSheetWindow(HWND window)
{
    // The object must be found from the first message the new procedure sees.
    if (!Bind(window))
        return false;
    LONG_PTR previous = SetWindowLongPtrA(window, GWLP_WNDPROC, GetEntryProcedure());
    if (!previous) {
        Unbind();
        return false;
    }
    m_previous = reinterpret_cast<WNDPROC>(previous);
    return true;
}

LONG_PTR WizardSheet::GetEntryProcedure() const
{
    return reinterpret_cast<LONG_PTR>(&WizardSheet::SheetWindowProc);
}

int CALLBACK WizardSheet::SheetCallback(HWND window, UINT message, LPARAM)
{
    if (message != PSCB_INITIALIZED)
        return 0;
    auto* sheet = dynamic_cast<WizardSheet*>(TakePendingWindow());
    if (!sheet)
        return 0;
    sheet->AttachSheetWindow(window);
    // The property sheet owns the pages from now on.
    sheet->m_header.nPages = 0;
    sheet->m_header.phpage = nullptr;
    sheet->m_pages.Clear();
    return 0;
}

LRESULT CALLBACK WizardSheet::SheetWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Only AttachSheetWindow installs this procedure, after binding.
    auto* sheet = static_cast<WizardSheet*>(FromWindow(window));
    if (!sheet)
        return DefWindowProcA(window, message, wParam, lParam);

    // 1. The object's own handling first.
    LRESULT result = 0;
    if (sheet->HandleMessage(window, message, wParam, lParam, result))
        return result;
    // 2. Everything else goes to the system's procedure.
    WNDPROC previous = sheet->m_previous;
    if (message != WM_NCDESTROY)
        return CallWindowProcA(previous, window, message, wParam, lParam);

    // 3. The last message reaches the system's procedure too; then the
    // window is let go.
    LONG_PTR current = GetWindowLongPtrA(window, GWLP_WNDPROC);
    result = CallWindowProcA(previous, window, message, wParam, lParam);
    // Put the system's procedure back unless someone subclassed over us.
    if (previous != DefWindowProcA && GetWindowLongPtrA(window, GWLP_WNDPROC) == current)
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    HWND old = sheet->Unbind();
    sheet->OnDetached(old);
    return result;
}

bool WizardSheet::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (message == WM_SYSCOMMAND) {
        if ((wParam & 0xFFF0) != SC_CLOSE)
            return false;
        SendMessageA(window, WM_CLOSE, 0, 0);
        result = 0;
        return true;
    }
    if (message == WM_COMMAND) {
        if (LOWORD(wParam) == IDCANCEL) {
            // The Cancel button never closes the sheet directly. Esc and a
            // posted command count only while the button itself could be
            // clicked: not during the installation, not on the closing pages.
            HWND cancel = GetDlgItem(window, IDCANCEL);
            if (cancel != nullptr && IsWindowEnabled(cancel))
                ConfirmCancel(window);
            result = 0;
            return true;
        }
        result = CallWindowProcA(m_previous, window, message, wParam, lParam);
        return true;
    }
    return false;
}

void WizardSheet::ConfirmCancel(HWND window)
{
    if (AskUser(window, "インストールを中止しますか?", MB_YESNO | MB_ICONQUESTION) == IDYES)
        SendMessageA(window, PSM_SETCURSELID, 0, IDD_ABORTED);
}
