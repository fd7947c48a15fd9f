#include "wizard/page_buttons.h"

#include "wizard/resource_ids.h"
#include "wizard/wizard_sheet.h"

void ShowClosingPage(WizardPage& page, const char* message)
{
    HWND sheet = page.SheetWindow();
    SetWizardButtons(sheet, PSWIZB_FINISH);
    EnableWindow(GetDlgItem(sheet, IDCANCEL), FALSE);
    SetDlgItemTextA(page.Window(), IDC_TEXT2, message);
}
