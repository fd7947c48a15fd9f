#include "wizard/ready_page.h"

#include "wizard/page_title.h"
#include "wizard/resource_ids.h"

ReadyPage::ReadyPage()
    : WizardPage(IDD_READY, kWizardTitle,
                 "インストールの開始",
                 "インストールを開始する準備ができました")
{
}
