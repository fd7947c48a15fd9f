#include "wizard/association_page.h"

#include "wizard/page_title.h"
#include "wizard/resource_ids.h"

AssociationPage::AssociationPage()
    : WizardPage(IDD_ASSOCIATION, kWizardTitle,
                 "ファイルの拡張子やOLEのデータと、プログラムの関連付け",
                 "関連付けると、このプログラムを自動的に起動できます。")
{
}
