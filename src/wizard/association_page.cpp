#include "wizard/association_page.h"

#include "wizard/page_buttons.h"
#include "wizard/page_title.h"
#include "wizard/resource_ids.h"
#include "wizard/wizard_sheet.h"

AssociationPage::AssociationPage()
    : WizardPage(IDD_ASSOCIATION, kWizardTitle,
                 "ファイルの拡張子やOLEのデータと、プログラムの関連付け",
                 "関連付けると、このプログラムを自動的に起動できます。")
{
}

bool AssociationPage::OnActivate()
{
    HWND sheet = SheetWindow();
    SetWizardButtons(sheet, PSWIZB_BACK | PSWIZB_NEXT);
    SetDlgItemTextA(sheet, kNextButton, kNextLabel);
    // Every visit starts from No; the stored answer changes only on Next.
    CheckDlgButton(Window(), IDC_ASSOCIATE_YES, BST_UNCHECKED);
    CheckDlgButton(Window(), IDC_ASSOCIATE_NO, BST_CHECKED);
    return true;
}

LRESULT AssociationPage::OnNext()
{
    Sheet()->Settings().associate = IsDlgButtonChecked(Window(), IDC_ASSOCIATE_YES) == BST_CHECKED;
    return IDD_READY;
}
