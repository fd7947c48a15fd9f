#include "wizard/finished_page.h"

#include "wizard/page_buttons.h"
#include "wizard/page_title.h"
#include "wizard/resource_ids.h"
#include "wizard/wizard_sheet.h"

FinishedPage::FinishedPage()
    : WizardPage(IDD_FINISHED, kWizardTitle, nullptr, nullptr)
{
}

bool FinishedPage::OnActivate()
{
    ShowClosingPage(*this,
                    "セットアップ プログラムはコンピュータへの ブレンナビューア for Windows Ver6.0 "
                    "のインストールを終了しました。");
    return true;
}
