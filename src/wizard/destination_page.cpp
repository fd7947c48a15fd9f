#include "wizard/destination_page.h"

#include "wizard/destination_choice.h"
#include "wizard/page_buttons.h"
#include "wizard/page_title.h"
#include "wizard/resource_ids.h"
#include "wizard/wizard_sheet.h"

DestinationPage::DestinationPage()
    : WizardPage(IDD_DESTINATION, kWizardTitle,
                 "インストール先の選択",
                 "セットアップ プログラムは次のディレクトリにブレンナビューア for Windows をインストールします。")
{
}

bool DestinationPage::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (message == WM_COMMAND && LOWORD(wParam) == IDC_BROWSE) {
        BrowseForDestination(window);
        result = 0;
        return true;
    }
    return WizardPage::HandleMessage(window, message, wParam, lParam, result);
}

bool DestinationPage::OnActivate()
{
    HWND sheet = SheetWindow();
    SetWizardButtons(sheet, PSWIZB_BACK | PSWIZB_NEXT);
    SetDlgItemTextA(sheet, kNextButton, kNextLabel);
    SetDlgItemTextA(Window(), IDC_TEXT1, "ディレクトリが存在しない場合は、作成されます。");
    SetDlgItemTextA(Window(), IDC_TEXT2, "このディレクトリで良い場合は [次へ] をクリックしてください。");
    SetDlgItemTextA(Window(), IDC_TEXT3, "中止する場合は [キャンセル] をクリックしてください。");
    SetDlgItemTextA(Window(), IDC_TEXT4, "");
    // Proposed anew at every visit, over whatever the user had typed.
    char proposal[MAX_PATH];
    if (ChooseDefaultDestination(proposal) == S_OK)
        SetDlgItemTextA(Window(), IDC_DESTINATION, proposal);
    return true;
}

LRESULT DestinationPage::OnNext()
{
    // Taken as typed; an unusable directory fails the installation later.
    char* destination = Sheet()->Settings().destination;
    if (GetDlgItemTextA(Window(), IDC_DESTINATION, destination, MAX_PATH) == 0)
        destination[0] = '\0';
    return IsForeignDrawingServer() ? IDD_READY : IDD_ASSOCIATION;
}

LRESULT DestinationPage::OnBack()
{
    return IDD_WELCOME;
}
