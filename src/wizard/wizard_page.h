// Base of every wizard page. A page class passes its dialog id and texts to
// the constructor and overrides only what it needs:
//   OnActivate  PSN_SETACTIVE; false refuses the activation (default true)
//   OnNext      PSN_WIZNEXT    0 = adjacent page, -1 = stay, or the dialog
//   OnBack      PSN_WIZBACK    id of the page to go to (default 0)
//   HandleMessage  for its own controls; it must pass what it does not
//                  handle on to WizardPage::HandleMessage.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include "window/window_object.h"

class WizardSheet;

class WizardPage : public DialogWindow
{
public:
    // Exterior page (watermark, no header) when headerTitle is null,
    // interior page with header title and subtitle otherwise.
    WizardPage(int dialogId, const char* title, const char* headerTitle, const char* headerSubtitle);

    const PROPSHEETPAGEA& Description() const { return m_description; }
    int DialogId() const;
    WizardSheet* Sheet() const { return m_sheet; }
    void SetSheet(WizardSheet* sheet) { m_sheet = sheet; }
    // The sheet window: the page's parent.
    HWND SheetWindow() const;

    bool HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                       LRESULT& result) override;

    virtual bool OnActivate();
    virtual LRESULT OnNext();
    virtual LRESULT OnBack();

    // The description's callback: registers the page before its dialog is made.
    static UINT CALLBACK PageCallback(HWND window, UINT message, LPPROPSHEETPAGEA page);

protected:
    ~WizardPage() override = default;

    // Wizard notifications from the page itself or from the sheet.
    bool DispatchNotification(HWND window, const NMHDR& header, LRESULT& result);

private:
    static void RepaintUnderExteriorPage(HWND sheet);

    PROPSHEETPAGEA m_description;
    WizardSheet* m_sheet = nullptr;
};
