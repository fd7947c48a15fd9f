#include "wizard/aborted_page.h"

#include "wizard/page_buttons.h"
#include "wizard/page_title.h"
#include "wizard/resource_ids.h"
#include "wizard/wizard_sheet.h"

AbortedPage::AbortedPage()
    : WizardPage(IDD_ABORTED, kWizardTitle, nullptr, nullptr)
{
}

bool AbortedPage::OnActivate()
{
    ShowClosingPage(*this,
                    "セットアップ プログラムはコンピュータへの ブレンナビューア for Windows Ver6.0 "
                    "のインストールを中止しました。");
    return true;
}
