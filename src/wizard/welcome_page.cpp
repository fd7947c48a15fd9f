#include "wizard/welcome_page.h"

#include "window/center_window.h"
#include "wizard/page_buttons.h"
#include "wizard/page_title.h"
#include "wizard/resource_ids.h"
#include "wizard/wizard_sheet.h"

WelcomePage::WelcomePage()
    : WizardPage(IDD_WELCOME, kWizardTitle, nullptr, nullptr)
{
}

bool WelcomePage::OnActivate()
{
    HWND sheet = SheetWindow();
    WizardSettings& settings = Sheet()->Settings();
    // Once per run: coming back to this page must not move the window.
    if (!settings.centred) {
        CenterOnOwner(sheet, nullptr);
        settings.centred = true;
    }
    SetWizardButtons(sheet, PSWIZB_NEXT);
    SetDlgItemTextA(sheet, kNextButton, kNextLabel);
    SetDlgItemTextA(Window(), IDC_TEXT1, "ブレンナビューア for Windows Ver6.0 セットアップ プログラムへようこそ。");
    SetDlgItemTextA(Window(), IDC_TEXT2,
                    "このプログラムは、コンピュータにブレンナビューア for Windows Ver6.0 をインストールします。");
    SetDlgItemTextA(Window(), IDC_TEXT3,
                    "このセットアップ プログラムを実行する前に、ブレンナビューア を終了してください。");
    return true;
}

LRESULT WelcomePage::OnNext()
{
    return IDD_DESTINATION;
}
