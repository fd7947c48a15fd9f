#include "wizard/wizard_page.h"

#include "window/app_module.h"

WizardPage::WizardPage(int dialogId, const char* title, const char* headerTitle, const char* headerSubtitle)
{
    ZeroMemory(&m_description, sizeof(m_description));
    // The form with header title and subtitle (48 bytes on i686).
    m_description.dwSize = PROPSHEETPAGEA_V2_SIZE;
    m_description.dwFlags = PSP_USECALLBACK;
    m_description.hInstance = g_appModule.Instance();
    m_description.pszTemplate = MAKEINTRESOURCEA(dialogId);
    m_description.pfnDlgProc = &DialogWindow::StartDialogProc;
    m_description.lParam = reinterpret_cast<LPARAM>(this);
    m_description.pfnCallback = &WizardPage::PageCallback;
    if (title) {
        m_description.pszTitle = title;
        m_description.dwFlags |= PSP_USETITLE;
    }
    if (headerTitle) {
        m_description.pszHeaderTitle = headerTitle;
        m_description.pszHeaderSubTitle = headerSubtitle;
        m_description.dwFlags |= PSP_USEHEADERTITLE | PSP_USEHEADERSUBTITLE;
    } else {
        m_description.dwFlags |= PSP_HIDEHEADER;
    }
}

int WizardPage::DialogId() const
{
    return static_cast<int>(reinterpret_cast<ULONG_PTR>(m_description.pszTemplate));
}

HWND WizardPage::SheetWindow() const
{
    return GetParent(Window());
}

bool WizardPage::OnActivate()
{
    return true;
}

LRESULT WizardPage::OnNext()
{
    return 0;
}

LRESULT WizardPage::OnBack()
{
    return 0;
}

UINT CALLBACK WizardPage::PageCallback(HWND, UINT message, LPPROPSHEETPAGEA page)
{
    if (message == PSPCB_CREATE) {
        auto* object = reinterpret_cast<WizardPage*>(page->lParam);
        RegisterPendingWindow(object->PendingEntry(), object);
    }
    return 1;
}

bool WizardPage::HandleMessage(HWND window, UINT message, WPARAM, LPARAM lParam, LRESULT& result)
{
    if (message == WM_NOTIFY)
        return DispatchNotification(window, *reinterpret_cast<const NMHDR*>(lParam), result);
    return false;
}

void WizardPage::RepaintUnderExteriorPage(HWND sheet)
{
    // An exterior page leaves its background to the sheet, which draws the
    // watermark under it. Wine's sheet repaints only its header band and the
    // old page's place when the page changes: coming from an interior page,
    // the rest keeps what that page showed. The whole sheet painted again,
    // once the page is shown, draws the watermark anew; on Windows it draws
    // what is there already.
    RedrawWindow(sheet, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

bool WizardPage::DispatchNotification(HWND window, const NMHDR& header, LRESULT& result)
{
    // Child controls notify too; only the page and the sheet speak wizard.
    if (header.hwndFrom != window && header.hwndFrom != GetParent(window))
        return false;
    switch (header.code) {
    case PSN_SETACTIVE:
        result = OnActivate() ? 0 : -1;
        if (result == 0 && (m_description.dwFlags & PSP_HIDEHEADER))
            RepaintUnderExteriorPage(GetParent(window));
        return true;
    case PSN_WIZBACK:
        result = OnBack();
        return true;
    case PSN_WIZNEXT:
        result = OnNext();
        return true;
    case PSN_KILLACTIVE:
    case PSN_APPLY:
    case PSN_RESET:
    case PSN_HELP:
    case PSN_WIZFINISH:
    case PSN_QUERYCANCEL:
        result = 0;
        return true;
    default:
        return false;
    }
}
