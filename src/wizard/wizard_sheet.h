// The wizard frame: the property sheet in its wizard form (PSH_WIZARD97 with
// watermark and header bitmap), the settings its pages share, and the
// operations pages use on the sheet window.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <cstddef>

#include "ground/growable_array.h"
#include "window/window_object.h"

class WizardPage;

// Sheet buttons that pages address by id on the sheet window.
constexpr int kBackButton = 0x3023;
constexpr int kNextButton = 0x3024;

// Shared by the pages; reset when the sheet is built.
struct WizardSettings
{
    bool centred;      // the welcome page has centred the sheet once
    bool associate;    // associate drawing files and objects with the viewer
    char destination[MAX_PATH];

    void Reset();
};

// PSM_SETWIZBUTTONS, posted: it takes effect after the current notification.
void SetWizardButtons(HWND sheet, DWORD flags);

// The watermark and header bitmap drawn for one display scale.
struct WizardBitmaps
{
    int dpi;  // the display's dots per inch they were drawn for
    WORD watermark;
    WORD header;
};

// The bitmaps for a display of dpi dots per inch: the largest drawing not
// larger than that scale (the 100 % pair, 202 and 203, below 120 dpi).
const WizardBitmaps& WizardBitmapsForDpi(int dpi);

class WizardSheet : public WindowObject
{
public:
    // An empty sheet in wizard form; pages are added with AddPageObject.
    WizardSheet();
    // Destroys every page handle the property sheet never took over.
    ~WizardSheet() override;

    // Points page at this sheet and adds its description in page order.
    // A page whose handle cannot be made is missing from the sheet.
    void AddPageObject(WizardPage& page);
    // CreatePropertySheetPageA and append to the page-handle list; null on
    // failure.
    HPROPSHEETPAGE AddPage(const PROPSHEETPAGEA& page);

    // Runs the sheet modally; returns what PropertySheetA returned.
    INT_PTR RunModal(HWND parent);

    // Subclasses the system's sheet window; false leaves it unbound.
    bool AttachSheetWindow(HWND window);

    WizardSettings& Settings() { return m_settings; }
    const PROPSHEETHEADERA& Header() const { return m_header; }
    size_t PageHandleCount() const { return m_pages.Count(); }
    // The sheet window's procedure before AttachSheetWindow.
    WNDPROC PreviousProcedure() const { return m_previous; }

    bool HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                       LRESULT& result) override;
    LONG_PTR GetEntryProcedure() const override;

    // Window procedure of the bound sheet window.
    static LRESULT CALLBACK SheetWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // The header's callback: binds the sheet window at PSCB_INITIALIZED.
    static int CALLBACK SheetCallback(HWND window, UINT message, LPARAM lParam);

protected:
    // Cancel asks first; Yes shows the aborted page.
    void ConfirmCancel(HWND window);

private:
    PROPSHEETHEADERA m_header;
    // Created pages not yet handed to the system.
    GrowableArray<HPROPSHEETPAGE> m_pages;
    WizardSettings m_settings;
    WNDPROC m_previous = DefWindowProcA;
};
