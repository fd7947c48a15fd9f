#include "wizard/destination_page.h"

#include "wizard/page_title.h"
#include "wizard/resource_ids.h"

DestinationPage::DestinationPage()
    : WizardPage(IDD_DESTINATION, kWizardTitle,
                 "インストール先の選択",
                 "セットアップ プログラムは次のディレクトリにブレンナビューア for Windows をインストールします。")
{
}
